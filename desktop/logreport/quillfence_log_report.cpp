// quillfence-log-report [--root DIR] [--days N] [--html FILE]: what the filter blocked and denied
// over the last N days (7 unless told), per day and per site, as text or as an HTML page.
#include "log_report.h"
#include "log_report_render.h"

#include <machine_root_option.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

const char kUsage[] =
    "usage: quillfence-log-report [--root DIR] [--days N] [--html FILE]\n"
    "  what was blocked and denied over the last N days (default 7), per day and per site\n"
    "  --root DIR    the machine root (default: $QUILLFENCE_ROOT, else $XDG_DATA_HOME/quillfence)\n"
    "  --days N      the number of days, today included (1 to 3660)\n"
    "  --html FILE   write the report as one self-contained HTML page to FILE instead\n";

int usage_error(const std::string& message) {
    fprintf(stderr, "quillfence-log-report: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int failure(const std::string& message) {
    fprintf(stderr, "quillfence-log-report: %s\n", message.c_str());
    return 1;
}

// A whole decimal number, nothing else.
bool read_number(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = atoi(text.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root, html;
    bool rootGiven = false, daysGiven = false, htmlGiven = false;
    int days = 7;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printf("%s", kUsage);
            return 0;
        }
        if (arg != "--root" && arg != "--days" && arg != "--html") return usage_error("unexpected argument '" + arg + "'");
        if (i + 1 >= argc) return usage_error(arg + " needs a value");
        const std::string value = argv[++i];
        bool& given = arg == "--root" ? rootGiven : arg == "--days" ? daysGiven : htmlGiven;
        if (given) return usage_error(arg + " is given twice");
        given = true;
        if (arg == "--root") {
            if (value.empty()) return usage_error("--root needs a directory");
            root = value;
        } else if (arg == "--days") {
            if (!read_number(value, days) || days < 1 || days > kLogReportMaxDays)
                return usage_error("--days needs a number of days from 1 to " + std::to_string(kLogReportMaxDays));
        } else {
            if (value.empty()) return usage_error("--html needs a file");
            html = value;
        }
    }
    std::string error;
    if (!SelectMachineRoot(rootGiven, root, error)) return failure(error);
    std::string text;
    if (!WriteLogReport(days, htmlGiven ? &html : nullptr, text, error)) return failure(error);
    fputs(text.c_str(), stdout);
    return 0;
}
