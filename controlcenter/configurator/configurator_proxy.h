// CConfiguratorDlgAutoProxy: the automation object "Configurator.Application" (one dispatch
// interface, no methods, no properties). Made by the class factory for an automation client; it
// attaches itself to the main window and keeps the program alive until the client releases it.
#pragma once

class CConfiguratorDlg;

class CConfiguratorDlgAutoProxy {
public:
    // Attaches to the program's main window, if there is one, and locks the program.
    CConfiguratorDlgAutoProxy();
    ~CConfiguratorDlgAutoProxy();
    CConfiguratorDlgAutoProxy(const CConfiguratorDlgAutoProxy&) = delete;
    CConfiguratorDlgAutoProxy& operator=(const CConfiguratorDlgAutoProxy&) = delete;

    void AddRef() { ++m_references; }
    // Releasing the last reference destroys the object; a main window it kept hidden then closes.
    void Release();

    CConfiguratorDlg* m_pDialog = nullptr;

private:
    int m_references = 1;
};

// Automation identity.
extern const char kConfiguratorProgId[];
extern const char kConfiguratorClassId[];
extern const char kConfiguratorInterfaceId[];
