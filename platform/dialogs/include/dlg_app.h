// The program object of a dialog-based program (the framework's application class): start-up in
// InitInstance, the command line, the resources, the help file, the main window, the cursor and
// the framework's OLE automation support.
#pragma once

#include "dlg_template.h"

#include <windows.h>

#include <string>
#include <vector>

class CDialog;

class CDialogApp {
public:
    CDialogApp();
    virtual ~CDialogApp();
    CDialogApp(const CDialogApp&) = delete;
    CDialogApp& operator=(const CDialogApp&) = delete;

    // The program's start-up; FALSE ends the program without a message loop.
    virtual BOOL InitInstance() = 0;
    // The program's end; its result is the exit code.
    virtual int ExitInstance();

    // Runs the program: InitInstance, then ExitInstance. The arguments are the command line
    // after the program's name.
    int Run(const std::vector<std::string>& arguments);

    const std::vector<std::string>& Arguments() const { return arguments_; }
    // Started by OLE for embedding ("/Embedding", "-Embedding") or automation ("/Automation",
    // "-Automation"), without regard to case.
    BOOL RunEmbedded() const;
    BOOL RunAutomated() const;

    // The help file: the program's name with ".hlp", in the program's directory.
    const std::string& HelpFilePath() const { return helpFile_; }
    void SetHelpFilePath(const std::string& path) { helpFile_ = path; }

    CDialog* m_pMainWnd = nullptr;

    HICON LoadIcon(UINT resource) const;
    // Turns on three-dimensional dialog controls (nothing to do where every control is).
    BOOL Enable3dControls();

private:
    std::vector<std::string> arguments_;
    std::string helpFile_;
};

// The running program object, NULL outside CDialogApp::Run.
CDialogApp* AfxGetApp();

// The program's resources: set once, before any dialog opens.
void DlgSetResources(const DlgResources* resources);
const DlgTemplate* DlgFindTemplate(UINT id);
// The text of a string resource, empty when there is none.
std::string DlgLoadString(UINT id);

// A message box owned by owner (NULL: by no window).
int DlgMessageBox(CDialog* owner, const char* text, const char* caption, UINT type);

// WinHelp of the platform: opens file at data as command says (HELP_WM_HELP and HELP_CONTEXTMENU
// take an array of control identifier and help context pairs ending in 0, 0). window is the
// window the help is for: a dialog's or a control's.
BOOL DlgWinHelp(HWND window, const char* file, UINT command, DWORD_PTR data);

// Cursors: the standard cursor named (IDC_ARROW, IDC_WAIT), and the current cursor replaced;
// the previous one is returned so that it can be put back.
HCURSOR DlgLoadCursor(LPCSTR standardCursor);
HCURSOR DlgSetCursor(HCURSOR cursor);

// OLE and automation support of the framework.
struct DlgAutomationClass {
    const char* progId;  // "Configurator.Application"
    const char* classId; // "{...}"
    const char* description;
};
// Initialises the OLE libraries; FALSE when they cannot be.
BOOL DlgOleInit();
// Registers the program's class factories as running objects (an embedding or automation start).
void DlgRegisterRunningObjects(const DlgAutomationClass& automationClass);
// Writes the class's registration (ProgID, class identifier, server path) into the classes
// root of the registry. FALSE when it cannot be written.
BOOL DlgUpdateRegistry(const DlgAutomationClass& automationClass);
// The registry key and root where DlgUpdateRegistry writes (see its source for why).
extern const char kDlgClassesKey[];
