// The windowed backend of the dialog framework: each dialog becomes a wxWidgets (GTK) dialog built
// from its template, and each message box a native message dialog. What the person does goes
// through the framework's DlgUser* functions, so the dialog classes hear exactly what they hear
// on the headless backend.
#pragma once

#include <dlg_backend.h>

#include <functional>
#include <string>

// Starts wxWidgets for a program that keeps its own main. False, with the reason in error, when
// there is no display to open.
bool WxDialogsStart(int& argc, char** argv, std::string& error);
// Ends what WxDialogsStart started (safe to call when it failed).
void WxDialogsStop();

class WxBackend : public DlgBackend {
public:
    WxBackend();
    ~WxBackend() override;
    WxBackend(const WxBackend&) = delete;
    WxBackend& operator=(const WxBackend&) = delete;

    void RunModal(CDialog& dialog) override;
    int MessageBox(CDialog* owner, const char* text, const char* caption, UINT type) override;
    void Changed(CDialog& dialog, int controlId) override;
    void WaitCursor(bool wait) override;

    // Called once for each dialog when its window is on the screen (a test takes its picture
    // there); the listener may end the dialog.
    void SetShownListener(std::function<void(CDialog&)> listener) { shown_ = std::move(listener); }

private:
    std::function<void(CDialog&)> shown_;
    bool busy_ = false;
};
