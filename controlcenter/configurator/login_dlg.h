// CLoginDlg: the Login dialog (template 133), run at every start-up. m_success is 1 after an OK
// with the right password, 0 after a wrong one or Cancel.
#pragma once

#include <dlg_dialog.h>

class CLoginDlg : public CDialog {
public:
    explicit CLoginDlg(CDialog* parent = nullptr);
    int m_success = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
};
