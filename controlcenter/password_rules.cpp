#include "password_rules.h"

#include "password_store.h"

#include <string.h>

namespace {

const char kError[] = "ERROR!";
const char kInputError[] = "DATA INPUT ERROR!";

PasswordMessage nothing() { return PasswordMessage(); }

PasswordMessage message(const char* caption, const char* text) {
    PasswordMessage shown;
    shown.caption = caption;
    shown.text = text;
    return shown;
}

bool empty(const char* text) { return !text || !*text; }
bool same(const char* a, const char* b) { return strcmp(a ? a : "", b ? b : "") == 0; }

}  // namespace

PasswordMessage NewPasswordSecondLeft(const char* first, const char* second) {
    if (!same(first, second)) return message(kError, "First Password not the same as second.");
    return nothing();
}

PasswordMessage NewPasswordDone(const char* first, const char* second, bool* stored) {
    *stored = false;
    if (empty(first) || empty(second)) return message(kError, "Password cannot be empty.");
    if (StorePassword(first) != PWS_WRITTEN) return message(kError, "Password File already Exists.");
    *stored = true;
    return nothing();
}

PasswordMessage LoginOk(const char* typed, bool* matched) {
    *matched = !empty(typed) && VerifyPassword(typed) == PWS_MATCH;
    if (!*matched) return message(kError, "Password Incorrect");
    return nothing();
}

PasswordMessage ChangeCurrentLeft(const char* current, bool* clearCurrent) {
    *clearCurrent = false;
    if (empty(current) || VerifyPassword(current) == PWS_MATCH) return nothing();
    *clearCurrent = true;
    return message(kError, "Current Password is Incorrect.");
}

PasswordMessage ChangeNewLeft(const char* current, const char* newText, bool* clearNew) {
    // A field left empty is reported by Done; it is not "the same as the old password".
    *clearNew = !empty(newText) && same(current, newText);
    if (*clearNew) return message(kError, "New password is same as the old password.");
    return nothing();
}

PasswordMessage ChangeAgainLeft(const char* newText, const char* again) {
    if (!same(newText, again)) return message(kError, "please re-confirm new password");
    return nothing();
}

PasswordMessage ChangeDone(const char* current, const char* newText, const char* again, bool* stored) {
    *stored = false;
    std::string missing;
    if (empty(current)) missing += "Current password is required\n";
    if (empty(newText)) missing += "New password is required\n";
    if (empty(again)) missing += "New confirmed password is required\n";
    if (!missing.empty()) {
        PasswordMessage shown = message(kInputError, "");
        shown.text = missing;
        return shown;
    }
    if (VerifyPassword(current) != PWS_MATCH) return message(kError, "Password Incorrect");
    if (StorePassword(newText) != PWS_WRITTEN) return message(kError, "Cannot change password.");
    *stored = true;
    return nothing();
}
