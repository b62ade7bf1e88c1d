// What a backend of the dialog framework (headless, windowed) works with: the open windows and
// their controls, the user's actions as the framework turns them into notifications, and the
// record of everything shown. Dialog classes never include this header.
#pragma once

#include "dlg_dialog.h"
#include "dlg_template.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A check list's notification when a line's check box changes (list box control identifier).
#define CLBN_CHKCHANGE 40
#define ON_CLBN_CHKCHANGE(id, handler) DLG_ON_COMMAND_CODE(CLBN_CHKCHANGE, id, handler)

struct DlgControl {
    const DlgControlTemplate* source;
    int id;
    DlgControlKind kind;
    DWORD style;
    std::string text;
    bool enabled = true;
    bool visible = true;
    UINT check = BST_UNCHECKED;
    std::vector<std::string> items;  // list and combo boxes
    std::vector<int> itemChecks;     // check lists: one per line
    int selection = -1;
    int low = 0, high = 100, position = 0;  // sliders, scroll bars, progress bar
    int tickFrequency = 0;                  // sliders: a tick every that many positions (0: none)
    int textLimit = 30000;                  // edits: what the user may type

    HWND handle() const { return reinterpret_cast<HWND>(const_cast<DlgControl*>(this)); }
    bool takesFocus() const;
};

struct DlgSystemMenuItem {
    UINT flags;
    UINT id;
    std::string text;
};

// An open dialog window.
struct DlgWindow {
    CDialog* dialog = nullptr;
    const DlgTemplate* source = nullptr;
    std::string caption;
    std::vector<std::unique_ptr<DlgControl>> controls;
    std::vector<DlgSystemMenuItem> systemMenu;
    int focusId = 0;
    bool ended = false;
    int result = 0;
    bool visible = true;
    HICON bigIcon = nullptr, smallIcon = nullptr;

    HWND handle() const { return reinterpret_cast<HWND>(const_cast<DlgWindow*>(this)); }
    DlgControl* find(int id) const;
    DlgControl* defaultButton() const;
};

// The window a handle names, and the control when it is a control's (NULL, NULL when it is
// neither).
void DlgResolveHandle(HWND handle, DlgWindow** window, DlgControl** control);
// The open windows, oldest first: the last is the active one.
const std::vector<CDialog*>& DlgOpenWindows();
DlgWindow* DlgWindowOf(const CDialog& dialog);

// The user's actions, as a backend reports them. Each sends what the platform would send to
// the dialog (focus changes, WM_COMMAND notifications, WM_HELP, ...), and refuses what a user
// cannot do.
enum class DlgInput { Done, NoSuchControl, Disabled, Hidden, WrongKind, BadIndex, ReadOnly, NotInMenu };
const char* DlgInputText(DlgInput result);

DlgInput DlgUserFocus(CDialog& dialog, int id);
// Replaces an edit's text with what the user types: the focus moves there first; the text is cut
// at the edit's limit; EN_CHANGE follows.
DlgInput DlgUserType(CDialog& dialog, int id, const std::string& text);
// A click on a button or check box: the focus moves to it, a check box changes state, BN_CLICKED.
DlgInput DlgUserClick(CDialog& dialog, int id);
// Enter: the focused push button, else the default button, is pressed; the focus stays.
DlgInput DlgUserEnter(CDialog& dialog);
DlgInput DlgUserEscape(CDialog& dialog);  // IDCANCEL
DlgInput DlgUserClose(CDialog& dialog);   // the close box: WM_CLOSE
DlgInput DlgUserSelect(CDialog& dialog, int id, int index);       // list or combo line chosen
DlgInput DlgUserDoubleClick(CDialog& dialog, int id, int index);  // list line double-clicked
DlgInput DlgUserCheckItem(CDialog& dialog, int id, int index, bool checked);  // check list line
DlgInput DlgUserCloseDropDown(CDialog& dialog, int id);                      // CBN_CLOSEUP
DlgInput DlgUserScroll(CDialog& dialog, int id, int position);  // slider or scroll bar moved
DlgInput DlgUserHelp(CDialog& dialog, int id);                  // F1 over a control: WM_HELP
DlgInput DlgUserContextMenu(CDialog& dialog, int id);  // right click (0: on the dialog itself)
DlgInput DlgUserSysCommand(CDialog& dialog, UINT command);  // a system menu item

// The record of what the program showed, in order.
enum class DlgRecordKind { WindowOpened, WindowClosed, WindowShown, WindowHidden, MessageBox, Answer, Help, Cursor, Ole };
struct DlgRecord {
    explicit DlgRecord(DlgRecordKind what) : kind(what) {}
    DlgRecordKind kind;
    UINT templateId = 0;  // windows; message boxes: the owner's (0 for none)
    std::string caption;  // window caption, message box caption, OLE call
    std::string text;     // message box text, help file, OLE detail
    UINT type = 0;        // message box type; help command
    DWORD_PTR data = 0;   // help: the context (for HELP_WM_HELP/HELP_CONTEXTMENU: the one looked up)
    int result = 0;       // window result, answer
};
const std::vector<DlgRecord>& DlgRecords();
// Called with every record as it is made (a backend that prints them as they come).
void DlgSetRecordListener(std::function<void(const DlgRecord&)> listener);
void DlgClearRecords();
void DlgAddRecord(const DlgRecord& record);
// One line for a record, texts in C escapes: window 133 "Quillfence - Login", box "ERROR!"
// "Password Incorrect" MB_OK, answer IDOK, help HELP_CONTEXT 0x20066 "Configurator.hlp", ...
std::string DlgRecordLine(const DlgRecord& record);
std::string DlgButtonName(int id);  // IDOK, IDYES, ...; a number otherwise
// IDOK..IDNO from their names; 0 when the text is not one.
int DlgButtonFromName(const std::string& name);
// The answers a message box of this type can be given.
std::vector<int> DlgBoxAnswers(UINT type);

// A backend: runs modal windows and message boxes.
class DlgBackend {
public:
    virtual ~DlgBackend();
    // Runs dialog (made and initialised already) until it has ended (DlgWindowOf(dialog)->ended).
    virtual void RunModal(CDialog& dialog) = 0;
    // Shows a message box and answers the button pressed. The record is written by the framework.
    virtual int MessageBox(CDialog* owner, const char* text, const char* caption, UINT type) = 0;
    // A control or window changed from the program's side (a windowed backend redraws it).
    virtual void Changed(CDialog& dialog, int controlId);
    // The program put up the wait cursor (true) or took it down again (false).
    virtual void WaitCursor(bool wait);
};

// The backend every dialog runs on; set before the first dialog opens.
void DlgSetBackend(DlgBackend* backend);
DlgBackend* DlgGetBackend();
