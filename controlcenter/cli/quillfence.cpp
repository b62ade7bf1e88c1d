// quillfence: the admin command line. Shows whether filtering is on and what the Winsock catalog
// holds, switches filtering on and off with the Control Center's own switch, and prints the
// access log.
#include "catalog_listing.h"
#include <machine_root_option.h>

#include <filter_switch.h>
#include <protocol_catalog.h>
#include "filtering_state.h"

#include <vtlogger.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kUsage[] = "usage: quillfence status|enable|disable|log [--root DIR]\n";
const char kHelp[] =
    "\n"
    "  status    whether filtering is on, then every Winsock catalog entry: id, name, chain\n"
    "  enable    switch filtering on (nothing to do when it is on)\n"
    "  disable   switch filtering off (nothing to do when it is off)\n"
    "  log       the access log, oldest first: time, kind, port, text, program\n"
    "  --root    the machine root (default: $QUILLFENCE_ROOT, else $XDG_DATA_HOME/quillfence)\n";

int usage_error(const std::string& message) {
    fprintf(stderr, "quillfence: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int failure(const std::string& message) {
    fflush(stdout);
    fprintf(stderr, "quillfence: %s\n", message.c_str());
    return 1;
}

const char* state_text(bool on) { return on ? "on" : "off"; }

int show_status() {
    std::vector<WSAPROTOCOL_INFOW> entries;
    const bool on = IsFilteringOn();
    if (int error = ReadProtocolCatalog(entries, nullptr))
        return failure("the Winsock catalog cannot be read (error " + std::to_string(error) + ")");
    printf("filtering: %s\n", state_text(on));
    for (const WSAPROTOCOL_INFOW& entry : entries) printf("%s\n", CatalogListingLine(entry).c_str());
    return 0;
}

int switch_to(bool wanted) {
    if (IsFilteringOn() == wanted) {
        printf("filtering is already %s\n", state_text(wanted));
        return 0;
    }
    const bool on = SwitchFiltering();
    VTLogger_Free();
    if (on != wanted) {
        return failure(wanted ? "filtering could not be switched on: it stays off (see the lines above)"
                              : "filtering could not be switched off: it stays on (see the lines above)");
    }
    printf("filtering: %s\n", state_text(on));
    return 0;
}

int show_log() {
    std::vector<VTLogEntry> entries(64);
    INT after = 0;
    for (;;) {
        const int count = VTLogger_ReadEntries(after, entries.data(), static_cast<int>(entries.size()));
        if (count < 0) return failure("the access log cannot be read");
        for (int i = 0; i < count; ++i) {
            const VTLogEntry& e = entries[i];
            printf("%s %-7s %5d %s [%s]\n", e.time, e.kind, static_cast<int>(e.port), e.text, e.program);
            after = e.id;
        }
        if (count < static_cast<int>(entries.size())) return 0;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h") || !strcmp(argv[1], "help"))) {
        printf("%s%s", kUsage, kHelp);
        return 0;
    }
    if (argc < 2) return usage_error("a command is needed");
    const std::string command = argv[1];
    if (command != "status" && command != "enable" && command != "disable" && command != "log")
        return usage_error("unknown command '" + command + "'");
    std::string root;
    bool rootGiven = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc) {
            root = argv[++i];
        } else if (arg.rfind("--root=", 0) == 0) {
            root = arg.substr(7);
        } else if (arg == "--root") {
            return usage_error("--root needs a directory");
        } else {
            return usage_error("unexpected argument '" + arg + "'");
        }
        if (rootGiven) return usage_error("--root is given twice");
        if (root.empty()) return usage_error("--root needs a directory");
        rootGiven = true;
    }
    std::string error;
    if (!SelectMachineRoot(rootGiven, root, error)) return failure(error);
    if (command == "status") return show_status();
    if (command == "log") return show_log();
    return switch_to(command == "enable");
}
