// quillfence-tray run by a test: on a machine root and a session bus of the test's own, its
// standard error kept in a file.
#pragma once

#include <sys/types.h>

#include <string>

namespace tray_test {

class TrayProcess {
public:
    // Starts program --root root with DBUS_SESSION_BUS_ADDRESS=busAddress; errorsFile takes its
    // standard error. display is its DISPLAY; with none given, it has no display at all.
    TrayProcess(const std::string& program, const std::string& root, const std::string& busAddress,
                const std::string& errorsFile, const std::string& display = "");
    // Kills it when it still runs.
    ~TrayProcess();
    TrayProcess(const TrayProcess&) = delete;
    TrayProcess& operator=(const TrayProcess&) = delete;

    // Sends signal and waits up to timeoutMs for the end: the exit code, 128 + the signal that
    // killed it, or -1 when it did not end in time (it is then killed).
    int stop(int signal, int timeoutMs = 10000);
    // Waits up to timeoutMs for it to end by itself: the exit code (or 128 + the signal), or -1
    // when it still runs.
    int wait(int timeoutMs);
    // What it has written to standard error so far.
    std::string errors() const;

private:
    pid_t pid_ = -1;
    std::string errorsFile_;
};

}  // namespace tray_test
