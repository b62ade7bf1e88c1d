#include "log_report_render.h"

#include <stdio.h>

namespace {

std::string row(const char* format, const std::string& name, int blocks, int denials) {
    char text[512];
    snprintf(text, sizeof(text), format, name.c_str(), blocks, denials);
    return text;
}

std::string heading(const char* format, const char* name) {
    char text[128];
    snprintf(text, sizeof(text), format, name, "blocked", "denied");
    return text;
}

}  // namespace

std::string LogReportPeriod(const LogReport& report) {
    if (report.perDay.empty()) return "";
    return report.perDay.front().day + " to " + report.perDay.back().day + " (" + std::to_string(report.days) +
           (report.days == 1 ? " day)" : " days)");
}

std::string LogReportText(const LogReport& report) {
    std::string out = "Blocked and denied, " + LogReportPeriod(report) + ": " + std::to_string(report.blocks) +
                      " blocked, " + std::to_string(report.denials) + " denied\n\n";
    out += heading("%-12s %8s %8s\n", "day");
    for (const LogReportDay& day : report.perDay) out += row("%-12s %8d %8d\n", day.day, day.blocks, day.denials);
    out += "\n" + heading("%-40s %8s %8s\n", "site");
    for (const LogReportSite& site : report.perSite) out += row("%-40s %8d %8d\n", site.site, site.blocks, site.denials);
    const LogReportSite& none = report.withoutSite;
    if (none.blocks || none.denials) out += row("%-40s %8d %8d\n", kLogReportNoSite, none.blocks, none.denials);
    if (report.blocks == 0 && report.denials == 0) out += "(nothing was blocked or denied)\n";
    return out;
}
