// A private X server for a window test: Xvfb on a display number it picks itself (-displayfd,
// so tests running side by side never share one), 1280x1024x24, no TCP, no reset between
// clients. It is stopped, and waited for, when the object goes.
#pragma once

#include <sys/types.h>

#include <string>

namespace qf_test {

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts the server and waits (at most timeoutMs) until it takes clients. False, with the
    // reason in error, when it does not start in time.
    bool Start(std::string& error, int timeoutMs = 20000);
    // ":N" once started.
    const std::string& display() const { return display_; }
    // The server's process (-1 when not started), for a test that must spare it.
    pid_t pid() const { return pid_; }
    // Sets DISPLAY for this process (and the programs it starts) to the server.
    void Export() const;
    void Stop();

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace qf_test
