#include "log_chart_panel.h"

#include <wx/dcbuffer.h>

#include <algorithm>

namespace {

const wxColour kBlockColour(192, 57, 43);
const wxColour kDenialColour(230, 126, 34);
const wxColour kGridColour(225, 225, 225);
const wxColour kTextColour(60, 60, 60);

// 1, 2, 5, 10, 20, 50, ...: the smallest at or above count.
int round_scale(int count) {
    int scale = 1;
    for (;;) {
        for (int step : {1, 2, 5})
            if (scale * step >= count) return scale * step;
        if (scale > 100000000) return count;
        scale *= 10;
    }
}

}  // namespace

LogChartPanel::LogChartPanel(wxWindow* parent) : wxPanel(parent, wxID_ANY) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetMinSize(wxSize(520, 230));
    Bind(wxEVT_PAINT, &LogChartPanel::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        Refresh();
        event.Skip();
    });
}

void LogChartPanel::SetReport(const LogReport& report) {
    report_ = report;
    int largest = 0;
    for (const LogReportDay& day : report_.perDay) largest = std::max({largest, day.blocks, day.denials});
    scale_ = round_scale(std::max(largest, 1));
    Refresh();
}

void LogChartPanel::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    Draw(dc, GetClientSize());
}

void LogChartPanel::Draw(wxDC& dc, const wxSize& size) const {
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.SetFont(GetFont());
    dc.SetTextForeground(kTextColour);
    const int line = dc.GetCharHeight();
    const wxString scaleText = wxString::Format("%d", scale_);
    const int left = dc.GetTextExtent(scaleText).GetWidth() + 12;
    const int top = line + 10;
    const int right = size.GetWidth() - 10;
    const int bottom = size.GetHeight() - line - 8;
    if (right - left < 20 || bottom - top < 20) return;

    // Legend.
    int x = left;
    for (int i = 0; i < 2; ++i) {
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(i == 0 ? kBlockColour : kDenialColour));
        dc.DrawRectangle(x, 4 + line / 4, line / 2 + 2, line / 2 + 2);
        const wxString label = i == 0 ? "blocked" : "denied";
        dc.DrawText(label, x + line, 4);
        x += line + dc.GetTextExtent(label).GetWidth() + 16;
    }

    // Grid and scale: zero, half and the whole.
    dc.SetPen(wxPen(kGridColour));
    for (int part = 0; part <= 2; ++part) {
        const int y = bottom - (bottom - top) * part / 2;
        dc.DrawLine(left, y, right, y);
        const wxString value = wxString::Format("%d", scale_ * part / 2);
        if (part == 1 && scale_ % 2) continue;
        dc.DrawText(value, left - 6 - dc.GetTextExtent(value).GetWidth(), y - line / 2);
    }

    const size_t days = report_.perDay.size();
    if (days == 0) return;
    if (report_.blocks == 0 && report_.denials == 0) {
        const wxString empty = "Nothing was blocked or denied in this period.";
        const wxSize extent = dc.GetTextExtent(empty);
        dc.DrawText(empty, left + (right - left - extent.GetWidth()) / 2, top + (bottom - top) / 2 - extent.GetHeight());
    }
    const double slot = double(right - left) / double(days);
    const int bar = std::max(1, int(slot * 0.38));
    const int labelWidth = dc.GetTextExtent("00-00").GetWidth();
    const size_t labelEvery = std::max<size_t>(1, size_t((labelWidth + 12) / std::max(slot, 1.0)) + 1);
    dc.SetPen(*wxTRANSPARENT_PEN);
    for (size_t i = 0; i < days; ++i) {
        const LogReportDay& day = report_.perDay[i];
        const int x0 = left + int(slot * double(i) + (slot - 2 * bar) / 2);
        const int counts[2] = {day.blocks, day.denials};
        for (int k = 0; k < 2; ++k) {
            if (!counts[k]) continue;
            const int height = std::max(1, int(double(bottom - top) * counts[k] / scale_));
            dc.SetBrush(wxBrush(k == 0 ? kBlockColour : kDenialColour));
            dc.DrawRectangle(x0 + k * bar, bottom - height, bar, height);
        }
        // Day labels "MM-DD", today's always, the others as many as fit.
        if ((days - 1 - i) % labelEvery == 0 && day.day.size() == 10) {
            const wxString label = wxString::FromUTF8(day.day.substr(5));
            const int cx = left + int(slot * (double(i) + 0.5)) - labelWidth / 2;
            dc.DrawText(label, std::max(left - labelWidth / 2, cx), bottom + 4);
        }
    }
}
