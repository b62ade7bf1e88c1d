// CChangePasswordDlg: the Change login password dialog (template 134), opened from the Advanced
// settings window: current password, new password, new password again.
#pragma once

#include <dlg_dialog.h>

class CChangePasswordDlg : public CDialog {
public:
    explicit CChangePasswordDlg(CDialog* parent = nullptr);

protected:
    void OnOK() override;
    void OnKillfocusCurrent();
    void OnSetfocusNew();
    void OnKillfocusNew();
    void OnSetfocusAgain();
    void OnKillfocusAgain();
    DECLARE_MESSAGE_MAP()
};
