// What the filter refused over a period: the "BLOCK" and "DENY" lines of the access log counted
// per day and per site. Plain data, so that window code can hold it without the logger's headers.
#pragma once

#include <string>
#include <vector>

struct LogReportDay {
    std::string day;  // "YYYY-MM-DD"
    int blocks = 0;
    int denials = 0;
};

struct LogReportSite {
    std::string site;  // as log_site.h reads it from the lines
    int blocks = 0;
    int denials = 0;
};

struct LogReport {
    int days = 0;
    std::vector<LogReportDay> perDay;    // every day of the period, oldest first, today last
    std::vector<LogReportSite> perSite;  // most blocks and denials first, then by name
    int blocks = 0;
    int denials = 0;
    LogReportSite withoutSite;  // the counted lines that name no site (time management), site ""
};

// The row of the lines that name no site.
const char kLogReportNoSite[] = "(no site named)";

// The longest period a report covers.
const int kLogReportMaxDays = 3660;

// Today in local time, "YYYY-MM-DD": the last day of a report.
std::string LogReportToday();
