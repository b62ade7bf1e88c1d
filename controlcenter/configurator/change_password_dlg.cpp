#include "change_password_dlg.h"

#include "password_message.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CChangePasswordDlg, CDialog)
    ON_EN_KILLFOCUS(IDC_PASSWORD, OnKillfocusCurrent)
    ON_EN_SETFOCUS(IDC_PASSWORD_SECOND, OnSetfocusNew)
    ON_EN_KILLFOCUS(IDC_PASSWORD_SECOND, OnKillfocusNew)
    ON_EN_SETFOCUS(IDC_PASSWORD_AGAIN, OnSetfocusAgain)
    ON_EN_KILLFOCUS(IDC_PASSWORD_AGAIN, OnKillfocusAgain)
END_MESSAGE_MAP()

CChangePasswordDlg::CChangePasswordDlg(CDialog* parent) : CDialog(IDD_CHANGE_PASSWORD, parent) {}

void CChangePasswordDlg::OnKillfocusCurrent() {
    PasswordText current(*this, IDC_PASSWORD);
    bool clear = false;
    ShowPasswordMessage(*this, ChangeCurrentLeft(current.c_str(), &clear));
    if (clear) SetDlgItemText(IDC_PASSWORD, "");
}

// The new password and its confirmation are typed afresh each time their field is entered.
void CChangePasswordDlg::OnSetfocusNew() { SetDlgItemText(IDC_PASSWORD_SECOND, ""); }

void CChangePasswordDlg::OnKillfocusNew() {
    PasswordText current(*this, IDC_PASSWORD);
    PasswordText newText(*this, IDC_PASSWORD_SECOND);
    bool clear = false;
    ShowPasswordMessage(*this, ChangeNewLeft(current.c_str(), newText.c_str(), &clear));
    if (clear) SetDlgItemText(IDC_PASSWORD_SECOND, "");
}

void CChangePasswordDlg::OnSetfocusAgain() { SetDlgItemText(IDC_PASSWORD_AGAIN, ""); }

void CChangePasswordDlg::OnKillfocusAgain() {
    PasswordText newText(*this, IDC_PASSWORD_SECOND);
    PasswordText again(*this, IDC_PASSWORD_AGAIN);
    ShowPasswordMessage(*this, ChangeAgainLeft(newText.c_str(), again.c_str()));
}

void CChangePasswordDlg::OnOK() {
    PasswordText current(*this, IDC_PASSWORD);
    PasswordText newText(*this, IDC_PASSWORD_SECOND);
    PasswordText again(*this, IDC_PASSWORD_AGAIN);
    bool stored = false;
    const PasswordMessage message = ChangeDone(current.c_str(), newText.c_str(), again.c_str(), &stored);
    if (stored) {
        CDialog::OnOK();
        return;
    }
    ShowPasswordMessage(*this, message);
}
