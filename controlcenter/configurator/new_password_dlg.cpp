#include "new_password_dlg.h"

#include "password_message.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CNewPasswordDlg, CDialog)
    ON_EN_SETFOCUS(IDC_PASSWORD, OnSetfocusPassword)
    ON_EN_KILLFOCUS(IDC_PASSWORD, OnKillfocusPassword)
    ON_EN_KILLFOCUS(IDC_PASSWORD_SECOND, OnKillfocusPasswordSecond)
END_MESSAGE_MAP()

CNewPasswordDlg::CNewPasswordDlg(CDialog* parent) : CDialog(IDD_NEW_PASSWORD, parent) {}

// Coming back to the first field starts over: both fields are emptied.
void CNewPasswordDlg::OnSetfocusPassword() {
    SetDlgItemText(IDC_PASSWORD, "");
    SetDlgItemText(IDC_PASSWORD_SECOND, "");
}

// A first field that was changed must be confirmed again.
void CNewPasswordDlg::OnKillfocusPassword() { SetDlgItemText(IDC_PASSWORD_SECOND, ""); }

void CNewPasswordDlg::OnKillfocusPasswordSecond() {
    PasswordText first(*this, IDC_PASSWORD);
    PasswordText second(*this, IDC_PASSWORD_SECOND);
    ShowPasswordMessage(*this, NewPasswordSecondLeft(first.c_str(), second.c_str()));
}

void CNewPasswordDlg::OnOK() {
    PasswordText first(*this, IDC_PASSWORD);
    PasswordText second(*this, IDC_PASSWORD_SECOND);
    bool stored = false;
    const PasswordMessage message = NewPasswordDone(first.c_str(), second.c_str(), &stored);
    if (stored) {
        m_success = 1;
        CDialog::OnOK();
        return;
    }
    ShowPasswordMessage(*this, message);
}
