// A LogReport for the person who reads it: plain text for the terminal, or one self-contained
// HTML page (styles and charts inline, nothing fetched from anywhere).
#pragma once

#include "log_report.h"

#include <string>

// "FIRST to LAST (N days)".
std::string LogReportPeriod(const LogReport& report);

std::string LogReportText(const LogReport& report);
std::string LogReportHtml(const LogReport& report);

// The report of the last days of the current machine root's log: as text into text, or, when
// htmlFile is given, as an HTML page written to that file. False, with a sentence in error, when
// the log cannot be read or the file cannot be written.
bool WriteLogReport(int days, const std::string* htmlFile, std::string& text, std::string& error);
