#include "password_message.h"

#include "secure_wipe.h"

#include <dlg_dialog.h>

void ShowPasswordMessage(CDialog& dialog, const PasswordMessage& message) {
    if (message.shown()) dialog.MessageBox(message.text.c_str(), message.caption, MB_OK);
}

PasswordText::PasswordText(const CDialog& dialog, int id) {
    static_assert(sizeof(text_) > kPasswordMaxLength, "a password field's text and its terminator fit");
    dialog.GetDlgItemText(id, text_, sizeof(text_));
}

PasswordText::~PasswordText() { SecureWipe(text_, sizeof(text_)); }
