// CAdvancedDlg: the Advanced settings window (template 143): the buttons to every settings
// dialog, the log and the filter update, and Done with the "changes detected" prompt. Escape and
// the close box close it without the prompt, leaving the change markers set.
#pragma once

#include <advanced_window.h>
#include <dlg_dialog.h>
#include <filter_update.h>

class CAdvancedDlg : public CDialog, public AdvancedWindow {
public:
    explicit CAdvancedDlg(CDialog* parent = nullptr);

    // What the filter update and the log buttons ask of this window.
    LRESULT SendProgressMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void EnableButton(int id, BOOL enable) override;
    void Refresh() override;
    int ShowMessageBox(const char* text, const char* caption, UINT type) override;
    void ShowWaitCursor() override;
    void RestoreCursor() override;
    void SetFilterUpdateMarker() override;

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

private:
    FilterUpdate update_{*this};
    int progressLow_ = 0;
    int progressHigh_ = 100;
    HCURSOR previousCursor_ = nullptr;
};
