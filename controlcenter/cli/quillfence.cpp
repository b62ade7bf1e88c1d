// quillfence: the admin command line. Shows whether filtering is on and what the Winsock catalog
// holds, sets the Control Center password, switches filtering on and off with the Control
// Center's own switch, shows and changes the user lists with the list dialogs' rules (changes
// behind the password), and prints the access log.
#include "catalog_listing.h"
#include "cli_output.h"
#include "list_commands.h"
#include "log_commands.h"
#include "password_commands.h"
#include "settings_commands.h"
#include "settings_reading.h"
#include "times_commands.h"
#include "update_commands.h"
#include <machine_root_option.h>

#include <filter_switch.h>
#include <log_report.h>
#include <protocol_catalog.h>
#include "filtering_state.h"

#include <vtlogger.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kOptionsHelp[] =
    "options:\n"
    "  --root DIR        the machine root (default: $QUILLFENCE_ROOT, else $XDG_DATA_HOME/quillfence)\n"
    "  --password-stdin  read the Control Center password (passwd: every password it asks for) as\n"
    "                    lines of standard input instead of asking on the terminal without echo\n";

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

const char kLogHelp[] =
    "  log [show]            the access log, oldest first: time, kind, port, text, program\n"
    "  log erase --yes       erase every entry of the access log, as Erase Log answered Yes (--yes is\n"
    "                        that answer: nothing is asked); needs the password\n"
    "  log report [--days N] [--html FILE]\n"
    "                        what was blocked and denied per day and per site over the last N days (7\n"
    "                        unless told), or as one self-contained HTML page written to FILE\n";

// quillfence log report [--days N] [--html FILE].
int log_report(const std::vector<std::string>& arguments) {
    int days = 7;
    std::string html;
    bool daysGiven = false, htmlGiven = false;
    for (size_t at = 1; at < arguments.size(); at += 2) {
        const std::string& option = arguments[at];
        if (option != "--days" && option != "--html") return UsageError("unexpected argument '" + option + "'");
        if (at + 1 >= arguments.size()) return UsageError(option + " needs a value");
        bool& given = option == "--days" ? daysGiven : htmlGiven;
        if (given) return UsageError(option + " is given twice");
        given = true;
        if (option == "--days" && !ParseNumber(arguments[at + 1], 1, kLogReportMaxDays, &days))
            return UsageError("--days needs a number of days from 1 to " + std::to_string(kLogReportMaxDays));
        if (option == "--html") html = arguments[at + 1];
        if (htmlGiven && html.empty()) return UsageError("--html needs a file");
    }
    return LogReportCommand(days, htmlGiven ? &html : nullptr);
}

// quillfence log [show] | log erase --yes | log report ...
int log_command(const std::vector<std::string>& arguments, bool passwordStdin) {
    const std::string action = arguments.empty() ? "show" : arguments[0];
    if (action == "show") {
        if (arguments.size() > 1) return UsageError("unexpected argument '" + arguments[1] + "'");
        return LogShowCommand();
    }
    if (action == "report") return log_report(arguments);
    if (action != "erase") return UsageError("unknown log action '" + action + "'");
    if (arguments.size() < 2 || arguments[1] != "--yes")
        return UsageError("log erase needs --yes (it erases the whole access log)");
    if (arguments.size() > 2) return UsageError("unexpected argument '" + arguments[2] + "'");
    if (int refusal = CheckPasswordCommand(passwordStdin)) return refusal;
    return LogEraseCommand();
}

// A command: how many arguments it takes (-1: the command reads its own, options included),
// whether it may change something behind the password, and its help.
struct Command {
    const char* name;
    int arguments;
    const char* argumentNames;
    bool needsPassword;
    const char* help;
};

const Command kCommands[] = {
    {"status", 0, "", false, "  status                whether filtering is on, then every Winsock catalog entry: id, name, chain\n"},
    {"passwd", 0, "", true,
     "  passwd                set the Control Center password (the first one, or the current one and then\n"
     "                        the new one twice), judged as the password dialogs judge it\n"},
    {"enable", 0, "", true, "  enable                switch filtering on (nothing to do when it is on); needs the password\n"},
    {"disable", 0, "", true, "  disable               switch filtering off (nothing to do when it is off); needs the password\n"},
    {"log", -1, "", true, kLogHelp},
    {"list", 1, "LIST", false,
     "  list LIST             the entries of LIST: disallow (words, phrases and sites to block), allow\n"
     "                        (sites let through unchanged) or search (search engine sites, let through\n"
     "                        cleaned)\n"},
    {"add", 2, "LIST and TEXT", true,
     "  add LIST TEXT         add TEXT to LIST as the Control Center's Insert dialog does (the same forms\n"
     "                        and messages: a word, a site, a phrase in quotes, *word or word*); needs\n"
     "                        the password\n"},
    {"remove", 2, "LIST and TEXT", true, "  remove LIST TEXT      remove TEXT from LIST; needs the password\n"},
    {"topics", -1, "", true, kTopicsHelp},
    {"protocols", -1, "", true, kProtocolsHelp},
    {"rsaci", -1, "", true, kRsaciHelp},
    {"safesurf", -1, "", true, kSafeSurfHelp},
    {"times", -1, "", true, kTimesHelp},
    {"update", 0, "", true,
     "  update                download the filter update from the update server (the registry value\n"
     "                        UpdateServer, HOST[:PORT]) and install it as Update Filter does; needs the\n"
     "                        password\n"},
};

void print_help(const Command* only) {
    printf("usage: quillfence COMMAND [ARGS...] [--root DIR] [--password-stdin]\n\n%s", only ? "" : "commands:\n");
    for (const Command& c : kCommands)
        if (!only || only == &c) printf("%s", c.help);
    printf("\n%s", kOptionsHelp);
}

int run(const Command& command, const std::vector<std::string>& arguments, bool passwordStdin) {
    const std::string name = command.name;
    if (name == "status") return show_status();
    if (name == "log") return log_command(arguments, passwordStdin);
    if (name == "list") return ListCommand(ListKindNamed(arguments[0]));
    if (name == "passwd") return SetPasswordCommand(passwordStdin);
    if (name == "topics") return TopicsCommand(arguments, passwordStdin);
    if (name == "protocols") return ProtocolsCommand(arguments, passwordStdin);
    if (name == "rsaci") return RsaciCommand(arguments, passwordStdin);
    if (name == "safesurf") return SafeSurfCommand(arguments, passwordStdin);
    if (name == "times") return TimesCommand(arguments, passwordStdin);
    if (int refusal = CheckPasswordCommand(passwordStdin)) return refusal;
    if (name == "add") return AddCommand(ListKindNamed(arguments[0]), arguments[1]);
    if (name == "remove") return RemoveCommand(ListKindNamed(arguments[0]), arguments[1]);
    if (name == "update") return UpdateCommand();
    return switch_to(name == "enable");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h") || !strcmp(argv[1], "help"))) {
        print_help(nullptr);
        return 0;
    }
    if (argc < 2) return UsageError("a command is needed");
    const Command* command = nullptr;
    for (const Command& c : kCommands)
        if (!strcmp(argv[1], c.name)) command = &c;
    if (!command) return UsageError("unknown command '" + std::string(argv[1]) + "'");
    for (int i = 2; i < argc && strcmp(argv[i], "--"); ++i) {
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            print_help(command);
            return 0;
        }
    }

    std::string root;
    bool rootGiven = false;
    bool passwordStdin = false;
    bool optionsEnded = false;
    std::vector<std::string> arguments;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool ownOption = arg == "--root" || arg.rfind("--root=", 0) == 0 || arg == "--password-stdin" || arg == "--";
        if (optionsEnded || arg.rfind("--", 0) != 0 || (command->arguments < 0 && !ownOption)) {
            if (static_cast<int>(arguments.size()) == command->arguments)
                return UsageError("unexpected argument '" + arg + "'");
            arguments.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--password-stdin") {
            if (!command->needsPassword)
                return UsageError("--password-stdin is for the commands that change something");
            passwordStdin = true;
            continue;
        }
        if (arg == "--root" && i + 1 < argc) {
            root = argv[++i];
        } else if (arg.rfind("--root=", 0) == 0) {
            root = arg.substr(7);
        } else if (arg == "--root") {
            return UsageError("--root needs a directory");
        } else {
            return UsageError("unexpected argument '" + arg + "'");
        }
        if (rootGiven) return UsageError("--root is given twice");
        if (root.empty()) return UsageError("--root needs a directory");
        rootGiven = true;
    }
    if (command->arguments >= 0 && static_cast<int>(arguments.size()) < command->arguments)
        return UsageError(std::string(command->name) + " needs " + command->argumentNames);
    if (command->arguments > 0 && !ListKindNamed(arguments[0]))
        return UsageError("unknown list '" + arguments[0] + "' (disallow, allow or search)");
    std::string error;
    if (!SelectMachineRoot(rootGiven, root, error)) return Failure(error);
    return run(*command, arguments, passwordStdin);
}
