// Each answer is judged as the password dialogs judge the field it stands for, as soon as it is
// given: the command line has no second copy of any rule.
#include "password_commands.h"

#include "cli_output.h"
#include "password_prompt.h"

#include <password_rules.h>
#include <password_store.h>
#include <secure_wipe.h>

#include <stdio.h>

#include <string>

namespace {

// The passwords typed in one command, wiped when the command ends.
struct TypedPasswords {
    std::string texts[3];
    ~TypedPasswords() {
        for (std::string& text : texts)
            if (!text.empty()) SecureWipe(&text[0], text.size());
    }
};

int set_first_password(bool fromStdin) {
    TypedPasswords typed;
    std::string& first = typed.texts[0];
    std::string& second = typed.texts[1];
    std::string error;
    if (!ReadPassword(fromStdin, "New password: ", first, error)) return Failure(error);
    if (!ReadPassword(fromStdin, "New password again: ", second, error)) return Failure(error);
    PasswordMessage message = NewPasswordSecondLeft(first.c_str(), second.c_str());
    if (message.shown()) return DialogRefusal(message.text);
    bool stored = false;
    message = NewPasswordDone(first.c_str(), second.c_str(), &stored);
    if (!stored) return DialogRefusal(message.text);
    printf("the Control Center password is set\n");
    return 0;
}

int change_password(bool fromStdin) {
    TypedPasswords typed;
    std::string& current = typed.texts[0];
    std::string& fresh = typed.texts[1];
    std::string& again = typed.texts[2];
    std::string error;
    bool clear = false;
    if (!ReadPassword(fromStdin, "Current password: ", current, error)) return Failure(error);
    PasswordMessage message = ChangeCurrentLeft(current.c_str(), &clear);
    if (message.shown()) return DialogRefusal(message.text);
    if (!ReadPassword(fromStdin, "New password: ", fresh, error)) return Failure(error);
    message = ChangeNewLeft(current.c_str(), fresh.c_str(), &clear);
    if (message.shown()) return DialogRefusal(message.text);
    if (!ReadPassword(fromStdin, "New password again: ", again, error)) return Failure(error);
    message = ChangeAgainLeft(fresh.c_str(), again.c_str());
    if (message.shown()) return DialogRefusal(message.text);
    bool stored = false;
    message = ChangeDone(current.c_str(), fresh.c_str(), again.c_str(), &stored);
    if (!stored) return DialogRefusal(message.text);
    printf("the Control Center password is changed\n");
    return 0;
}

}  // namespace

int SetPasswordCommand(bool fromStdin) {
    return PasswordFileOpens() ? change_password(fromStdin) : set_first_password(fromStdin);
}

int CheckPasswordCommand(bool fromStdin) {
    if (!PasswordFileOpens()) return Failure("no Control Center password is set yet: set one with quillfence passwd");
    TypedPasswords typed;
    std::string error;
    if (!ReadPassword(fromStdin, "Control Center password: ", typed.texts[0], error)) return Failure(error);
    bool matched = false;
    const PasswordMessage message = LoginOk(typed.texts[0].c_str(), &matched);
    return matched ? 0 : DialogRefusal(message.text);
}
