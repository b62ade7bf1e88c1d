#include "configurator_app.h"

#include "configurator_dlg.h"
#include "configurator_proxy.h"
#include "login_dlg.h"
#include "new_password_dlg.h"
#include "password_store.h"
#include "resource.h"

#include <vtlogger.h>

const char kConfiguratorInstanceMutex[] = "{3E914591-41CC-4727-A64F-CD3FB9469636}";

CConfiguratorApp::CConfiguratorApp() {
    m_hInstanceMutex = CreateMutexA(nullptr, FALSE, kConfiguratorInstanceMutex);
    m_instanceMutexError = GetLastError();
}

CConfiguratorApp::~CConfiguratorApp() {
    if (m_hInstanceMutex) CloseHandle(m_hInstanceMutex);
}

// FALSE in every case ends the program without a message loop: the main window is modal.
BOOL CConfiguratorApp::InitInstance() {
    // A second Control Center never shows a window.
    if (m_instanceMutexError == ERROR_ALREADY_EXISTS) return FALSE;

    if (!DlgOleInit()) {
        DlgMessageBox(nullptr, DlgLoadString(IDP_OLE_INIT_FAILED).c_str(), "Configurator", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    Enable3dControls();

    const DlgAutomationClass automation = {kConfiguratorProgId, kConfiguratorClassId, kConfiguratorProgId};
    if (RunEmbedded() || RunAutomated())
        DlgRegisterRunningObjects(automation);
    else
        DlgUpdateRegistry(automation);
    // An automation start goes on to the same login.

    if (!PasswordFileOpens()) {
        CNewPasswordDlg first;
        if (first.DoModal() == IDCANCEL) return FALSE;
    }

    VTLogger_Init();
    CLoginDlg login;
    login.DoModal();
    if (login.m_success != 1) return FALSE;

    CConfiguratorDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    VTLogger_Free();
    return FALSE;
}
