// The HTML page: one file, its styles inline, the bars drawn with CSS, every text from the log
// escaped (host names come from the network).
#include "log_report_render.h"

#include <fstream>

#include <algorithm>

namespace {

const char kStyle[] =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "table{border-collapse:collapse;margin-bottom:2em}"
    "th,td{padding:2px 10px;text-align:left}"
    "td.n{text-align:right;font-variant-numeric:tabular-nums}"
    "tr:nth-child(even){background:#f4f4f4}"
    ".bar{display:flex;width:300px;height:12px}"
    ".bar span{display:block;height:12px}"
    ".b{background:#c0392b}.d{background:#e67e22}"
    ".key span{display:inline-block;width:12px;height:12px;margin:0 4px 0 12px;vertical-align:middle}";

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string width(int value, int largest) {
    return std::to_string(largest > 0 ? value * 100 / largest : 0) + "%";
}

std::string row(const std::string& name, int blocks, int denials, int largest) {
    return "<tr><td>" + escaped(name) + "</td><td class=\"n\">" + std::to_string(blocks) + "</td><td class=\"n\">" +
           std::to_string(denials) + "</td><td><div class=\"bar\"><span class=\"b\" style=\"width:" +
           width(blocks, largest) + "\"></span><span class=\"d\" style=\"width:" + width(denials, largest) +
           "\"></span></div></td></tr>\n";
}

std::string table_head(const char* first) {
    return std::string("<table>\n<tr><th>") + first + "</th><th>blocked</th><th>denied</th><th></th></tr>\n";
}

}  // namespace

std::string LogReportHtml(const LogReport& report) {
    const std::string period = LogReportPeriod(report);
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Quillfence: blocked and "
                      "denied, " + escaped(period) + "</title>\n<style>" + kStyle + "</style></head><body>\n";
    out += "<h1>Blocked and denied</h1>\n<p>" + escaped(period) + ": <b>" + std::to_string(report.blocks) +
           "</b> blocked, <b>" + std::to_string(report.denials) + "</b> denied.</p>\n";
    out += "<p class=\"key\"><span class=\"b\"></span>blocked<span class=\"d\"></span>denied</p>\n";

    int largest = 0;
    for (const LogReportDay& day : report.perDay) largest = std::max(largest, day.blocks + day.denials);
    out += "<h2>Per day</h2>\n" + table_head("day");
    for (const LogReportDay& day : report.perDay) out += row(day.day, day.blocks, day.denials, largest);
    out += "</table>\n";

    const LogReportSite& none = report.withoutSite;
    largest = none.blocks + none.denials;
    for (const LogReportSite& site : report.perSite) largest = std::max(largest, site.blocks + site.denials);
    out += "<h2>Per site</h2>\n" + table_head("site");
    for (const LogReportSite& site : report.perSite) out += row(site.site, site.blocks, site.denials, largest);
    if (none.blocks || none.denials) out += row(kLogReportNoSite, none.blocks, none.denials, largest);
    out += "</table>\n";
    if (report.blocks == 0 && report.denials == 0) out += "<p>Nothing was blocked or denied.</p>\n";
    out += "</body></html>\n";
    return out;
}

bool WriteLogReport(int days, const std::string* htmlFile, std::string& text, std::string& error) {
    LogReport report;
    if (!BuildLogReport(days, report, error)) return false;
    if (!htmlFile) {
        text = LogReportText(report);
        return true;
    }
    std::ofstream out(*htmlFile, std::ios::binary | std::ios::trunc);
    out << LogReportHtml(report);
    out.close();
    if (!out) {
        error = "cannot write " + *htmlFile;
        return false;
    }
    text = "report written to " + *htmlFile + "\n";
    return true;
}
