#include "advanced_dlg.h"

#include "change_markers.h"
#include "change_password_dlg.h"
#include "context_help.h"
#include "list_rules.h"
#include "list_window_dlg.h"
#include "protocols_dlg.h"
#include "resource.h"
#include "topics_dlg.h"
#include "rsaci_dlg.h"
#include "safesurf_dlg.h"
#include "time_manager_dlg.h"

#include <dlg_app.h>
#include <log_buttons.h>
#include <vttray.h>

#include <commctrl.h>

namespace {

#define HELP_PAIR(id) id, DlgHelpContext(IDD_ADVANCED_SETTINGS, id)
const DWORD kHelpIds[] = {
    HELP_PAIR(IDC_DISALLOW_LIST), HELP_PAIR(IDC_CHANGE_PASSWORD), HELP_PAIR(IDC_ALLOW_SITES),
    HELP_PAIR(IDC_SEARCH_ENGINES), HELP_PAIR(IDC_FILTER_TOPICS), HELP_PAIR(IDC_VIEW_LOG),
    HELP_PAIR(IDC_UPDATE_FILTER), HELP_PAIR(IDC_ERASE_LOG), HELP_PAIR(IDC_RSACI_SETTINGS),
    HELP_PAIR(IDC_PROTOCOLS), HELP_PAIR(IDC_SAFESURF_SETTINGS), HELP_PAIR(IDC_ACCESS_TIMES),
    0, 0,
};
#undef HELP_PAIR

// A settings dialog run modally over the Advanced settings window; its change marker is set when
// the dialog reports itself changed.
template <typename Dialog>
void run_settings_dialog(Dialog& dialog, ChangeArea area) {
    dialog.DoModal();
    if (dialog.m_changed == 1) SetChangeMarker(area);
}

}  // namespace

BEGIN_MESSAGE_MAP(CAdvancedDlg, CDialog)
    ON_BN_CLICKED(IDC_VIEW_LOG, OnViewLog)
    ON_BN_CLICKED(IDC_ERASE_LOG, OnEraseLog)
    ON_BN_CLICKED(IDC_ALLOW_SITES, OnAllowSites)
    ON_BN_CLICKED(IDC_SEARCH_ENGINES, OnSearchEngines)
    ON_BN_CLICKED(IDC_DISALLOW_LIST, OnDisallowList)
    ON_BN_CLICKED(IDC_PROTOCOLS, OnProtocols)
    ON_BN_CLICKED(IDC_FILTER_TOPICS, OnFilterTopics)
    ON_BN_CLICKED(IDC_UPDATE_FILTER, OnUpdateFilter)
    ON_BN_CLICKED(IDC_CHANGE_PASSWORD, OnChangePassword)
    ON_BN_CLICKED(IDC_RSACI_SETTINGS, OnRsaciSettings)
    ON_BN_CLICKED(IDC_SAFESURF_SETTINGS, OnSafeSurfSettings)
    ON_BN_CLICKED(IDC_ACCESS_TIMES, OnAccessTimes)
    ON_BN_CLICKED(IDC_ADVANCED_DONE, OnDone)
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CAdvancedDlg::CAdvancedDlg(CDialog* parent) : CDialog(IDD_ADVANCED_SETTINGS, parent) {}

void CAdvancedDlg::OnViewLog() { ViewLog(*this); }
void CAdvancedDlg::OnEraseLog() { EraseLog(*this); }
void CAdvancedDlg::OnUpdateFilter() { update_.UpdateFilter(); }

// The progress bar's messages, as the common control answers them: a range answers the range
// before (low and high in 16 bits each), a position the position before.
LRESULT CAdvancedDlg::SendProgressMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT previousRange = MAKELRESULT(progressLow_ & 0xFFFF, progressHigh_ & 0xFFFF);
    const int position = GetPos(IDC_UPDATE_PROGRESS);
    switch (message) {
    case PBM_SETRANGE:
        progressLow_ = LOWORD(lParam);
        progressHigh_ = HIWORD(lParam);
        SetRange(IDC_UPDATE_PROGRESS, progressLow_, progressHigh_);
        return previousRange;
    case PBM_SETRANGE32:
        progressLow_ = static_cast<int>(wParam);
        progressHigh_ = static_cast<int>(lParam);
        SetRange(IDC_UPDATE_PROGRESS, progressLow_, progressHigh_);
        return previousRange;
    case PBM_SETPOS:
        SetPos(IDC_UPDATE_PROGRESS, static_cast<int>(wParam));
        return position;
    case PBM_DELTAPOS:
        SetPos(IDC_UPDATE_PROGRESS, position + static_cast<int>(wParam));
        return position;
    default:
        return 0;
    }
}

void CAdvancedDlg::EnableButton(int id, BOOL enable) { EnableDlgItem(id, enable); }
void CAdvancedDlg::Refresh() { UpdateWindow(); }
int CAdvancedDlg::ShowMessageBox(const char* text, const char* caption, UINT type) {
    return MessageBox(text, caption, type);
}
void CAdvancedDlg::ShowWaitCursor() { previousCursor_ = DlgSetCursor(DlgLoadCursor(IDC_WAIT)); }
void CAdvancedDlg::RestoreCursor() { DlgSetCursor(previousCursor_); }
void CAdvancedDlg::SetFilterUpdateMarker() { SetChangeMarker(ChangeArea::FilterUpdate); }

void CAdvancedDlg::OnRsaciSettings() {
    CRsaciDlg dialog(this);
    dialog.DoModal();
    if (dialog.Changed()) SetChangeMarker(ChangeArea::Rsaci);
}

// The SafeSurf dialog ends with Done only once it has stored its settings.
void CAdvancedDlg::OnSafeSurfSettings() {
    CSafeSurfDlg dialog(this);
    if (dialog.DoModal() == IDOK) SetChangeMarker(ChangeArea::SafeSurf);
}

// The time dialogs store every change at once, so the marker follows the changed flag however
// the window is closed.
void CAdvancedDlg::OnAccessTimes() {
    CTimeManagerDlg dialog(this);
    dialog.DoModal();
    if (dialog.Changed()) SetChangeMarker(ChangeArea::AccessTimes);
}

void CAdvancedDlg::OnAllowSites() {
    CListWindowDlg dialog(AllowUnchangedList, this);
    run_settings_dialog(dialog, ChangeArea::AllowSites);
}

void CAdvancedDlg::OnSearchEngines() {
    CListWindowDlg dialog(SearchEngineList, this);
    run_settings_dialog(dialog, ChangeArea::SearchEngines);
}

void CAdvancedDlg::OnDisallowList() {
    CListWindowDlg dialog(DisallowList, this);
    run_settings_dialog(dialog, ChangeArea::Disallow);
}

void CAdvancedDlg::OnProtocols() {
    CProtocolsDlg dialog(this);
    run_settings_dialog(dialog, ChangeArea::Protocols);
}

void CAdvancedDlg::OnFilterTopics() {
    CTopicsDlg dialog(this);
    run_settings_dialog(dialog, ChangeArea::Topics);
}

// A new password changes no filter setting: no marker.
void CAdvancedDlg::OnChangePassword() {
    CChangePasswordDlg dialog(this);
    dialog.DoModal();
}

void CAdvancedDlg::OnDone() {
    if (AnyChangeMarker()) {
        const int answer = MessageBox(
            "Changes have been detected. Do you want to activate your changes now?\n\nIf you do not activate these "
            "changes now, they will be activated \nthe next time you reboot your computer.",
            "Quillfence Changes Detected", MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES) {
            VTTrayLoad();
            MessageBox("Close and restart currently running Internet applications (browser, e-mail, news, chat etc.) "
                       "for changes to become active.",
                       "Quillfence Changes Activated - Success", MB_OK | MB_ICONINFORMATION);
        }
        ClearChangeMarkers();
    }
    CDialog::OnOK();
}

BOOL CAdvancedDlg::OnHelpInfo(HELPINFO* info) { return ShowControlHelp(info, kHelpIds); }

void CAdvancedDlg::OnContextMenu(HWND window, POINT) { ShowContextMenuHelp(*this, window, kHelpIds); }
