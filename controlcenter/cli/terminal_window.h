// The Advanced settings window's part for the admin command line: progress and message boxes on
// the terminal. Message boxes with the stop icon, and internet errors, are the command's failures
// (standard error); the others are its results (standard output). Questions are not shown: the
// command line answered them before the command ran.
#pragma once

#include <advanced_window.h>

class TerminalWindow : public AdvancedWindow {
public:
    // answer: what every message box is answered with.
    explicit TerminalWindow(int answer = IDOK) : answer_(answer) {}

    LRESULT SendProgressMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void EnableButton(int, BOOL) override {}
    void Refresh() override {}
    int ShowMessageBox(const char* text, const char* caption, UINT type) override;
    void ShowWaitCursor() override {}
    void RestoreCursor() override {}
    void SetFilterUpdateMarker() override { marked_ = true; }

    bool FilterUpdateMarked() const { return marked_; }

private:
    int answer_;
    bool marked_ = false;
    // The progress bar: its range and position; the download progress is printed in quarters of
    // a 32-bit range (the announced sizes).
    long long low_ = 0;
    long long high_ = 100;
    long long position_ = 0;
    bool announced_ = false;
    int quartersShown_ = 0;
};
