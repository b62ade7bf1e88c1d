#include "log_viewer_frame.h"

#include "log_chart_panel.h"

#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/srchctrl.h>
#include <wx/stattext.h>

namespace {

const char kAllKinds[] = "All kinds";
const char kNoKind[] = "(no kind)";

enum Column { kTimeColumn, kKindColumn, kPortColumn, kSiteColumn, kTextColumn, kProgramColumn, kColumns };

}  // namespace

wxString LogText(const std::string& text) {
    wxString shown = wxString::FromUTF8(text.data(), text.size());
    if (shown.empty() && !text.empty()) shown = wxString(text.data(), wxConvISO8859_1, text.size());
    return shown;
}

// The entries in columns: a virtual list, so that a long log costs no more than its visible rows.
class EntryList : public wxListCtrl {
public:
    EntryList(wxWindow* parent, const std::vector<LogDumpEntry>& entries, const std::vector<size_t>& shown)
        : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_VIRTUAL | wxLC_HRULES),
          entries_(entries),
          shown_(shown) {
        const struct {
            const char* title;
            int width;
        } columns[kColumns] = {{"Time", 150}, {"Kind", 80}, {"Port", 55}, {"Site", 170}, {"Text", 420}, {"Program", 110}};
        for (int c = 0; c < kColumns; ++c)
            AppendColumn(columns[c].title, c == kPortColumn ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT,
                         FromDIP(columns[c].width));
    }

    void ShowRows() {
        SetItemCount(static_cast<long>(shown_.size()));
        Refresh();
    }

    wxString RowText(long row, long column) const {
        if (row < 0 || static_cast<size_t>(row) >= shown_.size()) return "";
        const LogDumpEntry& entry = entries_[shown_[static_cast<size_t>(row)]];
        if (!entry.readable) return column == kTextColumn ? LogText(entry.text) : wxString();
        switch (column) {
        case kTimeColumn: return LogText(entry.time);
        case kKindColumn: return LogText(entry.kind);
        case kPortColumn: return wxString::Format("%d", entry.port);
        case kSiteColumn: return LogText(entry.site);
        case kTextColumn: return LogText(entry.text);
        case kProgramColumn: return LogText(entry.program);
        default: return "";
        }
    }

private:
    wxString OnGetItemText(long item, long column) const override { return RowText(item, column); }

    const std::vector<LogDumpEntry>& entries_;
    const std::vector<size_t>& shown_;
};

LogViewerFrame::LogViewerFrame(const std::vector<LogDumpEntry>& entries, const wxString& dumpName,
                               const std::string& today, int weeks)
    : wxFrame(nullptr, wxID_ANY, "Quillfence - Access log - " + dumpName, wxDefaultPosition, wxSize(1180, 800)),
      entries_(entries),
      today_(today),
      kinds_(logviewer_kinds(entries)) {
    wxPanel* panel = new wxPanel(this);
    wxBoxSizer* top = new wxBoxSizer(wxVERTICAL);

    wxBoxSizer* filters = new wxBoxSizer(wxHORIZONTAL);
    filters->Add(new wxStaticText(panel, wxID_ANY, "Kind:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    kindChoice_ = new wxChoice(panel, wxID_ANY);
    kindChoice_->Append(kAllKinds);
    for (const std::string& kind : kinds_) kindChoice_->Append(kind.empty() ? wxString(kNoKind) : LogText(kind));
    kindChoice_->SetSelection(0);
    filters->Add(kindChoice_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 12);
    search_ = new wxSearchCtrl(panel, wxID_ANY, "", wxDefaultPosition, wxSize(FromDIP(280), -1));
    search_->SetDescriptiveText("Filter by text");
    search_->ShowCancelButton(true);
    filters->Add(search_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 12);
    count_ = new wxStaticText(panel, wxID_ANY, "");
    filters->Add(count_, 1, wxALIGN_CENTER_VERTICAL);
    top->Add(filters, 0, wxEXPAND | wxALL, 8);

    shown_ = logviewer_filter(entries_, LogViewFilter());
    list_ = new EntryList(panel, entries_, shown_);
    top->Add(list_, 3, wxEXPAND | wxLEFT | wxRIGHT, 8);

    wxBoxSizer* summaryHead = new wxBoxSizer(wxHORIZONTAL);
    period_ = new wxStaticText(panel, wxID_ANY, "");
    summaryHead->Add(period_, 1, wxALIGN_CENTER_VERTICAL);
    summaryHead->Add(new wxStaticText(panel, wxID_ANY, "Weeks:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    weeks_ = new wxSpinCtrl(panel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS, 1,
                            kLogViewMaxWeeks, weeks);
    summaryHead->Add(weeks_, 0, wxALIGN_CENTER_VERTICAL);
    top->Add(summaryHead, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 8);

    wxBoxSizer* summary = new wxBoxSizer(wxHORIZONTAL);
    chart_ = new LogChartPanel(panel);
    summary->Add(chart_, 3, wxEXPAND | wxRIGHT, 8);
    sites_ = new wxListCtrl(panel, wxID_ANY, wxDefaultPosition, wxSize(FromDIP(330), -1), wxLC_REPORT);
    sites_->AppendColumn("Site", wxLIST_FORMAT_LEFT, FromDIP(190));
    sites_->AppendColumn("Blocked", wxLIST_FORMAT_RIGHT, FromDIP(65));
    sites_->AppendColumn("Denied", wxLIST_FORMAT_RIGHT, FromDIP(65));
    summary->Add(sites_, 0, wxEXPAND);
    top->Add(summary, 2, wxEXPAND | wxALL, 8);
    panel->SetSizer(top);

    kindChoice_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { ApplyFilters(); });
    search_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { ApplyFilters(); });
    search_->Bind(wxEVT_SEARCHCTRL_CANCEL_BTN, [this](wxCommandEvent&) { search_->SetValue(""); });
    weeks_->Bind(wxEVT_SPINCTRL, [this](wxSpinEvent&) { ShowSummary(); });

    ApplyFilters();
    ShowSummary();
}

void LogViewerFrame::ApplyFilters() {
    LogViewFilter filter;
    const int picked = kindChoice_->GetSelection();
    if (picked > 0 && static_cast<size_t>(picked) <= kinds_.size()) {
        filter.anyKind = false;
        filter.kind = kinds_[static_cast<size_t>(picked - 1)];
    }
    const wxString typed = search_->GetValue();  // utf8_str() may point into it
    const wxScopedCharBuffer text = typed.utf8_str();
    filter.text.assign(text.data(), text.length());
    shown_ = logviewer_filter(entries_, filter);
    list_->ShowRows();
    count_->SetLabel(wxString::Format("%zu of %zu entries", shown_.size(), entries_.size()));
}

void LogViewerFrame::ShowSummary() {
    LogReport report;
    if (!logviewer_summary(entries_, today_, weeks_->GetValue(), report)) report = LogReport();
    chart_->SetReport(report);
    if (report.perDay.empty()) {
        period_->SetLabel("Blocked and denied: today's date cannot be read.");
    } else {
        period_->SetLabel(wxString::Format("Blocked and denied, %s to %s: %d blocked, %d denied",
                                           report.perDay.front().day, report.perDay.back().day, report.blocks,
                                           report.denials));
    }
    sites_->DeleteAllItems();
    std::vector<LogReportSite> rows = report.perSite;
    if (report.withoutSite.blocks || report.withoutSite.denials) {
        rows.push_back(report.withoutSite);
        rows.back().site = kLogReportNoSite;
    }
    for (const LogReportSite& site : rows) {
        const long row = sites_->InsertItem(sites_->GetItemCount(), LogText(site.site));
        sites_->SetItem(row, 1, wxString::Format("%d", site.blocks));
        sites_->SetItem(row, 2, wxString::Format("%d", site.denials));
    }
}

bool LogViewerFrame::PickKind(const std::string& kind) {
    int index = -1;
    if (kind == "*") index = 0;
    for (size_t i = 0; i < kinds_.size() && index < 0; ++i)
        if (kinds_[i] == kind) index = static_cast<int>(i) + 1;
    if (index < 0) return false;
    kindChoice_->SetSelection(index);
    wxCommandEvent picked(wxEVT_CHOICE, kindChoice_->GetId());
    picked.SetEventObject(kindChoice_);
    picked.SetInt(index);
    kindChoice_->GetEventHandler()->ProcessEvent(picked);
    return true;
}

void LogViewerFrame::TypeFilterText(const std::string& text) { search_->SetValue(wxString::FromUTF8(text)); }

void LogViewerFrame::WriteShown(std::ostream& out) const {
    auto utf8 = [](const wxString& text) {
        const wxScopedCharBuffer bytes = text.utf8_str();
        return std::string(bytes.data(), bytes.length());
    };
    out << "kinds";
    for (unsigned i = 0; i < kindChoice_->GetCount(); ++i) out << (i ? "|" : " ") << utf8(kindChoice_->GetString(i));
    out << "\nkind " << utf8(kindChoice_->GetStringSelection()) << "\n";
    out << "text " << utf8(search_->GetValue()) << "\n";
    out << "count " << utf8(count_->GetLabel()) << "\n";
    const long rows = list_->GetItemCount();
    for (long row = 0; row < rows; ++row) {
        out << "row";
        for (int c = 0; c < kColumns; ++c) out << (c ? "|" : " ") << utf8(list_->RowText(row, c));
        out << "\n";
    }
    out << "period " << utf8(period_->GetLabel()) << "\n";
    const LogReport& report = chart_->Report();
    out << "chart days " << report.perDay.size() << " scale " << chart_->Scale() << "\n";
    for (const LogReportDay& day : report.perDay)
        if (day.blocks || day.denials) out << "bar " << day.day << " " << day.blocks << " " << day.denials << "\n";
    for (long row = 0; row < sites_->GetItemCount(); ++row)
        out << "site " << utf8(sites_->GetItemText(row, 0)) << "|" << utf8(sites_->GetItemText(row, 1)) << "|"
            << utf8(sites_->GetItemText(row, 2)) << "\n";
}
