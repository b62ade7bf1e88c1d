// Context help from a table of control identifiers and help contexts.
#include "context_help.h"

#include <dlg_app.h>
#include <dlg_dialog.h>

namespace {

const char* help_file() {
    CDialogApp* app = AfxGetApp();
    return app ? app->HelpFilePath().c_str() : "";
}

}  // namespace

BOOL ShowControlHelp(const HELPINFO* info, const DWORD* table) {
    if (info && info->iContextType == HELPINFO_WINDOW && static_cast<WORD>(info->iCtrlId) != 0xFFFF)
        DlgWinHelp(static_cast<HWND>(info->hItemHandle), help_file(), HELP_WM_HELP, reinterpret_cast<DWORD_PTR>(table));
    return TRUE;
}

void ShowContextMenuHelp(CDialog& dialog, HWND window, const DWORD* table) {
    if (window == dialog.GetSafeHwnd()) return;
    DlgWinHelp(window, help_file(), HELP_CONTEXTMENU, reinterpret_cast<DWORD_PTR>(table));
}
