#include "program_run.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <test_program.h>

namespace logviewer_test {

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      int timeoutSeconds) {
    ProgramRun run;
    char outputName[] = "/tmp/logviewer-run-XXXXXX";
    const int output = mkstemp(outputName);
    if (output < 0) {
        run.failure = "no temporary file";
        return run;
    }
    close(output);
    try {
        // Standard output and error go to the one file, in the order they were written.
        qf_test::TestProgram program(argv, environment, outputName, outputName);
        run.exitCode = program.wait(timeoutSeconds * 1000);
        run.finished = !program.running();
        if (!run.finished) {
            program.stop(SIGKILL);
            run.exitCode = -1;
            run.failure = argv[0] + " did not end within " + std::to_string(timeoutSeconds) + " seconds";
        }
        run.output = program.output();
    } catch (const std::runtime_error& error) {
        run.failure = error.what();
    }
    unlink(outputName);
    return run;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace logviewer_test
