// Message maps: a message goes to the first matching entry, the dialog's own class first, then
// its base classes, as the framework's maps are searched.
#include "dialog_internal.h"

namespace {

bool matches(const DlgMessageEntry& entry, UINT message, WPARAM wParam) {
    if (entry.message != message) return false;
    if (message != WM_COMMAND) return true;
    // Identifiers travel as 16-bit words: IDC_STATIC (-1) arrives as 0xFFFF.
    return entry.code == HIWORD(wParam) && static_cast<WORD>(entry.id) == LOWORD(wParam);
}

}  // namespace

bool DlgDispatch::Send(CDialog& dialog, UINT message, WPARAM wParam, LPARAM lParam, BOOL* handled) {
    for (const DlgMessageMap* map = dialog.GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const DlgMessageEntry* entry = map->entries; entry->signature != DlgSignature::End; ++entry) {
            if (!matches(*entry, message, wParam)) continue;
            switch (entry->signature) {
            case DlgSignature::Void:
                (dialog.*(entry->onVoid))();
                break;
            case DlgSignature::Help: {
                BOOL result = (dialog.*(entry->onHelp))(reinterpret_cast<HELPINFO*>(lParam));
                if (handled) *handled = result;
                break;
            }
            case DlgSignature::ContextMenu: {
                POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                (dialog.*(entry->onContextMenu))(reinterpret_cast<HWND>(wParam), point);
                break;
            }
            case DlgSignature::Scroll:
                (dialog.*(entry->onScroll))(LOWORD(wParam), HIWORD(wParam), static_cast<int>(lParam));
                break;
            case DlgSignature::SysCommand:
                (dialog.*(entry->onSysCommand))(static_cast<UINT>(wParam), lParam);
                break;
            case DlgSignature::End:
                break;
            }
            return true;
        }
    }
    return false;
}

void DlgDispatch::SetFocus(CDialog& dialog, int id) {
    DlgWindow* window = Window(dialog);
    if (!window || window->focusId == id) return;
    const int old = window->focusId;
    window->focusId = id;
    if (DlgControl* lost = window->find(old); lost && lost->kind == DlgControlKind::Edit)
        Command(dialog, old, EN_KILLFOCUS);
    // A handler of the focus loss may have ended the dialog or moved the focus elsewhere.
    if (window->ended || window->focusId != id) return;
    if (DlgControl* gained = window->find(id); gained && gained->kind == DlgControlKind::Edit)
        Command(dialog, id, EN_SETFOCUS);
}
