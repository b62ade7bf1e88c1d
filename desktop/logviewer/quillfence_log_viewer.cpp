// quillfence-log-viewer [--root DIR] [--weeks N] DUMP: shows a dump of the access log (the file
// View Log passes, a Windows path on the machine's drive C: or a Linux path) in a window. The
// whole file is read before the window opens: View Log deletes it once the viewer has closed.
//
// For the tests: --test-report FILE (or QF_LOG_VIEWER_TEST_REPORT=FILE in the environment, for
// a viewer that View Log starts) writes what the window shows to FILE ("-": standard output)
// once it is on the screen and closes it; --test-kind KIND and --test-text TEXT first pick a
// kind and type a filter text, --test-screenshot FILE saves a PNG picture of the window.
#include "log_dump.h"
#include "log_viewer_frame.h"
#include "window_snapshot.h"

#include <log_report_summary.h>
#include <machine_root_option.h>

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>

#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: quillfence-log-viewer [--root DIR] [--weeks N] DUMP\n"
    "  shows a dump of the access log (as View Log writes it) with filters and a chart\n"
    "  DUMP          the dump: a Windows path on drive C: of the machine, or a Linux path\n"
    "  --root DIR    the machine root of a Windows path (default: $QUILLFENCE_ROOT, else\n"
    "                $XDG_DATA_HOME/quillfence)\n"
    "  --weeks N     the weeks the chart covers at first (1 to 52, default 4)\n";
const char kCaption[] = "Quillfence - Log viewer";

struct Options {
    std::string dump;
    bool dumpGiven = false;
    bool rootGiven = false;
    std::string root;
    int weeks = 4;
    std::string testReport, testKind, testText, testScreenshot;
    bool testKindGiven = false, testTextGiven = false;
};

Options g_options;
std::vector<LogDumpEntry> g_entries;
std::string g_loadError;  // why the dump cannot be shown, or empty

bool read_weeks(const std::string& text, int& weeks) {
    if (text.empty() || text.size() > 2) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    weeks = atoi(text.c_str());
    return weeks >= 1 && weeks <= kLogViewMaxWeeks;
}

// 0 when the options are read, else the exit code.
int read_options(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            fputs(kUsage, stdout);
            return -1;
        }
        if (arg == "--root" || arg == "--weeks" || arg == "--test-report" || arg == "--test-kind" ||
            arg == "--test-text" || arg == "--test-screenshot") {
            if (i + 1 >= argc) {
                fprintf(stderr, "quillfence-log-viewer: %s needs a value\n%s", arg.c_str(), kUsage);
                return 2;
            }
            const std::string value = argv[++i];
            if (arg == "--root") {
                options.root = value;
                options.rootGiven = true;
            } else if (arg == "--weeks") {
                if (!read_weeks(value, options.weeks)) {
                    fprintf(stderr, "quillfence-log-viewer: --weeks needs a number from 1 to %d\n", kLogViewMaxWeeks);
                    return 2;
                }
            } else if (arg == "--test-report") {
                options.testReport = value;
            } else if (arg == "--test-kind") {
                options.testKind = value;
                options.testKindGiven = true;
            } else if (arg == "--test-text") {
                options.testText = value;
                options.testTextGiven = true;
            } else {
                options.testScreenshot = value;
            }
            continue;
        }
        if (options.dumpGiven || (arg.size() > 1 && arg[0] == '-' && arg[1] == '-')) {
            fprintf(stderr, "quillfence-log-viewer: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        }
        options.dump = arg;
        options.dumpGiven = true;
    }
    if (!options.dumpGiven) {
        fprintf(stderr, "quillfence-log-viewer: no dump file named\n%s", kUsage);
        return 2;
    }
    if (options.testReport.empty()) {
        const char* fromEnvironment = getenv("QF_LOG_VIEWER_TEST_REPORT");
        if (fromEnvironment && *fromEnvironment) options.testReport = fromEnvironment;
    }
    return 0;
}

void write_report(const std::string& text) {
    if (g_options.testReport == "-") {
        fputs(text.c_str(), stdout);
        fflush(stdout);
        return;
    }
    std::ofstream(g_options.testReport, std::ios::binary) << text;
}

}  // namespace

class ViewerApp : public wxApp {
public:
    bool OnInit() override {
        if (!g_loadError.empty()) {
            wxMessageBox(LogText(g_loadError), kCaption, wxOK | wxICON_ERROR);
            return false;
        }
        const std::string name = g_options.dump.substr(g_options.dump.find_last_of("\\/") + 1);
        frame_ = new LogViewerFrame(g_entries, LogText(name), LogReportToday(), g_options.weeks);
        frame_->Show();
        if (!g_options.testReport.empty()) {
            // Once the window is on the screen and painted.
            timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { RunTestSteps(); });
            timer_.StartOnce(400);
        }
        return true;
    }
    int OnExit() override { return exitCode_; }

private:
    void RunTestSteps() {
        std::string report;
        if (g_options.testKindGiven && !frame_->PickKind(g_options.testKind)) {
            report += "error no kind " + g_options.testKind + "\n";
            exitCode_ = 1;
        }
        if (g_options.testTextGiven) frame_->TypeFilterText(g_options.testText);
        frame_->Update();
        wxYield();
        if (!g_options.testScreenshot.empty()) {
            std::string error;
            if (!SaveWindowSnapshot(frame_, g_options.testScreenshot, error)) {
                report += "error screenshot: " + error + "\n";
                exitCode_ = 1;
            }
        }
        std::ostringstream shown;
        frame_->WriteShown(shown);
        write_report(report + shown.str());
        frame_->Close(true);
    }

    LogViewerFrame* frame_ = nullptr;
    wxTimer timer_;
    int exitCode_ = 0;
};

wxIMPLEMENT_APP_NO_MAIN(ViewerApp);

int main(int argc, char** argv) {
    const int optionsRead = read_options(argc, argv, g_options);
    if (optionsRead) return optionsRead < 0 ? 0 : optionsRead;
    std::string error;
    if (g_options.rootGiven && !SelectMachineRoot(true, g_options.root, error)) {
        g_loadError = "The log cannot be shown: " + error + ".";
    } else {
        std::string path;
        if (!logviewer_dump_path(g_options.dump.c_str(), path, error) || !logviewer_load_dump(path, g_entries, error))
            g_loadError = "The log cannot be shown. " + error;
    }
    if (!g_loadError.empty()) {
        fprintf(stderr, "quillfence-log-viewer: %s\n", g_loadError.c_str());
        // A test run shows no message box: nobody would close it.
        if (!g_options.testReport.empty()) {
            write_report("error " + g_loadError + "\n");
            return 1;
        }
    }
    const int ended = wxEntry(argc, argv);
    return g_loadError.empty() ? ended : 1;
}
