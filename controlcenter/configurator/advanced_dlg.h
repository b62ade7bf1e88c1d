// CAdvancedDlg: the Advanced settings window (template 143): the buttons to every settings
// dialog, the log and the filter update, and Done with the "changes detected" prompt. Escape and
// the close box close it without the prompt, leaving the change markers set.
#pragma once

#include <dlg_dialog.h>

class CAdvancedDlg : public CDialog {
public:
    explicit CAdvancedDlg(CDialog* parent = nullptr);

protected:
    void OnViewLog();
    void OnEraseLog();
    void OnAllowSites();
    void OnSearchEngines();
    void OnDisallowList();
    void OnProtocols();
    void OnFilterTopics();
    void OnUpdateFilter();
    void OnChangePassword();
    void OnRsaciSettings();
    void OnSafeSurfSettings();
    void OnAccessTimes();
    void OnDone();
    BOOL OnHelpInfo(HELPINFO* info);
    void OnContextMenu(HWND window, POINT point);
    DECLARE_MESSAGE_MAP()
};
