// quillfence: the admin command line. Shows whether filtering is on and what the Winsock catalog
// holds, sets the Control Center password, switches filtering on and off with the Control
// Center's own switch, shows and changes the user lists with the list dialogs' rules (changes
// behind the password), prints and erases the access log, and runs the filter update.
#include "catalog_listing.h"
#include "cli_output.h"
#include "list_commands.h"
#include "log_commands.h"
#include "password_commands.h"
#include "update_commands.h"
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

const char kUsage[] =
    "usage: quillfence status|passwd|enable|disable|log|list|add|remove|update [ARGS] [--root DIR] [--password-stdin] [--yes]\n";
const char kHelp[] =
    "\n"
    "  status    whether filtering is on, then every Winsock catalog entry: id, name, chain\n"
    "  passwd    set the Control Center password (the first one, or current, then new twice)\n"
    "  enable    switch filtering on (nothing to do when it is on); needs the password\n"
    "  disable   switch filtering off (nothing to do when it is off); needs the password\n"
    "  log       the access log, oldest first: time, kind, port, text, program (also: log show)\n"
    "  log erase --yes   erase every entry of the access log; --yes is required (nothing is asked);\n"
    "                    needs the password\n"
    "  list LIST             the entries of LIST: disallow (words, phrases and sites to block),\n"
    "                        allow (sites let through unchanged) or search (search engine sites,\n"
    "                        let through cleaned)\n"
    "  add LIST TEXT         add TEXT to LIST, as the Control Center's Insert dialog does (the same\n"
    "                        forms and messages: a word, a site, a phrase in quotes, *word or word*);\n"
    "                        needs the password\n"
    "  remove LIST TEXT      remove TEXT from LIST; needs the password\n"
    "  update    download the filter update from the update server (the registry value UpdateServer,\n"
    "            HOST[:PORT]) and install it as the Control Center's Update Filter does; needs the\n"
    "            password\n"
    "  --root    the machine root (default: $QUILLFENCE_ROOT, else $XDG_DATA_HOME/quillfence)\n"
    "  --password-stdin  read the passwords as lines of standard input instead of asking on the\n"
    "            terminal (passwd: the current one if one is set, then the new one twice)\n";

int usage_error(const std::string& message) {
    fprintf(stderr, "quillfence: %s\n%s", message.c_str(), kUsage);
    return 2;
}

const char* state_text(bool on) { return on ? "on" : "off"; }

int show_status() {
    std::vector<WSAPROTOCOL_INFOW> entries;
    const bool on = IsFilteringOn();
    if (int error = ReadProtocolCatalog(entries, nullptr))
        return Failure("the Winsock catalog cannot be read (error " + std::to_string(error) + ")");
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
        return Failure(wanted ? "filtering could not be switched on: it stays off (see the lines above)"
                              : "filtering could not be switched off: it stays on (see the lines above)");
    }
    printf("filtering: %s\n", state_text(on));
    return 0;
}

// A command: how many arguments it takes and whether it changes something behind the password.
struct Command {
    const char* name;
    int arguments;
    const char* argumentNames;
    bool needsPassword;
};

const Command kCommands[] = {
    {"status", 0, "", false},       {"log", 0, "", false},          {"passwd", 0, "", true},
    {"enable", 0, "", true},        {"disable", 0, "", true},       {"list", 1, "LIST", false},
    {"add", 2, "LIST and TEXT", true}, {"remove", 2, "LIST and TEXT", true},
    {"log show", 0, "", false},     {"log erase", 0, "", true},     {"update", 0, "", true},
};

// The command named name; a command of two words ("log erase") is named by both.
const Command* find_command(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

int run(const Command& command, const std::vector<std::string>& arguments, bool passwordStdin, bool yes) {
    const std::string name = command.name;
    if (name == "status") return show_status();
    if (name == "log" || name == "log show") return LogShowCommand();
    if (name == "log erase" && !yes) return usage_error("log erase needs --yes (it erases the whole access log)");
    if (name == "list") return ListCommand(ListKindNamed(arguments[0]));
    if (name == "passwd") return SetPasswordCommand(passwordStdin);
    if (int refusal = CheckPasswordCommand(passwordStdin)) return refusal;
    if (name == "add") return AddCommand(ListKindNamed(arguments[0]), arguments[1]);
    if (name == "remove") return RemoveCommand(ListKindNamed(arguments[0]), arguments[1]);
    if (name == "log erase") return LogEraseCommand();
    if (name == "update") return UpdateCommand();
    return switch_to(name == "enable");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h") || !strcmp(argv[1], "help"))) {
        printf("%s%s", kUsage, kHelp);
        return 0;
    }
    if (argc < 2) return usage_error("a command is needed");
    const Command* command = find_command(argv[1]);
    int first = 2;
    if (argc > 2) {
        if (const Command* twoWords = find_command(std::string(argv[1]) + " " + argv[2])) {
            command = twoWords;
            first = 3;
        }
    }
    if (!command) return usage_error("unknown command '" + std::string(argv[1]) + "'");

    std::string root;
    bool rootGiven = false;
    bool passwordStdin = false;
    bool yes = false;
    bool optionsEnded = false;
    std::vector<std::string> arguments;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.rfind("--", 0) != 0) {
            if (static_cast<int>(arguments.size()) == command->arguments)
                return usage_error("unexpected argument '" + arg + "'");
            arguments.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--password-stdin") {
            if (!command->needsPassword)
                return usage_error("--password-stdin is for passwd, enable, disable, add, remove, update and log erase");
            passwordStdin = true;
            continue;
        }
        if (arg == "--yes") {
            if (strcmp(command->name, "log erase")) return usage_error("--yes is for log erase");
            yes = true;
            continue;
        }
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
    if (static_cast<int>(arguments.size()) < command->arguments)
        return usage_error(std::string(command->name) + " needs " + command->argumentNames);
    if (command->arguments > 0 && !ListKindNamed(arguments[0]))
        return usage_error("unknown list '" + arguments[0] + "' (disallow, allow or search)");
    std::string error;
    if (!SelectMachineRoot(rootGiven, root, error)) return Failure(error);
    return run(*command, arguments, passwordStdin, yes);
}
