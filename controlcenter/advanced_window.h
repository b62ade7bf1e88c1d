// What the filter update and the log buttons ask of the Advanced settings window (template 143):
// its progress bar, its buttons, a repaint, message boxes, the wait cursor and the filter
// update's change marker. The window implements it; the admin command line implements it on the
// terminal.
#pragma once

#include <windows.h>

// The Advanced settings window's controls that the filter update and the log buttons use.
constexpr int kViewLogButton = 1011;
constexpr int kUpdateFilterButton = 1013;
constexpr int kEraseLogButton = 1016;
constexpr int kUpdateProgressBar = 1018;

class AdvancedWindow {
public:
    // Sends message (PBM_SETRANGE, PBM_SETRANGE32, PBM_SETPOS or PBM_DELTAPOS) to the progress
    // bar kUpdateProgressBar and answers its result.
    virtual LRESULT SendProgressMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Enables (TRUE) or disables (FALSE) the button id.
    virtual void EnableButton(int id, BOOL enable) = 0;
    // Repaints the window at once (UpdateWindow): the window's thread is busy until the work ends.
    virtual void Refresh() = 0;
    // A modal message box owned by the window, type an MB_* combination; answers the button
    // pressed (IDOK, IDYES, IDNO, ...).
    virtual int ShowMessageBox(const char* text, const char* caption, UINT type) = 0;
    // The wait cursor (IDC_WAIT) while the log viewer runs, and the cursor before it.
    virtual void ShowWaitCursor() = 0;
    virtual void RestoreCursor() = 0;
    // Sets the change marker of the filter update, so that Done offers to activate the changes.
    virtual void SetFilterUpdateMarker() = 0;

protected:
    ~AdvancedWindow() = default;
};
