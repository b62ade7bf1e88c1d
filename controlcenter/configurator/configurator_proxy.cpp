#include "configurator_proxy.h"

#include "configurator_dlg.h"

#include <dlg_app.h>

const char kConfiguratorProgId[] = "Configurator.Application";
const char kConfiguratorClassId[] = "{3C363BC1-51B1-46D8-AF72-1C4FA8181EA4}";
const char kConfiguratorInterfaceId[] = "{CD6C0262-95B6-4A1A-82C8-A33498023F17}";

CConfiguratorDlgAutoProxy::CConfiguratorDlgAutoProxy() {
    CDialogApp* app = AfxGetApp();
    if (app && app->m_pMainWnd) {
        m_pDialog = static_cast<CConfiguratorDlg*>(app->m_pMainWnd);
        m_pDialog->m_pAutoProxy = this;
    }
}

CConfiguratorDlgAutoProxy::~CConfiguratorDlgAutoProxy() {
    if (m_pDialog) m_pDialog->m_pAutoProxy = nullptr;
}

void CConfiguratorDlgAutoProxy::Release() {
    if (--m_references > 0) return;
    CConfiguratorDlg* dialog = m_pDialog;
    delete this;
    // With its last client gone, a main window that only hid closes now.
    if (dialog && !dialog->IsWindowVisible()) dialog->EndDialog(IDOK);
}
