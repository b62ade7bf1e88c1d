#include "advanced_dlg.h"

#include "change_markers.h"
#include "change_password_dlg.h"
#include "context_help.h"
#include "resource.h"
#include "rsaci_dlg.h"
#include "safesurf_dlg.h"
#include "time_manager_dlg.h"

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

// The log viewer, the log erase, the list, topic and protocol dialogs and the filter update are
// not built yet: their buttons open nothing, and set no change marker.
void CAdvancedDlg::OnViewLog() {}
void CAdvancedDlg::OnEraseLog() {}
void CAdvancedDlg::OnAllowSites() {}
void CAdvancedDlg::OnSearchEngines() {}
void CAdvancedDlg::OnDisallowList() {}
void CAdvancedDlg::OnProtocols() {}
void CAdvancedDlg::OnFilterTopics() {}
void CAdvancedDlg::OnUpdateFilter() {}

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
