// CNewPasswordDlg: the New password dialog (template 132), run at start-up when there is no
// password file. m_success is 1 after a Done that stored the password.
#pragma once

#include <dlg_dialog.h>

class CNewPasswordDlg : public CDialog {
public:
    explicit CNewPasswordDlg(CDialog* parent = nullptr);
    int m_success = 0;

protected:
    void OnOK() override;
    void OnSetfocusPassword();
    void OnKillfocusPassword();
    void OnKillfocusPasswordSecond();
    DECLARE_MESSAGE_MAP()
};
