// The chart of the log viewer: a pair of bars per day, blocks and denials, over the period of a
// LogReport, drawn with wxDC.
#pragma once

#include <log_report_summary.h>

#include <wx/panel.h>

class LogChartPanel : public wxPanel {
public:
    explicit LogChartPanel(wxWindow* parent);

    void SetReport(const LogReport& report);
    const LogReport& Report() const { return report_; }
    // The count the full height of the chart stands for (a round number, at least 1).
    int Scale() const { return scale_; }

    // Draws the chart into a rectangle of size on dc.
    void Draw(wxDC& dc, const wxSize& size) const;

private:
    void OnPaint(wxPaintEvent& event);

    LogReport report_;
    int scale_ = 1;
};
