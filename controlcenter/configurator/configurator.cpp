// configurator: the Control Center. It opens its windows on the desktop (the windowed backend),
// or, with --headless, runs on the headless backend, playing the user from a script (see
// README.md) and printing every window, message box and help call it shows.
#include "configurator_app.h"
#include "configurator_resources.h"

#include <headless_backend.h>
#include <machine_root_option.h>
#include <wx_backend.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: configurator [--root DIR] [/Embedding|/Automation]\n"
    "       configurator --headless SCRIPT|- [--root DIR] [/Embedding|/Automation]\n";

int usage_error(const std::string& message) {
    fprintf(stderr, "configurator: %s\n%s", message.c_str(), kUsage);
    return 2;
}

void print_line(const std::string& line) {
    printf("%s\n", line.c_str());
    fflush(stdout);
}

// The Control Center on the desktop.
int run_windowed(char* programName, const std::vector<std::string>& commandLine) {
    // The toolkit sees only the program's name: the command line is the program's own.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {programName, nullptr};
    std::string error;
    if (!WxDialogsStart(toolkitArgc, toolkitArgv, error)) {
        fprintf(stderr,
                "configurator: the Control Center needs a desktop to show its windows: %s\n"
                "(run it with --headless SCRIPT to play it from a script)\n",
                error.c_str());
        return 1;
    }
    WxBackend backend;
    DlgSetResources(&kConfiguratorResources);
    DlgSetBackend(&backend);
    int exitCode = 0;
    {
        CConfiguratorApp app;
        exitCode = app.Run(commandLine);
    }
    DlgSetBackend(nullptr);
    WxDialogsStop();
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    std::string script;
    bool headless = false;
    std::string root;
    bool rootGiven = false;
    std::vector<std::string> commandLine;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printf("%s", kUsage);
            return 0;
        }
        if (arg == "--headless" || arg == "--root") {
            if (i + 1 >= argc || !*argv[i + 1]) return usage_error(arg + " needs " + (arg == "--root" ? "a directory" : "a script"));
            if (arg == "--root" ? rootGiven : headless) return usage_error(arg + " is given twice");
            (arg == "--root" ? root : script) = argv[++i];
            (arg == "--root" ? rootGiven : headless) = true;
            continue;
        }
        // Everything else is the program's own command line (the automation switches).
        commandLine.push_back(arg);
    }
    std::string error;
    if (!SelectMachineRoot(rootGiven, root, error)) {
        fprintf(stderr, "configurator: %s\n", error.c_str());
        return 1;
    }
    if (!headless) return run_windowed(argv[0], commandLine);
    FILE* input = script == "-" ? stdin : fopen(script.c_str(), "r");
    if (!input) {
        fprintf(stderr, "configurator: cannot read the script %s: %s\n", script.c_str(), strerror(errno));
        return 1;
    }
    HeadlessBackend backend(HeadlessScriptStream(input));
    backend.SetEcho(print_line);
    DlgSetRecordListener([](const DlgRecord& record) { print_line(DlgRecordLine(record)); });
    DlgSetResources(&kConfiguratorResources);
    DlgSetBackend(&backend);
    int exitCode = 0;
    try {
        CConfiguratorApp app;
        exitCode = app.Run(commandLine);
        backend.CheckFinished();
    } catch (const HeadlessFailure& failure) {
        fflush(stdout);
        fprintf(stderr, "configurator: %s\n", failure.what());
        exitCode = 3;
    }
    DlgSetBackend(nullptr);
    if (input != stdin) fclose(input);
    return exitCode;
}
