// CRsaciDlg: the RSACi dialog (template 160): the highest RSACi level allowed per category, one
// slider each with the meaning of its level beside it, the switch for filtering on RSACi ratings
// and the factory reset. Done stores the record; the changed flag tells the Advanced settings
// window that something was stored.
#pragma once

#include <dlg_dialog.h>
#include <vtrsac.h>

#include <memory>

class CRsaciDlg : public CDialog {
public:
    explicit CRsaciDlg(CDialog* parent = nullptr);
    ~CRsaciDlg() override;

    int Changed() const { return m_changed; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnEnable();
    void OnRestore();
    void OnHScroll(UINT code, UINT position, int controlId);
    BOOL OnHelpInfo(HELPINFO* info);
    void OnContextMenu(HWND window, POINT point);
    DECLARE_MESSAGE_MAP()

private:
    void LoadSettings();
    void EnableLevels(BOOL enable);

    // Null when the store could be neither read nor restored: nothing is shown or stored then.
    std::unique_ptr<RsacSettings> m_settings;
    int m_changed = 0;
};
