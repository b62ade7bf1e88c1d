// The windowed backend: wxWidgets started beside the program's own main, dialogs run as
// WxDialogWindow, message boxes as the toolkit's message dialog.
#include <wx_backend.h>

#include "wx_dialog_window.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <gdk/gdk.h>

#include <stdlib.h>

#include <algorithm>

void wx_compact_style();

namespace {

bool g_started = false;

class DialogsApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

bool has_display() {
    const char* x11 = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

bool WxDialogsStart(int& argc, char** argv, std::string& error) {
    if (g_started) return true;
    if (!has_display()) {
        error = "no display: DISPLAY (or WAYLAND_DISPLAY) is not set";
        return false;
    }
    wxApp::SetInstance(new DialogsApp);
    if (!wxEntryStart(argc, argv)) {
        error = std::string("cannot open the display ") + (getenv("DISPLAY") ? getenv("DISPLAY") : "");
        wxEntryCleanup();
        return false;
    }
    if (!wxTheApp->CallOnInit()) {
        error = "the window toolkit did not start";
        wxEntryCleanup();
        return false;
    }
    // The program ends when its main does, not when a window closes.
    wxTheApp->SetExitOnFrameDelete(false);
    wx_compact_style();
    g_started = true;
    return true;
}

void WxDialogsStop() {
    if (!g_started) return;
    g_started = false;
    wxTheApp->OnExit();
    wxEntryCleanup();
}

WxBackend::WxBackend() = default;

WxBackend::~WxBackend() {
    if (busy_) wxEndBusyCursor();
}

void WxBackend::RunModal(CDialog& dialog) {
    // Deleted here, once its loop has ended: the dialog and its window go together.
    auto* window = new WxDialogWindow(dialog, nullptr);
    auto* parent = dynamic_cast<WxDialogWindow*>(window->GetParent());
    window->RunModal(shown_);
    delete window;
    // The window it was opened over is active again and takes the keys.
    if (parent) parent->Reactivate();
}

void WxBackend::Changed(CDialog& dialog, int controlId) {
    if (WxDialogWindow* window = WxDialogWindow::Of(dialog)) window->ProgramChanged(controlId);
}

void WxBackend::WaitCursor(bool wait) {
    if (wait == busy_) return;
    busy_ = wait;
    if (wait)
        wxBeginBusyCursor();
    else
        wxEndBusyCursor();
    // The program works on without the event loop: the cursor goes to the display now.
    if (GdkDisplay* display = gdk_display_get_default()) gdk_display_flush(display);
}

namespace {

long box_style(UINT type) {
    long style = 0;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_RETRYCANCEL: style = wxOK | wxCANCEL; break;
    case MB_YESNOCANCEL:
    case MB_ABORTRETRYIGNORE: style = wxYES_NO | wxCANCEL; break;
    case MB_YESNO: style = wxYES_NO; break;
    default: style = wxOK; break;
    }
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP: style |= wxICON_ERROR; break;
    case MB_ICONQUESTION: style |= wxICON_QUESTION; break;
    case MB_ICONEXCLAMATION: style |= wxICON_EXCLAMATION; break;
    case MB_ICONINFORMATION: style |= wxICON_INFORMATION; break;
    default: style |= wxICON_NONE; break;
    }
    const UINT defaultButton = type & MB_DEFMASK;
    if (defaultButton == MB_DEFBUTTON2) style |= (style & wxYES_NO) ? wxNO_DEFAULT : wxCANCEL_DEFAULT;
    if (defaultButton == MB_DEFBUTTON3 && (style & wxCANCEL)) style |= wxCANCEL_DEFAULT;
    return style;
}

// The button pressed, as the platform answers it. A box closed without a button (Escape, the
// close box) answers as its Cancel button, or as its only button; a Yes/No box cannot be closed
// so on the platform, and answers No, the answer that changes nothing.
int box_answer(UINT type, int pressed) {
    const std::vector<int> answers = DlgBoxAnswers(type);
    int answer = 0;
    switch (type & MB_TYPEMASK) {
    case MB_RETRYCANCEL: answer = pressed == wxID_OK ? IDRETRY : IDCANCEL; break;
    case MB_ABORTRETRYIGNORE: answer = pressed == wxID_YES ? IDABORT : pressed == wxID_NO ? IDRETRY : IDIGNORE; break;
    default:
        answer = pressed == wxID_OK ? IDOK : pressed == wxID_YES ? IDYES : pressed == wxID_NO ? IDNO : IDCANCEL;
        break;
    }
    if (std::find(answers.begin(), answers.end(), answer) != answers.end()) return answer;
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : answers.front();
}

}  // namespace

int WxBackend::MessageBox(CDialog* owner, const char* text, const char* caption, UINT type) {
    WxDialogWindow* parent = owner ? WxDialogWindow::Of(*owner) : nullptr;
    if (!parent)
        for (CDialog* open : DlgOpenWindows())
            if (WxDialogWindow* window = WxDialogWindow::Of(*open)) parent = window;
    wxMessageDialog box(parent, wxString::FromUTF8(text), wxString::FromUTF8(caption), box_style(type));
    if ((type & MB_TYPEMASK) == MB_RETRYCANCEL) box.SetOKCancelLabels("&Retry", "Cancel");
    if ((type & MB_TYPEMASK) == MB_ABORTRETRYIGNORE) box.SetYesNoCancelLabels("&Abort", "&Retry", "&Ignore");
    // A box shown under the wait cursor still takes the pointer.
    const bool wasBusy = busy_;
    if (wasBusy) wxEndBusyCursor();
    const int pressed = box.ShowModal();
    if (wasBusy) wxBeginBusyCursor();
    // The owner is active again and takes the keys (the platform reactivates it).
    if (parent) parent->Reactivate();
    return box_answer(type, pressed);
}
