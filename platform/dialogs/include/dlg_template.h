// Dialog templates as data: what a dialog resource holds (number, caption, size, controls), so
// that every backend of the dialog framework builds its windows from the same description.
#pragma once

#include <windows.h>

#include <stddef.h>

enum class DlgControlKind {
    Static,       // a line of text
    GroupBox,     // a frame with a title
    Icon,         // a picture (icon resource number in DlgControlTemplate::icon)
    Button,       // push button
    CheckBox,     // two-state check box
    Edit,         // single-line edit field (multi-line with DLGS_MULTILINE)
    ListBox,      // list of lines (a check list with DLGS_CHECKLIST)
    ComboBox,     // drop-down list
    Slider,       // track bar
    ProgressBar,
    ScrollBar,    // horizontal unless DLGS_VERTICAL
};

// Control styles (DlgControlTemplate::style).
enum : DWORD {
    DLGS_DEFAULT = 0x0001,    // the default push button (Enter presses it)
    DLGS_PASSWORD = 0x0002,   // edit: the text is hidden
    DLGS_CHECKLIST = 0x0004,  // list box: each line has a check box
    DLGS_READONLY = 0x0008,   // edit: shown, not typed into
    DLGS_MULTILINE = 0x0010,  // edit: several lines
    DLGS_DISABLED = 0x0020,   // starts disabled
    DLGS_VERTICAL = 0x0040,   // slider or scroll bar standing upright
    DLGS_SORTED = 0x0080,     // list or combo box keeps its lines sorted
    DLGS_HIDDEN = 0x0100,     // starts hidden
    DLGS_TABSTOPS = 0x0200,   // list box: tabs in its lines align at tab stops
};

// Dialog styles (DlgTemplate::style).
enum : DWORD {
    DLGW_SYSMENU = 0x0001,      // a system menu (and close box)
    DLGW_CONTEXTHELP = 0x0002,  // the title-bar help button
    DLGW_MINIMIZEBOX = 0x0004,
    DLGW_APPWINDOW = 0x0008,    // a taskbar button of its own
};

struct DlgControlTemplate {
    int id;  // IDC_STATIC (-1) for controls nothing refers to
    DlgControlKind kind;
    const char* text;
    short x, y, cx, cy;  // dialog units
    DWORD style;
    int textLimit;  // edit: characters the user may type (0 = the platform's default)
    int icon;       // Icon and GroupBox: the icon resource shown (0 = none)
};

struct DlgTemplate {
    UINT id;
    const char* caption;
    short x, y, cx, cy;
    DWORD style;
    const DlgControlTemplate* controls;
    size_t controlCount;
};

struct DlgString {
    UINT id;
    const char* text;
};

// A program's resources: its dialog templates and its string table.
struct DlgResources {
    const DlgTemplate* templates;
    size_t templateCount;
    const DlgString* strings;
    size_t stringCount;
};

// The help context of a control: 0x80000000 + template number * 0x10000 + control identifier.
constexpr DWORD DlgHelpContext(UINT templateId, int controlId) {
    return 0x80000000u + static_cast<DWORD>(templateId) * 0x10000u + static_cast<DWORD>(controlId);
}

// The help context of a dialog's own topic (the framework's rule: 0x20000 + template number).
constexpr DWORD DlgWindowHelpContext(UINT templateId) { return 0x20000u + static_cast<DWORD>(templateId); }
