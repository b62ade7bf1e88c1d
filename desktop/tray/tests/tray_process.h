// quillfence-tray run by a test: on a machine root and a session bus of the test's own, its
// standard error kept in a file.
#pragma once

#include <test_program.h>

#include <string>

namespace tray_test {

class TrayProcess {
public:
    // Starts program --root root with DBUS_SESSION_BUS_ADDRESS=busAddress; errorsFile takes its
    // standard error (appended to). display is its DISPLAY; with none given, it has no display at
    // all. Throws when it cannot be started.
    TrayProcess(const std::string& program, const std::string& root, const std::string& busAddress,
                const std::string& errorsFile, const std::string& display = "");

    // Sends signal and waits up to timeoutMs for the end: the exit code, 128 + the signal that
    // killed it, or -1 when it did not end in time (it is then killed).
    int stop(int signal, int timeoutMs = 10000) { return program_.stop(signal, timeoutMs); }
    // Waits up to timeoutMs for it to end by itself: the exit code (or 128 + the signal), or -1
    // when it still runs.
    int wait(int timeoutMs) { return program_.wait(timeoutMs); }
    // What it has written to standard error so far.
    std::string errors() const { return program_.errors(); }

private:
    qf_test::TestProgram program_;
};

}  // namespace tray_test
