#include "log_commands.h"

#include "cli_output.h"
#include "terminal_window.h"

#include <log_buttons.h>
#include <log_report_render.h>

#include <vtlogger.h>

#include <stdio.h>

#include <string>
#include <vector>

int LogShowCommand() {
    std::vector<VTLogEntry> entries(64);
    INT after = 0;
    for (;;) {
        const int count = VTLogger_ReadEntries(after, entries.data(), static_cast<int>(entries.size()));
        if (count < 0) return Failure("the access log cannot be read");
        for (int i = 0; i < count; ++i) {
            const VTLogEntry& e = entries[i];
            printf("%s %-7s %5d %s [%s]\n", e.time, e.kind, static_cast<int>(e.port), e.text, e.program);
            after = e.id;
        }
        if (count < static_cast<int>(entries.size())) return 0;
    }
}

int LogEraseCommand() {
    TerminalWindow window(IDYES);
    if (!EraseLog(window)) return Failure("the access log cannot be erased");
    printf("the access log is erased\n");
    return 0;
}

int LogReportCommand(int days, const std::string* htmlFile) {
    std::string text, error;
    if (!WriteLogReport(days, htmlFile, text, error)) return Failure(error);
    fputs(text.c_str(), stdout);
    return 0;
}
