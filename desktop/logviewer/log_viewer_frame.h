// The log viewer's window: the dump's entries in columns, filtered by kind and by a text, and
// the chart and table of blocks and denials per day and per site over the last weeks.
#pragma once

#include "log_dump.h"
#include "log_view.h"

#include <wx/frame.h>

#include <ostream>
#include <string>
#include <vector>

class wxChoice;
class wxListCtrl;
class wxSearchCtrl;
class wxSpinCtrl;
class wxSpinEvent;
class wxStaticText;
class EntryList;
class LogChartPanel;

class LogViewerFrame : public wxFrame {
public:
    // entries must outlive the window; today ("YYYY-MM-DD") ends the chart's period.
    LogViewerFrame(const std::vector<LogDumpEntry>& entries, const wxString& dumpName, const std::string& today,
                   int weeks);

    // What a person would do, for the test run: pick a kind ("*" for every kind, "" for the lines
    // without one) and type a filter text. False when the kind is not in the list.
    bool PickKind(const std::string& kind);
    void TypeFilterText(const std::string& text);
    // Writes what the window shows, read back from its controls, one item per line.
    void WriteShown(std::ostream& out) const;

private:
    void ApplyFilters();
    void ShowSummary();

    const std::vector<LogDumpEntry>& entries_;
    const std::string today_;
    std::vector<std::string> kinds_;
    std::vector<size_t> shown_;
    wxChoice* kindChoice_ = nullptr;
    wxSearchCtrl* search_ = nullptr;
    wxSpinCtrl* weeks_ = nullptr;
    wxStaticText* count_ = nullptr;
    wxStaticText* period_ = nullptr;
    EntryList* list_ = nullptr;
    LogChartPanel* chart_ = nullptr;
    wxListCtrl* sites_ = nullptr;
};

// A text of the log, as UTF-8 when it is valid UTF-8, else byte for byte as Latin-1.
wxString LogText(const std::string& text);
