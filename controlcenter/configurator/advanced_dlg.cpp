#include "advanced_dlg.h"

#include "change_markers.h"
#include "change_password_dlg.h"
#include "context_help.h"
#include "list_rules.h"
#include "list_window_dlg.h"
#include "protocols_dlg.h"
#include "resource.h"
#include "topics_dlg.h"

#include <vttray.h>

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

// The log viewer, the log erase, the rating and time dialogs and the filter update are not built
// yet: their buttons open nothing, and set no change marker.
void CAdvancedDlg::OnViewLog() {}
void CAdvancedDlg::OnEraseLog() {}
void CAdvancedDlg::OnUpdateFilter() {}
void CAdvancedDlg::OnRsaciSettings() {}
void CAdvancedDlg::OnSafeSurfSettings() {}
void CAdvancedDlg::OnAccessTimes() {}

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
