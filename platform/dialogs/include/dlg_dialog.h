// CDialog: a modal dialog built from a template, with the life cycle of the platform's dialog
// framework (DoModal, OnInitDialog, EndDialog, OnOK/OnCancel) and message maps from control
// notifications to handlers. Controls are reached by their identifiers.
#pragma once

#include "dlg_template.h"

#include <windows.h>

#include <memory>
#include <string>

class CDialog;
struct DlgWindow;

// Handler shapes a message map can name.
typedef void (CDialog::*DlgVoidHandler)();
typedef BOOL (CDialog::*DlgHelpHandler)(HELPINFO* info);
typedef void (CDialog::*DlgContextMenuHandler)(HWND window, POINT point);
typedef void (CDialog::*DlgScrollHandler)(UINT code, UINT position, int controlId);
typedef void (CDialog::*DlgSysCommandHandler)(UINT id, LPARAM lParam);

enum class DlgSignature { End, Void, Help, ContextMenu, Scroll, SysCommand };

struct DlgMessageEntry {
    UINT message;
    UINT code;  // WM_COMMAND: the notification code
    int id;     // WM_COMMAND: the control identifier
    DlgSignature signature;
    DlgVoidHandler onVoid;
    DlgHelpHandler onHelp;
    DlgContextMenuHandler onContextMenu;
    DlgScrollHandler onScroll;
    DlgSysCommandHandler onSysCommand;
};

struct DlgMessageMap {
    const DlgMessageMap* (*base)();
    const DlgMessageEntry* entries;
};

#define DECLARE_MESSAGE_MAP()                               \
protected:                                                  \
    static const DlgMessageMap* GetThisMessageMap();        \
    const DlgMessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                           \
    const DlgMessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const DlgMessageMap* theClass::GetThisMessageMap() {                                 \
        typedef theClass ThisClass;                                                      \
        typedef baseClass TheBaseClass;                                                  \
        static const DlgMessageEntry entries[] = {
#define END_MESSAGE_MAP()                                                                 \
    {0, 0, 0, DlgSignature::End, nullptr, nullptr, nullptr, nullptr, nullptr}            \
    };                                                                                    \
    static const DlgMessageMap map = {&TheBaseClass::GetThisMessageMap, entries};         \
    return &map;                                                                          \
    }

#define DLG_ON_COMMAND_CODE(code, id, handler)                                                              \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<int>(id), DlgSignature::Void,                        \
     static_cast<DlgVoidHandler>(&ThisClass::handler), nullptr, nullptr, nullptr, nullptr},
#define ON_COMMAND(id, handler) DLG_ON_COMMAND_CODE(BN_CLICKED, id, handler)
#define ON_BN_CLICKED(id, handler) DLG_ON_COMMAND_CODE(BN_CLICKED, id, handler)
#define ON_EN_SETFOCUS(id, handler) DLG_ON_COMMAND_CODE(EN_SETFOCUS, id, handler)
#define ON_EN_KILLFOCUS(id, handler) DLG_ON_COMMAND_CODE(EN_KILLFOCUS, id, handler)
#define ON_EN_CHANGE(id, handler) DLG_ON_COMMAND_CODE(EN_CHANGE, id, handler)
#define ON_LBN_DBLCLK(id, handler) DLG_ON_COMMAND_CODE(LBN_DBLCLK, id, handler)
#define ON_LBN_SELCHANGE(id, handler) DLG_ON_COMMAND_CODE(LBN_SELCHANGE, id, handler)
#define ON_CBN_CLOSEUP(id, handler) DLG_ON_COMMAND_CODE(CBN_CLOSEUP, id, handler)
#define ON_CBN_SELCHANGE(id, handler) DLG_ON_COMMAND_CODE(CBN_SELCHANGE, id, handler)
#define DLG_ON_VOID_MESSAGE(message, handler)                                                               \
    {message, 0, 0, DlgSignature::Void, static_cast<DlgVoidHandler>(&ThisClass::handler), nullptr, nullptr, \
     nullptr, nullptr},
#define ON_WM_CLOSE() DLG_ON_VOID_MESSAGE(WM_CLOSE, OnClose)
#define ON_WM_DESTROY() DLG_ON_VOID_MESSAGE(WM_DESTROY, OnDestroy)
#define ON_WM_PAINT() DLG_ON_VOID_MESSAGE(WM_PAINT, OnPaint)
#define ON_WM_HELPINFO()                                                                                  \
    {WM_HELP, 0, 0, DlgSignature::Help, nullptr, static_cast<DlgHelpHandler>(&ThisClass::OnHelpInfo),    \
     nullptr, nullptr, nullptr},
#define ON_WM_CONTEXTMENU()                                                                     \
    {WM_CONTEXTMENU, 0, 0, DlgSignature::ContextMenu, nullptr, nullptr,                         \
     static_cast<DlgContextMenuHandler>(&ThisClass::OnContextMenu), nullptr, nullptr},
#define ON_WM_HSCROLL()                                                                                \
    {WM_HSCROLL, 0, 0, DlgSignature::Scroll, nullptr, nullptr, nullptr,                                \
     static_cast<DlgScrollHandler>(&ThisClass::OnHScroll), nullptr},
#define ON_WM_VSCROLL()                                                                                \
    {WM_VSCROLL, 0, 0, DlgSignature::Scroll, nullptr, nullptr, nullptr,                                \
     static_cast<DlgScrollHandler>(&ThisClass::OnVScroll), nullptr},
#define ON_WM_SYSCOMMAND()                                                                                \
    {WM_SYSCOMMAND, 0, 0, DlgSignature::SysCommand, nullptr, nullptr, nullptr, nullptr,                   \
     static_cast<DlgSysCommandHandler>(&ThisClass::OnSysCommand)},

class CDialog {
public:
    explicit CDialog(UINT templateId, CDialog* parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the window from the template, runs it until EndDialog and destroys it again.
    // Result: the value given to EndDialog, or -1 when the window cannot be made (no template).
    INT_PTR DoModal();
    void EndDialog(int result);

    UINT TemplateId() const { return templateId_; }
    CDialog* Parent() const { return parent_; }
    // The window while it is open, else NULL; controls have windows of their own.
    HWND GetSafeHwnd() const;
    HWND GetDlgItem(int id) const;

    // Window and control texts. GetDlgItemText copies at most size - 1 characters and a zero.
    void SetWindowText(const char* text);
    std::string GetWindowText() const;
    void SetDlgItemText(int id, const char* text);
    std::string GetDlgItemText(int id) const;
    UINT GetDlgItemText(int id, char* buffer, int size) const;
    // Edits: the number of characters the user may type (programmatic texts are not cut).
    void LimitText(int id, int maxCharacters);

    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;
    void EnableDlgItem(int id, BOOL enable);
    BOOL IsDlgItemEnabled(int id) const;
    void ShowDlgItem(int id, BOOL show);
    void GotoDlgCtrl(int id);  // moves the focus, with the notifications it causes
    int GetFocusId() const;    // the control with the focus, 0 when none

    // List boxes (check lists included). Indexes start at 0; LB_ERR for a bad index.
    int ListAddString(int id, const char* text);
    int ListInsertString(int id, int index, const char* text);
    int ListDeleteString(int id, int index);
    void ListResetContent(int id);
    int ListGetCount(int id) const;
    std::string ListGetText(int id, int index) const;
    int ListGetCurSel(int id) const;
    int ListSetCurSel(int id, int index);
    // The first line, from the top, that equals text (Exact) or begins with it (prefix), without
    // regard to case; LB_ERR when there is none.
    int ListFindStringExact(int id, const char* text) const;
    int ListFindString(int id, const char* prefix) const;
    int ListGetCheck(int id, int index) const;
    int ListSetCheck(int id, int index, int check);

    // Combo boxes; CB_ERR for a bad index.
    int ComboAddString(int id, const char* text);
    void ComboResetContent(int id);
    int ComboGetCount(int id) const;
    std::string ComboGetText(int id, int index) const;
    int ComboGetCurSel(int id) const;
    int ComboSetCurSel(int id, int index);

    // Sliders, scroll bars and the progress bar: a range and a position kept within it.
    void SetRange(int id, int low, int high);
    void SetPos(int id, int position);
    int GetPos(int id) const;
    // Sliders: a tick mark every frequency positions from the low end (0: none).
    void SetTicFreq(int id, int frequency);

    // A modal message box owned by this window; the button pressed (IDOK, IDYES, ...).
    int MessageBox(const char* text, const char* caption, UINT type = MB_OK);
    // The application's help file, for this window.
    void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT);
    void SetIcon(HICON icon, BOOL big);
    void AppendSystemMenu(UINT flags, UINT id, const char* text);
    void ShowWindow(int command);
    BOOL IsWindowVisible() const;
    void UpdateWindow();

protected:
    virtual BOOL OnInitDialog();  // TRUE: the first control that takes the focus gets it
    virtual void OnOK();          // EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)
    virtual void OnClose();       // the close box: OnCancel
    virtual void OnDestroy();
    // The system menu's default: the close item closes (OnClose).
    void OnSysCommand(UINT id, LPARAM lParam);

    static const DlgMessageMap* GetThisMessageMap();
    virtual const DlgMessageMap* GetMessageMap() const;

private:
    friend struct DlgDispatch;
    UINT templateId_;
    CDialog* parent_;
    std::unique_ptr<DlgWindow> window_;
};
