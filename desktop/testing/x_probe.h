// What a test reads from and does on its X display, as the person at the machine would see and
// do it: windows by title, the clipboard, a window manager's close, keys and clicks (xdotool).
// Used from the test's thread only.
#pragma once

#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace qf_test {

class XProbe {
public:
    explicit XProbe(const std::string& display);
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    // The window's _NET_WM_NAME, else its WM_NAME ("" when it has none or is gone).
    std::string title(unsigned long window);
    // The mapped windows titled title, anywhere in the window tree.
    std::vector<unsigned long> windowsTitled(const std::string& title);
    // Asks window to close, as a window manager does for its close button (WM_DELETE_WINDOW).
    void askToClose(unsigned long window);
    // The CLIPBOARD selection as text ("" when nobody owns it or it has no text).
    std::string clipboard();
    // Runs xdotool with args on the display; its exit code, -1 when it did not end in time.
    int xdotool(const std::vector<std::string>& args);

private:
    void collect(unsigned long parent, const std::string& title, int depth, std::vector<unsigned long>& found);

    std::string name_;
    Display* display_;
    unsigned long requestor_ = 0;
};

}  // namespace qf_test
