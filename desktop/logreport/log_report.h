// What the filter refused over the last days: the "BLOCK" and "DENY" lines of the access log,
// counted per day and per site.
#pragma once

#include "log_report_summary.h"

#include <vtlogger.h>

#include <stddef.h>

#include <string>

// Counts entries of the days-long period that ends with today ("YYYY-MM-DD"); entries whose time
// cannot be read, or is outside the period, are not counted. False when today cannot be read
// or days is not 1 to kLogReportMaxDays.
bool TallyLogReport(const VTLogEntry* entries, size_t count, const std::string& today, int days, LogReport& report);

// The report of the current machine root's access log for the days-long period that ends today
// (local time). False, with a sentence in error, when the log cannot be read or days is out of
// range.
bool BuildLogReport(int days, LogReport& report, std::string& error);
