#include "log_buttons.h"

#include "registry_reader.h"

#include <log_viewer_key.h>
#include <vtlogger.h>

#include <process.h>
#include <string.h>

#include <string>

const char kWordPadAppPathKey[] = QF_LOG_VIEWER_APP_PATH_KEY;
const char kEraseLogQuestion[] = "The current log will be completely erased.\nDo you want to erase the log ?";
const char kEraseLogCaption[] = "Quillfence - Erase log";
const UINT kEraseLogType = MB_YESNO | MB_DEFBUTTON2;

namespace {

// The program to start for the App Paths value: a value with environment variables is expanded,
// and the quotation marks it is written in are taken off.
std::string wordpad_program(const char* value) {
    if (!strchr(value, '%')) return value;
    char expanded[255] = {0};
    const DWORD needed = ExpandEnvironmentStringsA(value, expanded, sizeof(expanded));
    if (needed == 0 || needed > sizeof(expanded)) return "";
    std::string program = expanded;
    if (program.size() >= 2 && program.front() == '"' && program.back() == '"')
        program = program.substr(1, program.size() - 2);
    return program;
}

}  // namespace

void ViewLog(AdvancedWindow& window) {
    window.EnableButton(kViewLogButton, FALSE);
    window.Refresh();
    window.ShowWaitCursor();

    char wordpad[255] = {0};
    ReadRegistryString(kWordPadAppPathKey, "", wordpad);
    char dump[255] = {0};
    VTLogger_DumpLog(dump);
    const std::string quotedDump = std::string("\"") + dump + "\"";
    const std::string program = wordpad_program(wordpad);
    if (!program.empty() && dump[0]) _spawnl(_P_WAIT, program.c_str(), "wordpad.exe", quotedDump.c_str(), NULL);
    if (dump[0]) DeleteFileA(dump);

    window.RestoreCursor();
    window.EnableButton(kViewLogButton, TRUE);
    window.Refresh();
}

bool EraseLog(AdvancedWindow& window) {
    if (window.ShowMessageBox(kEraseLogQuestion, kEraseLogCaption, kEraseLogType) != IDYES) return false;
    return VTLogger_FlushLog() == 1;
}
