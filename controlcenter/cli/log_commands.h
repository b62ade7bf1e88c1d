// The log commands: the access log shown, and erased as Erase Log does.
#pragma once

#include <string>

// quillfence log [show]: every entry, oldest first: time, kind, port, text, program.
int LogShowCommand();

// quillfence log erase --yes: Erase Log answered Yes (the command line asks nothing: --yes is its
// answer).
int LogEraseCommand();

// quillfence log report [--days N] [--html FILE]: what was blocked and denied per day and per
// site over the last N days, as text or as one self-contained HTML page.
int LogReportCommand(int days, const std::string* htmlFile);
