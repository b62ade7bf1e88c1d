// A LogReport for the person who reads it: plain text for the terminal, or one self-contained
// HTML page (styles and charts inline, nothing fetched from anywhere).
#pragma once

#include "log_report.h"

#include <string>

// The row of the lines that name no site.
const char kLogReportNoSite[] = "(no site named)";

// "FIRST to LAST (N days)".
std::string LogReportPeriod(const LogReport& report);

std::string LogReportText(const LogReport& report);
std::string LogReportHtml(const LogReport& report);
