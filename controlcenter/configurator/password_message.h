// How the password dialogs show what their rules answer: a message box with the rule's caption,
// an OK button and no icon, owned by the dialog; nothing when there is nothing to say.
#pragma once

#include "password_rules.h"

#include <string>

class CDialog;

void ShowPasswordMessage(CDialog& dialog, const PasswordMessage& message);

// A password field's text, read into a zeroed buffer of 32 bytes and wiped when it goes.
class PasswordText {
public:
    PasswordText(const CDialog& dialog, int id);
    ~PasswordText();
    PasswordText(const PasswordText&) = delete;
    PasswordText& operator=(const PasswordText&) = delete;
    const char* c_str() const { return text_; }

private:
    char text_[32] = {};
};
