// CConfiguratorApp: the Control Center program: one instance per machine, the automation
// registration, the first password, the login, then the main window.
#pragma once

#include <dlg_app.h>

#include <windows.h>

class CConfiguratorApp : public CDialogApp {
public:
    // Creates the instance mutex and keeps the error code of its creation, before anything else.
    CConfiguratorApp();
    ~CConfiguratorApp() override;

    BOOL InitInstance() override;

private:
    HANDLE m_hInstanceMutex;
    DWORD m_instanceMutexError;
};

// The name of the instance mutex.
extern const char kConfiguratorInstanceMutex[];
