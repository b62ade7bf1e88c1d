// One open dialog as a wxDialog: its widgets made from the window's controls, the program's
// changes written into them, and the person's actions handed to the framework.
#pragma once

#include <dlg_backend.h>

#include <wx/dialog.h>
#include <wx/statbmp.h>

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

class wxGUIEventLoop;

class WxDialogWindow : public wxDialog {
public:
    struct View {
        DlgControl* control;
        wxWindow* widget;
        wxStaticBitmap* badge;           // a group box's title icon (NULL for none)
        std::vector<std::string> lines;  // list and combo lines as last shown
    };

    WxDialogWindow(CDialog& dialog, wxWindow* parent);
    ~WxDialogWindow() override;

    // Shows the window and runs its event loop until the dialog has ended.
    void RunModal(const std::function<void(CDialog&)>& shown);
    // The program changed control id (0: the window itself).
    void ProgramChanged(int id);
    // A message box or child window over this one has closed: the window comes to the front and
    // the control that had the focus takes the keys again (the toolkit drops the focus of a
    // control that was disabled meanwhile, and the window would take no keys).
    void Reactivate();

    CDialog& Dialog() const { return dialog_; }
    const std::vector<View>& Views() const { return views_; }

    // The window of an open dialog, NULL when it has none (not open on this backend).
    static WxDialogWindow* Of(const CDialog& dialog);

private:
    void Build();
    wxWindow* MakeWidget(DlgControl& control, const wxRect& rect);
    void WriteView(View& view);
    void WriteWindowState();
    View* ViewOf(const wxWindow* widget);
    View* ViewOfId(int id);
    // Runs a user action when the window takes input, then ends the loop if the dialog ended and
    // puts the focus where the framework has it.
    void Act(const std::function<void()>& action);
    void AfterAction();
    // True once the dialog has ended (the loop is told to stop).
    bool CheckEnded();
    void SyncFocusLater();
    void SyncFocus();
    void ShowSystemMenu();
    void ContextHelpMode();
    void BindEvents(View& view);
    void OnCharHook(wxKeyEvent& event);
    // The keys the platform's dialog manager handles itself; false for any other key.
    bool DialogKey(int key, int modifiers);

    CDialog& dialog_;
    std::vector<View> views_;
    wxGUIEventLoop* loop_ = nullptr;
    int writing_ = 0;       // the program's state is being written into the widgets
    bool ready_ = false;    // shown and focused: input reaches the framework
    bool closing_ = false;  // ended: nothing more reaches the framework
    bool focusPending_ = false;
};

// The dialog font and the icons drawn for icon resources.
wxFont WxDialogFont();
wxBitmap WxResourceIcon(int resource, int size);
