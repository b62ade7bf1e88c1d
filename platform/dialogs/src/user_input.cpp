// The user's actions on a dialog, turned into what the platform sends the dialog's window.
#include "dialog_internal.h"

#include <algorithm>

const char* DlgInputText(DlgInput result) {
    switch (result) {
    case DlgInput::Done: return "done";
    case DlgInput::NoSuchControl: return "the window has no such control";
    case DlgInput::Disabled: return "the control is disabled";
    case DlgInput::Hidden: return "the control is hidden";
    case DlgInput::WrongKind: return "the control is not of a kind that takes this action";
    case DlgInput::BadIndex: return "the control has no such line";
    case DlgInput::ReadOnly: return "the edit is read-only";
    case DlgInput::NotInMenu: return "the system menu has no such item";
    }
    return "unknown";
}

namespace {

// The control a user can reach: present, shown and enabled.
DlgInput reachable(CDialog& dialog, int id, DlgControl** found) {
    DlgWindow* window = DlgWindowOf(dialog);
    DlgControl* control = window ? window->find(id) : nullptr;
    if (!control) return DlgInput::NoSuchControl;
    if (!control->visible) return DlgInput::Hidden;
    if (!control->enabled) return DlgInput::Disabled;
    *found = control;
    return DlgInput::Done;
}

bool is_button(const DlgControl* control) {
    return control->kind == DlgControlKind::Button || control->kind == DlgControlKind::CheckBox;
}

bool is_list(const DlgControl* control) {
    return control->kind == DlgControlKind::ListBox || control->kind == DlgControlKind::ComboBox;
}

bool window_ended(CDialog& dialog) {
    DlgWindow* window = DlgWindowOf(dialog);
    return !window || window->ended;
}

void press(CDialog& dialog, DlgControl* button) {
    if (button->kind == DlgControlKind::CheckBox)
        button->check = button->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    DlgDispatch::Command(dialog, button->id, BN_CLICKED);
}

}  // namespace

DlgInput DlgUserFocus(CDialog& dialog, int id) {
    DlgControl* control = nullptr;
    if (DlgInput result = reachable(dialog, id, &control); result != DlgInput::Done) return result;
    if (!control->takesFocus()) return DlgInput::WrongKind;
    DlgDispatch::SetFocus(dialog, id);
    return DlgInput::Done;
}

DlgInput DlgUserType(CDialog& dialog, int id, const std::string& text) {
    DlgControl* control = nullptr;
    if (DlgInput result = reachable(dialog, id, &control); result != DlgInput::Done) return result;
    if (control->kind != DlgControlKind::Edit) return DlgInput::WrongKind;
    if (control->style & DLGS_READONLY) return DlgInput::ReadOnly;
    DlgDispatch::SetFocus(dialog, id);
    // The focus change may have shown a message, ended the window or moved the focus on; typing
    // goes to the edit only when it still has the focus.
    DlgWindow* window = DlgWindowOf(dialog);
    if (window_ended(dialog) || window->focusId != id) return DlgInput::Done;
    // Characters past the limit are refused as they are typed.
    control->text = text.substr(0, static_cast<size_t>(std::max(control->textLimit, 0)));
    DlgDispatch::Command(dialog, id, EN_CHANGE);
    return DlgInput::Done;
}

DlgInput DlgUserClick(CDialog& dialog, int id) {
    DlgControl* control = nullptr;
    if (DlgInput result = reachable(dialog, id, &control); result != DlgInput::Done) return result;
    if (!is_button(control)) return DlgInput::WrongKind;
    // A mouse click takes the focus to the button first, so the edit that had it hears that.
    DlgDispatch::SetFocus(dialog, id);
    if (window_ended(dialog) || !control->enabled) return DlgInput::Done;
    press(dialog, control);
    return DlgInput::Done;
}

DlgInput DlgUserEnter(CDialog& dialog) {
    DlgWindow* window = DlgWindowOf(dialog);
    if (!window) return DlgInput::NoSuchControl;
    DlgControl* button = window->find(window->focusId);
    if (!button || button->kind != DlgControlKind::Button) button = window->defaultButton();
    // Without a default button the platform sends IDOK.
    if (!button) {
        DlgDispatch::Command(dialog, IDOK, BN_CLICKED);
        return DlgInput::Done;
    }
    if (!button->enabled) return DlgInput::Disabled;
    press(dialog, button);
    return DlgInput::Done;
}

DlgInput DlgUserEscape(CDialog& dialog) {
    DlgWindow* window = DlgWindowOf(dialog);
    if (!window) return DlgInput::NoSuchControl;
    if (DlgControl* cancel = window->find(IDCANCEL); cancel && !cancel->enabled) return DlgInput::Disabled;
    DlgDispatch::Command(dialog, IDCANCEL, BN_CLICKED);
    return DlgInput::Done;
}

DlgInput DlgUserClose(CDialog& dialog) {
    if (!DlgWindowOf(dialog)) return DlgInput::NoSuchControl;
    DlgDispatch::Send(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    return DlgInput::Done;
}

DlgInput DlgUserSelect(CDialog& dialog, int id, int index) {
    DlgControl* control = nullptr;
    if (DlgInput result = reachable(dialog, id, &control); result != DlgInput::Done) return result;
    if (!is_list(control)) return DlgInput::WrongKind;
    if (index < 0 || index >= static_cast<int>(control->items.size())) return DlgInput::BadIndex;
    DlgDispatch::SetFocus(dialog, id);
    if (window_ended(dialog)) return DlgInput::Done;
    control->selection = index;
    DlgDispatch::Command(dialog, id, LBN_SELCHANGE);  // CBN_SELCHANGE has the same code
    return DlgInput::Done;
}

DlgInput DlgUserDoubleClick(CDialog& dialog, int id, int index) {
    DlgInput result = DlgUserSelect(dialog, id, index);
    if (result != DlgInput::Done || window_ended(dialog)) return result;
    DlgDispatch::Command(dialog, id, LBN_DBLCLK);
    return DlgInput::Done;
}

DlgInput DlgUserCheckItem(CDialog& dialog, int id, int index, bool checked) {
    DlgControl* control = nullptr;
    if (DlgInput result = reachable(dialog, id, &control); result != DlgInput::Done) return result;
    if (control->kind != DlgControlKind::ListBox || !(control->style & DLGS_CHECKLIST)) return DlgInput::WrongKind;
    if (index < 0 || index >= static_cast<int>(control->items.size())) return DlgInput::BadIndex;
    DlgDispatch::SetFocus(dialog, id);
    if (window_ended(dialog)) return DlgInput::Done;
    control->selection = index;
    if (control->itemChecks[index] == (checked ? 1 : 0)) return DlgInput::Done;
    control->itemChecks[index] = checked ? 1 : 0;
    DlgDispatch::Command(dialog, id, CLBN_CHKCHANGE);
    return DlgInput::Done;
}

DlgInput DlgUserCloseDropDown(CDialog& dialog, int id) {
    DlgControl* control = nullptr;
    if (DlgInput result = reachable(dialog, id, &control); result != DlgInput::Done) return result;
    if (control->kind != DlgControlKind::ComboBox) return DlgInput::WrongKind;
    DlgDispatch::SetFocus(dialog, id);
    if (window_ended(dialog)) return DlgInput::Done;
    DlgDispatch::Command(dialog, id, CBN_CLOSEUP);
    return DlgInput::Done;
}

DlgInput DlgUserScroll(CDialog& dialog, int id, int position) {
    DlgControl* control = nullptr;
    if (DlgInput result = reachable(dialog, id, &control); result != DlgInput::Done) return result;
    if (control->kind != DlgControlKind::Slider && control->kind != DlgControlKind::ScrollBar) return DlgInput::WrongKind;
    DlgDispatch::SetFocus(dialog, id);
    if (window_ended(dialog)) return DlgInput::Done;
    // Sliders move themselves; a scroll bar's owner sets the position it wants in its handler.
    const int wanted = std::clamp(position, control->low, control->high);
    if (control->kind == DlgControlKind::Slider) control->position = wanted;
    const UINT message = (control->style & DLGS_VERTICAL) ? WM_VSCROLL : WM_HSCROLL;
    DlgDispatch::Send(dialog, message, MAKEWPARAM(SB_THUMBPOSITION, wanted), id);
    if (window_ended(dialog)) return DlgInput::Done;
    DlgDispatch::Send(dialog, message, MAKEWPARAM(SB_ENDSCROLL, 0), id);
    return DlgInput::Done;
}

DlgInput DlgUserHelp(CDialog& dialog, int id) {
    DlgWindow* window = DlgWindowOf(dialog);
    DlgControl* control = window ? window->find(id) : nullptr;
    if (!control) return DlgInput::NoSuchControl;
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = id;
    info.hItemHandle = control->handle();
    DlgDispatch::Send(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    return DlgInput::Done;
}

DlgInput DlgUserContextMenu(CDialog& dialog, int id) {
    DlgWindow* window = DlgWindowOf(dialog);
    if (!window) return DlgInput::NoSuchControl;
    HWND target = window->handle();
    if (id != 0) {
        DlgControl* control = window->find(id);
        if (!control) return DlgInput::NoSuchControl;
        target = control->handle();
    }
    DlgDispatch::Send(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target), 0);
    return DlgInput::Done;
}

DlgInput DlgUserSysCommand(CDialog& dialog, UINT command) {
    DlgWindow* window = DlgWindowOf(dialog);
    if (!window) return DlgInput::NoSuchControl;
    const bool listed = std::any_of(window->systemMenu.begin(), window->systemMenu.end(),
                                    [&](const DlgSystemMenuItem& item) { return item.id == command && !(item.flags & MF_SEPARATOR); });
    if (!listed && command != SC_CLOSE) return DlgInput::NotInMenu;
    DlgDispatch::Send(dialog, WM_SYSCOMMAND, command, 0);
    return DlgInput::Done;
}
