#include "login_dlg.h"

#include "password_message.h"
#include "resource.h"

CLoginDlg::CLoginDlg(CDialog* parent) : CDialog(IDD_LOGIN, parent) {}

BOOL CLoginDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_PASSWORD, "");
    return TRUE;
}

// A wrong password leaves the dialog open with the text as typed; there is no limit on attempts.
void CLoginDlg::OnOK() {
    PasswordText typed(*this, IDC_PASSWORD);
    bool matched = false;
    const PasswordMessage message = LoginOk(typed.c_str(), &matched);
    m_success = matched ? 1 : 0;
    if (matched) {
        CDialog::OnOK();
        return;
    }
    ShowPasswordMessage(*this, message);
}

void CLoginDlg::OnCancel() {
    m_success = 0;
    CDialog::OnCancel();
}
