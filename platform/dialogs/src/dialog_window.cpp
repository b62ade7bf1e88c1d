// The open windows: their controls, made from the templates, and the handles that name them.
#include "dialog_internal.h"

#include <algorithm>

bool DlgControl::takesFocus() const {
    if (!enabled || !visible) return false;
    switch (kind) {
    case DlgControlKind::Static:
    case DlgControlKind::GroupBox:
    case DlgControlKind::Icon:
    case DlgControlKind::ProgressBar:
        return false;
    default:
        return true;
    }
}

DlgControl* DlgWindow::find(int id) const {
    if (id == IDC_STATIC) return nullptr;
    for (const auto& control : controls)
        if (control->id == id) return control.get();
    return nullptr;
}

DlgControl* DlgWindow::defaultButton() const {
    for (const auto& control : controls)
        if (control->kind == DlgControlKind::Button && (control->style & DLGS_DEFAULT)) return control.get();
    return nullptr;
}

namespace {

std::vector<CDialog*>& open_windows() {
    static std::vector<CDialog*> windows;
    return windows;
}

}  // namespace

const std::vector<CDialog*>& DlgOpenWindows() { return open_windows(); }

DlgWindow* DlgWindowOf(const CDialog& dialog) { return DlgDispatch::Window(dialog); }

void DlgResolveHandle(HWND handle, DlgWindow** window, DlgControl** control) {
    *window = nullptr;
    *control = nullptr;
    if (!handle) return;
    for (CDialog* dialog : open_windows()) {
        DlgWindow* open = DlgWindowOf(*dialog);
        if (!open) continue;
        if (open->handle() == handle) {
            *window = open;
            return;
        }
        for (const auto& item : open->controls) {
            if (item->handle() == handle) {
                *window = open;
                *control = item.get();
                return;
            }
        }
    }
}

std::unique_ptr<DlgWindow> dlg_make_window(CDialog& dialog, const DlgTemplate& source) {
    auto window = std::make_unique<DlgWindow>();
    window->dialog = &dialog;
    window->source = &source;
    window->caption = source.caption ? source.caption : "";
    for (size_t i = 0; i < source.controlCount; ++i) {
        const DlgControlTemplate& item = source.controls[i];
        auto control = std::make_unique<DlgControl>();
        control->source = &item;
        control->id = item.id;
        control->kind = item.kind;
        control->style = item.style;
        control->text = item.text ? item.text : "";
        control->enabled = !(item.style & DLGS_DISABLED);
        control->visible = !(item.style & DLGS_HIDDEN);
        if (item.textLimit > 0) control->textLimit = item.textLimit;
        window->controls.push_back(std::move(control));
    }
    return window;
}

void dlg_push_open(CDialog& dialog) { open_windows().push_back(&dialog); }

void dlg_pop_open(CDialog& dialog) {
    auto& windows = open_windows();
    windows.erase(std::remove(windows.begin(), windows.end(), &dialog), windows.end());
}
