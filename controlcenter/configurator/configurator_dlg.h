// CConfiguratorDlg: the Control Center's main window (template 102): the on/off switch, the way
// to the Advanced settings window, Done and help.
#pragma once

#include <dlg_dialog.h>

class CConfiguratorDlgAutoProxy;

class CConfiguratorDlg : public CDialog {
public:
    explicit CConfiguratorDlg(CDialog* parent = nullptr);
    ~CConfiguratorDlg() override;

    // The automation object attached to this window, or NULL.
    CConfiguratorDlgAutoProxy* m_pAutoProxy = nullptr;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnDestroy() override;
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnToggleFiltering();
    void OnAdvancedSettings();
    void OnHelp();
    BOOL OnHelpInfo(HELPINFO* info);
    void OnContextMenu(HWND window, POINT point);
    DECLARE_MESSAGE_MAP()

private:
    void RefreshToggleLabel();
    void ToggleFiltering();
    // Whether the window may close: with an automation client attached it hides instead.
    bool CanExit();

    HICON m_hIcon;
};
