// What the filter refused over the last days: the "BLOCK" and "DENY" lines of the access log,
// counted per day and per site.
#pragma once

#include <vtlogger.h>

#include <stddef.h>

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

// The longest period a report covers.
const int kLogReportMaxDays = 3660;

// Counts entries of the days-long period that ends with today ("YYYY-MM-DD"); entries whose time
// cannot be read, or is outside the period, are not counted. False when today cannot be read
// or days is not 1 to kLogReportMaxDays.
bool TallyLogReport(const VTLogEntry* entries, size_t count, const std::string& today, int days, LogReport& report);

// The report of the current machine root's access log for the days-long period that ends today
// (local time). False, with a sentence in error, when the log cannot be read or days is out of
// range.
bool BuildLogReport(int days, LogReport& report, std::string& error);
