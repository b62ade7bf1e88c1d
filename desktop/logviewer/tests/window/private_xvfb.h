// An X server of the test's own (Xvfb on a display it picks itself), and programs run on it with a
// deadline. To be merged with desktop/testing/xvfb_server.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace logviewer_test {

class PrivateXvfb {
public:
    PrivateXvfb() = default;
    ~PrivateXvfb();  // stops the server
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    // Starts Xvfb (1280x1024x24, no TCP) and waits at most 20 seconds for its display.
    bool Start(std::string& error);
    // ":N" once started.
    const std::string& Display() const { return display_; }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

struct ProgramRun {
    bool finished = false;  // false: it could not start or was killed at the deadline
    int exitCode = -1;
    std::string output;  // standard output and standard error together
    std::string failure;
};

// Runs argv with the extra environment entries ("NAME=value"), killing it after timeoutSeconds.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      int timeoutSeconds);

std::string ReadFile(const std::string& path);

}  // namespace logviewer_test
