// What the password dialogs decide and say, shared by the dialogs and the admin command line:
// each function is one moment of a dialog (a field left, a button pressed) and answers the
// message to show, if any. The dialogs empty their own fields as they gain focus.
#pragma once

#include <string>

// Every password field takes at most this many characters.
constexpr int kPasswordMaxLength = 28;

// A message box to show (OK button, no icon); nothing to show when text is empty.
struct PasswordMessage {
    const char* caption = "";
    std::string text;
    bool shown() const { return !text.empty(); }
};

// New password dialog: the second field was left with a text other than the first's.
PasswordMessage NewPasswordSecondLeft(const char* first, const char* second);
// New password dialog, Done: stores first when both fields are filled in (*stored = true).
PasswordMessage NewPasswordDone(const char* first, const char* second, bool* stored);

// Login dialog, OK: *matched = true when typed is the password.
PasswordMessage LoginOk(const char* typed, bool* matched);

// Change login password dialog: the current-password field was left (*clearCurrent = true when
// that field is to be emptied).
PasswordMessage ChangeCurrentLeft(const char* current, bool* clearCurrent);
// The new-password field was left (*clearNew = true when that field is to be emptied).
PasswordMessage ChangeNewLeft(const char* current, const char* newText, bool* clearNew);
// The confirmation field was left.
PasswordMessage ChangeAgainLeft(const char* newText, const char* again);
// Done: stores newText when every field is filled in and current is the password
// (*stored = true).
PasswordMessage ChangeDone(const char* current, const char* newText, const char* again, bool* stored);
