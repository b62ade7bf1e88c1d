// What the framework's sources share: making windows, the list of open ones, message dispatch.
#pragma once

#include <dlg_app.h>
#include <dlg_backend.h>
#include <dlg_dialog.h>

#include <memory>

std::unique_ptr<DlgWindow> dlg_make_window(CDialog& dialog, const DlgTemplate& source);
void dlg_push_open(CDialog& dialog);
void dlg_pop_open(CDialog& dialog);

// The framework's access to a dialog's window and message map.
struct DlgDispatch {
    static DlgWindow* Window(const CDialog& dialog) { return dialog.window_.get(); }
    // Calls the first handler of the dialog's message maps (its class first) for the message;
    // false when none handles it. handled receives a Help handler's result.
    static bool Send(CDialog& dialog, UINT message, WPARAM wParam, LPARAM lParam, BOOL* handled = nullptr);
    static void Command(CDialog& dialog, int id, UINT code) {
        Send(dialog, WM_COMMAND, MAKEWPARAM(id, code), 0);
    }
    // Moves the focus to control id (0: to none): EN_KILLFOCUS to the edit that loses it,
    // EN_SETFOCUS to the edit that gains it, as the platform sends them.
    static void SetFocus(CDialog& dialog, int id);
    static BOOL InitDialog(CDialog& dialog) { return dialog.OnInitDialog(); }
};
