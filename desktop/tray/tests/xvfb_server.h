// A private X server for one test: Xvfb on a display number it picks itself (-displayfd, so that
// tests run side by side never share one), no TCP, ended with the test.
#pragma once

#include <sys/types.h>

#include <string>

namespace tray_test {

class XvfbServer {
public:
    // Throws when the server does not start or names no display within a few seconds.
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // The value to give as DISPLAY (":N").
    const std::string& display() const { return display_; }

private:
    pid_t server_ = -1;
    std::string display_;
};

}  // namespace tray_test
