#include "log_report.h"

#include "log_site.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
long long days_from_civil(int year, int month, int day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::string civil_from_days(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const long long year = yearOfEra + era * 400 + (month <= 2);
    char text[32];
    snprintf(text, sizeof(text), "%04lld-%02d-%02d", year, month, day);
    return text;
}

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// The day number of a text that starts "YYYY-MM-DD" (length bytes); false when it does not.
bool read_day(const char* text, size_t length, long long& dayNumber) {
    if (length < 10 || text[4] != '-' || text[7] != '-') return false;
    int fields[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int widths[3] = {4, 2, 2};
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < widths[f]; ++i) {
            const char c = text[starts[f] + i];
            if (c < '0' || c > '9') return false;
            fields[f] = fields[f] * 10 + (c - '0');
        }
    }
    static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = fields[0], month = fields[1], day = fields[2];
    if (month < 1 || month > 12 || day < 1) return false;
    if (day > kMonthDays[month - 1] + (month == 2 && is_leap(year))) return false;
    dayNumber = days_from_civil(year, month, day);
    return true;
}

}  // namespace

bool TallyLogReport(const VTLogEntry* entries, size_t count, const std::string& today, int days, LogReport& report) {
    report = LogReport();
    long long last = 0;
    if (days < 1 || days > kLogReportMaxDays || today.size() != 10 || !read_day(today.data(), today.size(), last))
        return false;
    const long long first = last - days + 1;
    report.days = days;
    for (long long d = first; d <= last; ++d) {
        LogReportDay day;
        day.day = civil_from_days(d);
        report.perDay.push_back(day);
    }
    std::map<std::string, LogReportSite> sites;
    for (size_t i = 0; i < count; ++i) {
        const VTLogEntry& entry = entries[i];
        const bool block = strncmp(entry.kind, "BLOCK", sizeof(entry.kind)) == 0;
        const bool deny = strncmp(entry.kind, "DENY", sizeof(entry.kind)) == 0;
        if (!block && !deny) continue;
        long long dayNumber = 0;
        if (!read_day(entry.time, strnlen(entry.time, sizeof(entry.time)), dayNumber)) continue;
        if (dayNumber < first || dayNumber > last) continue;
        LogReportDay& day = report.perDay[static_cast<size_t>(dayNumber - first)];
        (block ? day.blocks : day.denials) += 1;
        (block ? report.blocks : report.denials) += 1;
        char site[sizeof(entry.text)];
        if (!logreport_site(entry.text, strnlen(entry.text, sizeof(entry.text)), site, sizeof(site))) {
            (block ? report.withoutSite.blocks : report.withoutSite.denials) += 1;
            continue;
        }
        LogReportSite& counts = sites[site];
        counts.site = site;
        (block ? counts.blocks : counts.denials) += 1;
    }
    for (auto& named : sites) report.perSite.push_back(named.second);
    std::stable_sort(report.perSite.begin(), report.perSite.end(), [](const LogReportSite& a, const LogReportSite& b) {
        return a.blocks + a.denials > b.blocks + b.denials;
    });
    return true;
}

std::string LogReportToday() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[32];
    snprintf(today, sizeof(today), "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    return today;
}

bool BuildLogReport(int days, LogReport& report, std::string& error) {
    if (days < 1 || days > kLogReportMaxDays) {
        error = "the number of days must be 1 to " + std::to_string(kLogReportMaxDays);
        return false;
    }
    std::vector<VTLogEntry> entries;
    std::vector<VTLogEntry> page(256);
    INT after = 0;
    for (;;) {
        const int read = VTLogger_ReadEntries(after, page.data(), static_cast<int>(page.size()));
        if (read < 0) {
            error = "the access log cannot be read";
            return false;
        }
        for (int i = 0; i < read; ++i) {
            // Only the refusals are kept: the log may be long long.
            if (!strcmp(page[i].kind, "BLOCK") || !strcmp(page[i].kind, "DENY")) entries.push_back(page[i]);
            after = page[i].id;
        }
        if (read < static_cast<int>(page.size())) break;
    }
    if (!TallyLogReport(entries.data(), entries.size(), LogReportToday(), days, report)) {
        error = "today's date cannot be read";
        return false;
    }
    return true;
}
