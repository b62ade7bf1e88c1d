// quillfence: the admin command line. Shows whether filtering is on and what the Winsock catalog
// holds, sets the Control Center password, switches filtering on and off with the Control
// Center's own switch (behind that password), and prints the access log.
#include "catalog_listing.h"
#include "password_prompt.h"
#include <machine_root_option.h>

#include <filter_switch.h>
#include <password_rules.h>
#include <password_store.h>
#include <secure_wipe.h>
#include <protocol_catalog.h>
#include "filtering_state.h"

#include <vtlogger.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kUsage[] = "usage: quillfence status|passwd|enable|disable|log [--root DIR] [--password-stdin]\n";
const char kHelp[] =
    "\n"
    "  status    whether filtering is on, then every Winsock catalog entry: id, name, chain\n"
    "  passwd    set the Control Center password (the first one, or current, then new twice)\n"
    "  enable    switch filtering on (nothing to do when it is on); needs the password\n"
    "  disable   switch filtering off (nothing to do when it is off); needs the password\n"
    "  log       the access log, oldest first: time, kind, port, text, program\n"
    "  --root    the machine root (default: $QUILLFENCE_ROOT, else $XDG_DATA_HOME/quillfence)\n"
    "  --password-stdin  read the passwords as lines of standard input instead of asking on the\n"
    "            terminal (passwd: the current one if one is set, then the new one twice)\n";

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

// The passwords typed in one command, wiped when the command ends.
struct TypedPasswords {
    std::string texts[3];
    ~TypedPasswords() {
        for (std::string& text : texts)
            if (!text.empty()) SecureWipe(&text[0], text.size());
    }
};

// A message of the password dialogs, as the command's failure.
int refused(const PasswordMessage& message) {
    std::string text = message.text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.replace(at, 1, "; ");
    return failure(text);
}

// Sets the first password, or changes it: each answer is judged as the password dialogs judge
// the field it stands for, as soon as it is given.
int set_password(bool fromStdin) {
    TypedPasswords typed;
    std::string error;
    if (!PasswordFileOpens()) {
        std::string& first = typed.texts[0];
        std::string& second = typed.texts[1];
        if (!ReadPassword(fromStdin, "New password: ", first, error)) return failure(error);
        if (!ReadPassword(fromStdin, "New password again: ", second, error)) return failure(error);
        PasswordMessage message = NewPasswordSecondLeft(first.c_str(), second.c_str());
        if (message.shown()) return refused(message);
        bool stored = false;
        message = NewPasswordDone(first.c_str(), second.c_str(), &stored);
        if (!stored) return refused(message);
        printf("the Control Center password is set\n");
        return 0;
    }
    std::string& current = typed.texts[0];
    std::string& fresh = typed.texts[1];
    std::string& again = typed.texts[2];
    bool clear = false;
    if (!ReadPassword(fromStdin, "Current password: ", current, error)) return failure(error);
    PasswordMessage message = ChangeCurrentLeft(current.c_str(), &clear);
    if (message.shown()) return refused(message);
    if (!ReadPassword(fromStdin, "New password: ", fresh, error)) return failure(error);
    message = ChangeNewLeft(current.c_str(), fresh.c_str(), &clear);
    if (message.shown()) return refused(message);
    if (!ReadPassword(fromStdin, "New password again: ", again, error)) return failure(error);
    message = ChangeAgainLeft(fresh.c_str(), again.c_str());
    if (message.shown()) return refused(message);
    bool stored = false;
    message = ChangeDone(current.c_str(), fresh.c_str(), again.c_str(), &stored);
    if (!stored) return refused(message);
    printf("the Control Center password is changed\n");
    return 0;
}

// 0 when the Control Center password is given, else the command's failure.
int check_password(bool fromStdin) {
    if (!PasswordFileOpens())
        return failure("no Control Center password is set yet: set one with quillfence passwd");
    TypedPasswords typed;
    std::string error;
    if (!ReadPassword(fromStdin, "Control Center password: ", typed.texts[0], error)) return failure(error);
    bool matched = false;
    const PasswordMessage message = LoginOk(typed.texts[0].c_str(), &matched);
    return matched ? 0 : refused(message);
}

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
    const bool needsPassword = command == "passwd" || command == "enable" || command == "disable";
    if (!needsPassword && command != "status" && command != "log")
        return usage_error("unknown command '" + command + "'");
    std::string root;
    bool rootGiven = false;
    bool passwordStdin = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--password-stdin") {
            if (!needsPassword) return usage_error("--password-stdin is for passwd, enable and disable");
            passwordStdin = true;
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
    std::string error;
    if (!SelectMachineRoot(rootGiven, root, error)) return failure(error);
    if (command == "status") return show_status();
    if (command == "log") return show_log();
    if (command == "passwd") return set_password(passwordStdin);
    if (int refusal = check_password(passwordStdin)) return refusal;
    return switch_to(command == "enable");
}
