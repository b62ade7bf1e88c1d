// A program of the system started by a desktop test as the person's session starts it: its own
// environment additions, standard output and error kept in files (appended to, so that a file a
// test gives to the programs it starts one after another keeps all they said), every wait with a
// deadline, killed when the object goes while it still runs.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qf_test {

class TestProgram {
public:
    // Starts argv[0] with the test's environment and extra ("NAME=value" replaces a variable of
    // that name, "NAME" alone removes it); its standard input is inputFile ("" for /dev/null), its
    // standard output and error go to outputFile and errorsFile ("/dev/null" for neither).
    // Throws when it cannot be started.
    TestProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extra,
                const std::string& outputFile, const std::string& errorsFile, const std::string& inputFile = "");
    ~TestProgram();
    TestProgram(const TestProgram&) = delete;
    TestProgram& operator=(const TestProgram&) = delete;

    // Waits up to timeoutMs for it to end: the exit code, 128 + the signal that ended it, or -1
    // while it still runs.
    int wait(int timeoutMs);
    // Sends signal and waits up to timeoutMs; killed when it has not ended by then (-1).
    int stop(int signal, int timeoutMs = 10000);
    bool running() const { return pid_ > 0; }

    std::string output() const;
    std::string errors() const;

private:
    pid_t pid_ = -1;
    std::string outputFile_;
    std::string errorsFile_;
};

struct ProgramResult {
    int exitCode = -1;  // -1: it did not end before the deadline and was killed
    std::string out;
    std::string err;
};

// Runs argv to its end (killed after deadlineMs) with input on its standard input; folder holds
// the files of its input and output.
ProgramResult run_to_end(const std::vector<std::string>& argv, const std::string& input, const std::string& folder,
                         int deadlineMs = 60000);

}  // namespace qf_test
