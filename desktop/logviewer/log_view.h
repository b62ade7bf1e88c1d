// What the log viewer shows of a dump: the entries that pass the kind and text filters, the
// kinds a person can pick, and the blocks and denials of the last weeks.
#pragma once

#include "log_dump.h"

#include <log_report_summary.h>

#include <stddef.h>

#include <string>
#include <vector>

struct LogViewFilter {
    bool anyKind = true;
    std::string kind;  // when !anyKind: the kind shown ("" for the lines without one)
    std::string text;  // shown are the entries whose time, kind, port, text or program hold it,
                       // compared without regard to case; "" for every entry
};

// The indexes of the entries the filter lets through, in the dump's order.
std::vector<size_t> logviewer_filter(const std::vector<LogDumpEntry>& entries, const LogViewFilter& filter);

// The kinds a person can pick: the logger's six ("BLOCK", "DENY", "ALLOW", "FETCH", "WARNING",
// "INFORM"), then any other kind the dump holds in the order met, then "" (no kind) when the
// dump has such lines.
std::vector<std::string> logviewer_kinds(const std::vector<LogDumpEntry>& entries);

// The longest period the chart covers.
const int kLogViewMaxWeeks = 52;

// The blocks and denials of the weeks-long period that ends with today ("YYYY-MM-DD"), per day
// and per site, counted by the log report's tally from the readable "BLOCK" and "DENY" entries.
// False when today cannot be read or weeks is not 1 to kLogViewMaxWeeks.
bool logviewer_summary(const std::vector<LogDumpEntry>& entries, const std::string& today, int weeks,
                       LogReport& report);
