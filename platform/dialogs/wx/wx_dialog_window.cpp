// A dialog's window: widgets from the template's controls at their rectangles (dialog units
// converted for the dialog font, as the platform converts them), in template order so that Tab
// walks them as it does there.
#include "wx_dialog_window.h"

#include "wx_list_text.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/checklst.h>
#include <wx/combobox.h>
#include <wx/cshelp.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/scrolbar.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <map>

namespace {

std::map<const CDialog*, WxDialogWindow*>& open_windows() {
    static std::map<const CDialog*, WxDialogWindow*> windows;
    return windows;
}

long window_style(const DlgTemplate& source) {
    long style = wxCAPTION;
    if (source.style & DLGW_SYSMENU) style |= wxSYSTEM_MENU | wxCLOSE_BOX;
    if (source.style & DLGW_MINIMIZEBOX) style |= wxMINIMIZE_BOX;
    return style;
}

// The parent window: the dialog's own parent when it is open here, else the newest open window
// (a program's window without a parent still belongs over the one it was opened from).
wxWindow* parent_window(const CDialog& dialog) {
    if (DlgWindowOf(dialog)->source->style & DLGW_APPWINDOW) return nullptr;
    if (dialog.Parent())
        if (WxDialogWindow* parent = WxDialogWindow::Of(*dialog.Parent())) return parent;
    const std::vector<CDialog*>& open = DlgOpenWindows();
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if (*it != &dialog)
            if (WxDialogWindow* window = WxDialogWindow::Of(**it)) return window;
    return nullptr;
}

// Ticks of a slider: GTK draws marks where it is told to.
void set_ticks(wxSlider* slider, int low, int high, int frequency) {
    GtkWidget* scale = slider->GetHandle();
    if (!scale || !GTK_IS_SCALE(scale)) return;
    gtk_scale_clear_marks(GTK_SCALE(scale));
    if (frequency <= 0) return;
    const GtkPositionType side = slider->HasFlag(wxSL_VERTICAL) ? GTK_POS_RIGHT : GTK_POS_BOTTOM;
    for (int position = low; position <= high; position += frequency)
        gtk_scale_add_mark(GTK_SCALE(scale), position, side, nullptr);
}

}  // namespace

WxDialogWindow* WxDialogWindow::Of(const CDialog& dialog) {
    auto it = open_windows().find(&dialog);
    return it == open_windows().end() ? nullptr : it->second;
}

WxDialogWindow::WxDialogWindow(CDialog& dialog, wxWindow* parent)
    : wxDialog(parent ? parent : parent_window(dialog), wxID_ANY, wxString::FromUTF8(DlgWindowOf(dialog)->caption),
               wxDefaultPosition, wxDefaultSize, window_style(*DlgWindowOf(dialog)->source)),
      dialog_(dialog) {
    open_windows()[&dialog_] = this;
    if (DlgWindowOf(dialog)->source->style & DLGW_CONTEXTHELP) SetExtraStyle(GetExtraStyle() | wxDIALOG_EX_CONTEXTHELP);
    SetFont(WxDialogFont());
    Build();
}

WxDialogWindow::~WxDialogWindow() {
    g_signal_handlers_disconnect_by_data(GetHandle(), this);
    open_windows().erase(&dialog_);
}

void WxDialogWindow::Build() {
    DlgWindow* window = DlgWindowOf(dialog_);
    const DlgTemplate& source = *window->source;
    SetClientSize(ConvertDialogToPixels(wxSize(source.cx, source.cy)));
    ++writing_;
    for (const auto& control : window->controls) {
        const DlgControlTemplate& item = *control->source;
        const wxPoint origin = ConvertDialogToPixels(wxPoint(item.x, item.y));
        const wxSize size = ConvertDialogToPixels(wxSize(item.cx, item.cy));
        View view{control.get(), MakeWidget(*control, wxRect(origin, size)), nullptr, {}};
        if (control->kind == DlgControlKind::GroupBox && item.icon) {
            // The title leaves blanks where the icon goes, after the frame's corner.
            const wxPoint at = origin + ConvertDialogToPixels(wxPoint(5, 0));
            view.badge = new wxStaticBitmap(this, wxID_ANY, WxResourceIcon(item.icon, 16), at, wxSize(16, 16));
        }
        views_.push_back(view);
    }
    for (View& view : views_) {
        WriteView(view);
        BindEvents(view);
    }
    WriteWindowState();
    --writing_;
    Bind(wxEVT_CHAR_HOOK, &WxDialogWindow::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
        if (event.CanVeto()) event.Veto();
        Act([this] { DlgUserClose(dialog_); });
    });
    Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent& event) {
        View* view = ViewOf(dynamic_cast<wxWindow*>(event.GetEventObject()));
        const int id = view && view->control->id != IDC_STATIC ? view->control->id : 0;
        Act([this, id] { DlgUserContextMenu(dialog_, id); });
    });
    Bind(wxEVT_HELP, [this](wxHelpEvent& event) {
        View* view = ViewOf(dynamic_cast<wxWindow*>(event.GetEventObject()));
        if (view && view->control->id != IDC_STATIC) Act([this, view] { DlgUserHelp(dialog_, view->control->id); });
    });
    // Whatever ended the dialog (an action, the shown listener), the loop ends with it.
    Bind(wxEVT_IDLE, [this](wxIdleEvent& event) {
        CheckEnded();
        event.Skip();
    });
}

wxWindow* WxDialogWindow::MakeWidget(DlgControl& control, const wxRect& rect) {
    const wxString text = wxString::FromUTF8(control.text);
    // Widgets are found through their views: control identifiers need not fit the toolkit's range.
    const int id = wxID_ANY;
    switch (control.kind) {
    case DlgControlKind::Static:
        return new wxStaticText(this, id, text, rect.GetPosition(), rect.GetSize(), wxST_NO_AUTORESIZE);
    case DlgControlKind::GroupBox:
        return new wxStaticBox(this, id, text, rect.GetPosition(), rect.GetSize());
    case DlgControlKind::Icon:
        // An icon control takes the icon's own size.
        return new wxStaticBitmap(this, id, WxResourceIcon(control.source->icon, 32), rect.GetPosition(), wxSize(32, 32));
    case DlgControlKind::Button: {
        auto* button = new wxButton(this, id, text, rect.GetPosition(), rect.GetSize(), wxBU_EXACTFIT);
        if (control.style & DLGS_DEFAULT) button->SetDefault();
        return button;
    }
    case DlgControlKind::CheckBox:
        return new wxCheckBox(this, id, text, rect.GetPosition(), rect.GetSize());
    case DlgControlKind::Edit: {
        long style = 0;
        if (control.style & DLGS_PASSWORD) style |= wxTE_PASSWORD;
        if (control.style & DLGS_READONLY) style |= wxTE_READONLY;
        if (control.style & DLGS_MULTILINE) style |= wxTE_MULTILINE;
        return new wxTextCtrl(this, id, text, rect.GetPosition(), rect.GetSize(), style);
    }
    case DlgControlKind::ListBox:
        // The framework keeps the lines in order (sorted ones too): the widget shows them as given.
        if (control.style & DLGS_CHECKLIST)
            return new wxCheckListBox(this, id, rect.GetPosition(), rect.GetSize(), 0, nullptr, wxLB_SINGLE);
        return new wxListBox(this, id, rect.GetPosition(), rect.GetSize(), 0, nullptr, wxLB_SINGLE);
    case DlgControlKind::ComboBox: {
        // A drop-down list: the template's height includes the list; the box itself is one line.
        const int height = std::min(rect.height, ConvertDialogToPixels(wxSize(0, 14)).y);
        return new wxComboBox(this, id, wxString(), rect.GetPosition(), wxSize(rect.width, height), 0, nullptr,
                              wxCB_READONLY);
    }
    case DlgControlKind::Slider:
        return new wxSlider(this, id, control.position, control.low, control.high, rect.GetPosition(), rect.GetSize(),
                            (control.style & DLGS_VERTICAL) ? wxSL_VERTICAL | wxSL_INVERSE : wxSL_HORIZONTAL);
    case DlgControlKind::ProgressBar:
        return new wxGauge(this, id, std::max(control.high - control.low, 1), rect.GetPosition(), rect.GetSize());
    case DlgControlKind::ScrollBar:
        return new wxScrollBar(this, id, rect.GetPosition(), rect.GetSize(),
                               (control.style & DLGS_VERTICAL) ? wxSB_VERTICAL : wxSB_HORIZONTAL);
    }
    return nullptr;
}

// Writes the control's state into its widget; the widgets send no events for what the program
// does (ChangeValue, Set, SetValue) and writing_ keeps any that come from reaching the framework.
void WxDialogWindow::WriteView(View& view) {
    DlgControl& control = *view.control;
    wxWindow* widget = view.widget;
    ++writing_;
    const wxString text = wxString::FromUTF8(control.text);
    switch (control.kind) {
    case DlgControlKind::Static: {
        auto* label = static_cast<wxStaticText*>(widget);
        if (label->GetLabel() != text || label->GetLabel().empty() != text.empty()) {
            label->SetLabel(text);
            label->Wrap(label->GetSize().x);
        }
        break;
    }
    case DlgControlKind::GroupBox:
    case DlgControlKind::Button:
        if (widget->GetLabel() != text) widget->SetLabel(text);
        break;
    case DlgControlKind::CheckBox: {
        auto* box = static_cast<wxCheckBox*>(widget);
        if (box->GetLabel() != text) box->SetLabel(text);
        box->SetValue(control.check == BST_CHECKED);
        break;
    }
    case DlgControlKind::Edit: {
        auto* edit = static_cast<wxTextCtrl*>(widget);
        if (edit->GetValue() != text) edit->ChangeValue(text);
        if (!(control.style & DLGS_MULTILINE)) edit->SetMaxLength(static_cast<unsigned long>(std::max(control.textLimit, 0)));
        break;
    }
    case DlgControlKind::ListBox:
    case DlgControlKind::ComboBox: {
        auto* items = dynamic_cast<wxItemContainer*>(widget);
        if (view.lines != control.items) {
            wxArrayString lines;
            for (const std::string& line : control.items)
                lines.Add((control.style & DLGS_TABSTOPS) ? WxExpandTabs(line, *widget) : wxString::FromUTF8(line));
            items->Set(lines);
            view.lines = control.items;
        }
        if (auto* checks = dynamic_cast<wxCheckListBox*>(widget))
            for (size_t i = 0; i < control.itemChecks.size() && i < checks->GetCount(); ++i)
                checks->Check(static_cast<unsigned>(i), control.itemChecks[i] != 0);
        const int selection = control.selection < static_cast<int>(items->GetCount()) ? control.selection : -1;
        if (auto* list = dynamic_cast<wxListBox*>(widget)) {
            if (selection >= 0)
                list->SetSelection(selection);
            else
                list->DeselectAll();
        } else {
            static_cast<wxComboBox*>(widget)->SetSelection(selection >= 0 ? selection : wxNOT_FOUND);
        }
        break;
    }
    case DlgControlKind::Slider: {
        auto* slider = static_cast<wxSlider*>(widget);
        if (slider->GetMin() != control.low || slider->GetMax() != control.high) {
            slider->SetRange(control.low, control.high == control.low ? control.low + 1 : control.high);
        }
        slider->SetValue(control.position);
        set_ticks(slider, control.low, control.high, control.tickFrequency);
        break;
    }
    case DlgControlKind::ProgressBar: {
        auto* gauge = static_cast<wxGauge*>(widget);
        gauge->SetRange(std::max(control.high - control.low, 1));
        gauge->SetValue(control.position - control.low);
        break;
    }
    case DlgControlKind::ScrollBar:
        static_cast<wxScrollBar*>(widget)->SetScrollbar(control.position - control.low, 1, control.high - control.low + 1, 1);
        break;
    case DlgControlKind::Icon:
        break;
    }
    widget->Show(control.visible);
    if (view.badge) view.badge->Show(control.visible);
    widget->Enable(control.enabled);
    --writing_;
}

void WxDialogWindow::WriteWindowState() {
    DlgWindow* window = DlgWindowOf(dialog_);
    const wxString caption = wxString::FromUTF8(window->caption);
    if (GetTitle() != caption) SetTitle(caption);
    if (window->bigIcon) {
        wxIcon icon;
        icon.CopyFromBitmap(WxResourceIcon(static_cast<int>(reinterpret_cast<UINT_PTR>(window->bigIcon)), 32));
        SetIcon(icon);
    }
}

void WxDialogWindow::ProgramChanged(int id) {
    if (closing_) return;
    if (id == 0) {
        WriteWindowState();
        DlgWindow* window = DlgWindowOf(dialog_);
        if (ready_ && IsShown() != window->visible) wxDialog::Show(window->visible);
        for (View& view : views_) WriteView(view);
    } else if (View* view = ViewOfId(id)) {
        WriteView(*view);
        // A progress bar moves while the program works on this thread, the event loop waiting:
        // it is painted now. Only painting is done, so no input reaches the dialog meanwhile.
        if (view->control->kind == DlgControlKind::ProgressBar && IsShown()) view->widget->Update();
    }
}

WxDialogWindow::View* WxDialogWindow::ViewOf(const wxWindow* widget) {
    for (; widget && widget != this; widget = widget->GetParent())
        for (View& view : views_)
            if (view.widget == widget) return &view;
    return nullptr;
}

WxDialogWindow::View* WxDialogWindow::ViewOfId(int id) {
    for (View& view : views_)
        if (view.control->id == id && id != IDC_STATIC) return &view;
    return nullptr;
}

void WxDialogWindow::Act(const std::function<void()>& action) {
    if (writing_ || !ready_ || closing_) return;
    DlgWindow* window = DlgWindowOf(dialog_);
    if (!window || window->ended) return;
    action();
    AfterAction();
}

bool WxDialogWindow::CheckEnded() {
    if (closing_) return true;
    if (!DlgWindowOf(dialog_)->ended) return false;
    closing_ = true;
    if (loop_) loop_->ScheduleExit();
    return true;
}

void WxDialogWindow::AfterAction() {
    if (CheckEnded()) return;
    // What the user changed the widget shows already; a scroll bar shows what its owner set.
    for (View& view : views_)
        if (view.control->kind == DlgControlKind::ScrollBar) WriteView(view);
    SyncFocusLater();
}

void WxDialogWindow::SyncFocusLater() {
    if (focusPending_) return;
    focusPending_ = true;
    CallAfter([this] {
        focusPending_ = false;
        SyncFocus();
    });
}

void WxDialogWindow::Reactivate() {
    if (closing_) return;
    Raise();
    // As the platform's dialog manager does on reactivation: the control that had the focus
    // takes it again, else (it was disabled meanwhile, and with it the focus went) the first
    // control that can take it.
    DlgWindow* window = DlgWindowOf(dialog_);
    DlgControl* focused = window->find(window->focusId);
    if (!focused || !focused->takesFocus()) {
        for (const auto& control : window->controls) {
            if (control->takesFocus()) {
                Act([this, id = control->id] { DlgUserFocus(dialog_, id); });
                break;
            }
        }
    }
    SyncFocus();
}

void WxDialogWindow::SyncFocus() {
    if (closing_) return;
    View* view = ViewOfId(DlgWindowOf(dialog_)->focusId);
    if (!view || !view->widget->IsEnabled() || !view->widget->IsShown()) return;
    if (ViewOf(wxWindow::FindFocus()) != view) {
        ++writing_;
        view->widget->SetFocus();
        --writing_;
    }
}

void WxDialogWindow::BindEvents(View& view) {
    wxWindow* widget = view.widget;
    const int id = view.control->id;
    DlgControl* control = view.control;
    widget->Bind(wxEVT_SET_FOCUS, [this, id, control](wxFocusEvent& event) {
        event.Skip();
        if (control->takesFocus() && DlgWindowOf(dialog_)->focusId != id) Act([this, id] { DlgUserFocus(dialog_, id); });
    });
    switch (control->kind) {
    case DlgControlKind::Button:
        widget->Bind(wxEVT_BUTTON, [this, id](wxCommandEvent&) { Act([this, id] { DlgUserClick(dialog_, id); }); });
        break;
    case DlgControlKind::CheckBox:
        widget->Bind(wxEVT_CHECKBOX, [this, id](wxCommandEvent&) { Act([this, id] { DlgUserClick(dialog_, id); }); });
        break;
    case DlgControlKind::Edit:
        widget->Bind(wxEVT_TEXT, [this, id, widget](wxCommandEvent&) {
            const std::string text = static_cast<wxTextCtrl*>(widget)->GetValue().utf8_string();
            Act([this, id, text] { DlgUserType(dialog_, id, text); });
        });
        break;
    case DlgControlKind::ListBox:
        widget->Bind(wxEVT_LISTBOX, [this, id](wxCommandEvent& event) {
            const int index = event.GetSelection();
            if (index >= 0) Act([this, id, index] { DlgUserSelect(dialog_, id, index); });
        });
        widget->Bind(wxEVT_LISTBOX_DCLICK, [this, id](wxCommandEvent& event) {
            const int index = event.GetSelection();
            if (index >= 0) Act([this, id, index] { DlgUserDoubleClick(dialog_, id, index); });
        });
        widget->Bind(wxEVT_CHECKLISTBOX, [this, id, widget](wxCommandEvent& event) {
            const int index = event.GetInt();
            const bool checked = static_cast<wxCheckListBox*>(widget)->IsChecked(static_cast<unsigned>(index));
            Act([this, id, index, checked] { DlgUserCheckItem(dialog_, id, index, checked); });
            // A line the program would not let change shows what the framework holds.
            if (!closing_) ProgramChanged(id);
        });
        break;
    case DlgControlKind::ComboBox:
        widget->Bind(wxEVT_COMBOBOX, [this, id](wxCommandEvent& event) {
            const int index = event.GetSelection();
            if (index >= 0) Act([this, id, index] { DlgUserSelect(dialog_, id, index); });
        });
        widget->Bind(wxEVT_COMBOBOX_CLOSEUP, [this, id](wxCommandEvent&) { Act([this, id] { DlgUserCloseDropDown(dialog_, id); }); });
        break;
    case DlgControlKind::Slider:
        widget->Bind(wxEVT_SLIDER, [this, id](wxCommandEvent& event) {
            const int position = event.GetInt();
            Act([this, id, position] { DlgUserScroll(dialog_, id, position); });
        });
        break;
    case DlgControlKind::ScrollBar: {
        auto scrolled = [this, id, control](wxScrollEvent& event) {
            const int position = control->low + event.GetPosition();
            Act([this, id, position] { DlgUserScroll(dialog_, id, position); });
        };
        for (auto type : {wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_LINEDOWN, wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN,
                          wxEVT_SCROLL_THUMBRELEASE, wxEVT_SCROLL_TOP, wxEVT_SCROLL_BOTTOM})
            widget->Bind(type, scrolled);
        break;
    }
    default:
        break;
    }
}

// The keys the platform's dialog manager handles itself: Enter (the focused push button, else
// the default one), Escape, F1 (help on the control with the focus), Shift+F1 (the title bar's
// help button: the next click names the control) and Alt+Space (the system menu).
void WxDialogWindow::OnCharHook(wxKeyEvent& event) {
    if (!DialogKey(event.GetKeyCode(), event.GetModifiers())) event.Skip();
}

bool WxDialogWindow::DialogKey(int key, int modifiers) {
    DlgWindow* window = DlgWindowOf(dialog_);
    DlgControl* focused = window->find(window->focusId);
    if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && modifiers == wxMOD_NONE) {
        if (focused && focused->kind == DlgControlKind::Edit && (focused->style & DLGS_MULTILINE)) return false;
        Act([this] { DlgUserEnter(dialog_); });
        return true;
    }
    if (key == WXK_ESCAPE && modifiers == wxMOD_NONE) {
        Act([this] { DlgUserEscape(dialog_); });
        return true;
    }
    if (key == WXK_F1 && modifiers == wxMOD_SHIFT) {
        ContextHelpMode();
        return true;
    }
    if (key == WXK_F1 && modifiers == wxMOD_NONE) {
        if (focused) Act([this, id = focused->id] { DlgUserHelp(dialog_, id); });
        return true;
    }
    if (key == WXK_SPACE && modifiers == wxMOD_ALT) {
        ShowSystemMenu();
        return true;
    }
    return false;
}

void WxDialogWindow::ShowSystemMenu() {
    if (!(DlgWindowOf(dialog_)->source->style & DLGW_SYSMENU) || !ready_ || closing_) return;
    // Menu identifiers are the item's place, clear of the toolkit's own.
    const int kFirst = 1000;
    std::vector<UINT> commands = {SC_CLOSE};
    wxMenu menu;
    menu.Append(kFirst, "&Close\tAlt+F4");
    for (const DlgSystemMenuItem& item : DlgWindowOf(dialog_)->systemMenu) {
        if (item.flags & MF_SEPARATOR) {
            menu.AppendSeparator();
            continue;
        }
        menu.Append(kFirst + static_cast<int>(commands.size()), wxString::FromUTF8(item.text));
        commands.push_back(item.id);
    }
    const int chosen = GetPopupMenuSelectionFromUser(menu, wxPoint(0, 0)) - kFirst;
    if (chosen < 0 || chosen >= static_cast<int>(commands.size())) return;
    const UINT command = commands[chosen];
    Act([this, command] { DlgUserSysCommand(dialog_, command); });
}

void WxDialogWindow::ContextHelpMode() {
    if (!(DlgWindowOf(dialog_)->source->style & DLGW_CONTEXTHELP) || !ready_ || closing_) return;
    // The pointer becomes the help cursor; the click sends wxEVT_HELP to the control under it.
    wxContextHelp help(this);
}

void WxDialogWindow::RunModal(const std::function<void(CDialog&)>& shown) {
    Centre();
    wxWindowDisabler others(this);
    // Input is taken from the first event the loop hands out: keys typed the moment the window
    // appears reach the dialog, into the control the framework has the focus on.
    ready_ = true;
    wxDialog::Show(DlgWindowOf(dialog_)->visible);
    SyncFocus();
    CallAfter([this, shown] {
        if (shown) shown(dialog_);
        AfterAction();
    });
    wxGUIEventLoop loop;
    loop_ = &loop;
    if (!DlgWindowOf(dialog_)->ended) loop.Run();
    loop_ = nullptr;
    closing_ = true;
    wxDialog::Show(false);
}
