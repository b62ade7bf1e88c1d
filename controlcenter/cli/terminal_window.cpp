#include "terminal_window.h"

#include "cli_output.h"

#include <commctrl.h>
#include <stdio.h>

#include <string>

LRESULT TerminalWindow::SendProgressMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case PBM_SETRANGE:
        low_ = LOWORD(lParam);
        high_ = HIWORD(lParam);
        announced_ = false;
        return 0;
    case PBM_SETRANGE32:
        low_ = static_cast<int>(wParam);
        high_ = static_cast<int>(lParam);
        announced_ = high_ > low_;
        quartersShown_ = 0;
        if (announced_) printf("downloading %lld bytes\n", high_ - low_);
        return 0;
    case PBM_SETPOS: position_ = static_cast<int>(wParam); break;
    case PBM_DELTAPOS: position_ += static_cast<int>(wParam); break;
    default: return 0;
    }
    if (!announced_) return 0;
    const long long done = position_ - low_;
    const int quarters = static_cast<int>(done * 4 / (high_ - low_));
    for (; quartersShown_ < quarters && quartersShown_ < 4; ++quartersShown_) printf("downloaded %d%%\n", (quartersShown_ + 1) * 25);
    fflush(stdout);
    return 0;
}

int TerminalWindow::ShowMessageBox(const char* text, const char* caption, UINT type) {
    // A question was answered on the command line (--yes) before the command ran.
    if ((type & MB_TYPEMASK) == MB_YESNO) return answer_;
    const UINT icon = type & MB_ICONMASK;
    if (icon == MB_ICONSTOP || std::string(caption) == "Error") {
        DialogRefusal(text);
    } else {
        std::string shown = text;
        while (!shown.empty() && shown.back() == '\n') shown.pop_back();
        printf("%s\n", shown.c_str());
        fflush(stdout);
    }
    return answer_;
}
