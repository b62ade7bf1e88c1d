#include "configurator_dlg.h"

#include "about_dlg.h"
#include "advanced_dlg.h"
#include "configurator_proxy.h"
#include "context_help.h"
#include "filter_switch.h"
#include "filtering_state.h"
#include "provider_installer.h"
#include "resource.h"
#include "system_check.h"

#include <dlg_app.h>

#include <vtlogger.h>
#include <vttray.h>

namespace {

const DWORD kHelpIds[] = {
    IDC_TOGGLE_FILTERING, DlgHelpContext(IDD_CONFIGURATOR_DIALOG, IDC_TOGGLE_FILTERING),
    IDC_ADVANCED_SETTINGS, DlgHelpContext(IDD_CONFIGURATOR_DIALOG, IDC_ADVANCED_SETTINGS),
    0, 0,
};

}  // namespace

BEGIN_MESSAGE_MAP(CConfiguratorDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_DESTROY()
    ON_WM_CLOSE()
    ON_BN_CLICKED(IDC_TOGGLE_FILTERING, OnToggleFiltering)
    ON_BN_CLICKED(IDC_ADVANCED_SETTINGS, OnAdvancedSettings)
    ON_BN_CLICKED(ID_HELP, OnHelp)
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CConfiguratorDlg::CConfiguratorDlg(CDialog* parent) : CDialog(IDD_CONFIGURATOR_DIALOG, parent) {
    m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : nullptr;
}

// An automation object that outlives the window must not point at it.
CConfiguratorDlg::~CConfiguratorDlg() {
    if (m_pAutoProxy) m_pAutoProxy->m_pDialog = nullptr;
}

BOOL CConfiguratorDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const std::string about = DlgLoadString(IDS_ABOUTBOX);
    if (!about.empty()) {
        AppendSystemMenu(MF_SEPARATOR, 0, nullptr);
        AppendSystemMenu(MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    RefreshToggleLabel();
    return TRUE;
}

void CConfiguratorDlg::OnSysCommand(UINT id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
        return;
    }
    CDialog::OnSysCommand(id, lParam);
}

void CConfiguratorDlg::OnDestroy() {
    WinHelp(0L, HELP_QUIT);
    CDialog::OnDestroy();
}

void CConfiguratorDlg::RefreshToggleLabel() {
    SetDlgItemText(IDC_TOGGLE_FILTERING, IsFilteringOn() ? "Disable Quillfence" : "Enable Quillfence");
}

void CConfiguratorDlg::OnToggleFiltering() { ToggleFiltering(); }

void CConfiguratorDlg::ToggleFiltering() {
    if (!SystemCheck()) {
        MessageBox("System not correctly prepared.\nPlease refer to installation pre-requisites for your system:\n"
                   "\tFor Windows'95\tRequire Winsock2\n\tFor Windows'98\tRequire Winsock2\n"
                   "\tFor WindowsNT\tRequire Version 4 or greater and Service Pack 4 or greater",
                   "Quillfence System Check", MB_OK | MB_ICONSTOP);
        return;
    }
    EnableDlgItem(IDOK, FALSE);
    UpdateWindow();
    EnableDlgItem(IDC_TOGGLE_FILTERING, FALSE);
    UpdateWindow();

    HCURSOR previous = DlgSetCursor(DlgLoadCursor(IDC_WAIT));
    ProviderInstaller installer;
    installer.Toggle();
    DlgSetCursor(previous);

    EnableDlgItem(IDC_TOGGLE_FILTERING, TRUE);
    EnableDlgItem(IDOK, TRUE);

    // The outcome is read from the provider key alone: the installer reports no result.
    const bool on = IsFilteringOn();
    RefreshToggleLabel();
    VTLogger_Init();
    if (on)
        MessageBox("Quillfence has been enabled.", "Quillfence Toggle - Success", MB_OK | MB_ICONINFORMATION);
    else
        MessageBox("Quillfence has been deactivated.\nContent received from or sent on the Internet will not be "
                   "controlled while deactivated.",
                   "Quillfence Toggle - WARNING !!!", MB_OK | MB_ICONEXCLAMATION);
    LogFilteringSwitched(on);
    VTTrayLoad();
}

void CConfiguratorDlg::OnAdvancedSettings() {
    CAdvancedDlg advanced(this);
    advanced.DoModal();
}

void CConfiguratorDlg::OnHelp() { WinHelp(DlgWindowHelpContext(IDD_CONFIGURATOR_DIALOG), HELP_CONTEXT); }

BOOL CConfiguratorDlg::OnHelpInfo(HELPINFO* info) { return ShowControlHelp(info, kHelpIds); }

void CConfiguratorDlg::OnContextMenu(HWND window, POINT) { ShowContextMenuHelp(*this, window, kHelpIds); }

bool CConfiguratorDlg::CanExit() {
    if (m_pAutoProxy) {
        ShowWindow(SW_HIDE);
        return false;
    }
    return true;
}

void CConfiguratorDlg::OnClose() {
    if (CanExit()) CDialog::OnClose();
}

void CConfiguratorDlg::OnOK() {
    if (CanExit()) CDialog::OnOK();
}

void CConfiguratorDlg::OnCancel() {
    if (CanExit()) CDialog::OnCancel();
}
