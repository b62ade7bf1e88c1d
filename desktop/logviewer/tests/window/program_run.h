// The programs a window test runs (the viewer, the machine's set-up), each with a deadline.
#pragma once

#include <string>
#include <vector>

namespace logviewer_test {

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
