#include "test_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace qf_test {

namespace {

std::string read_whole(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// "NAME=" of an entry "NAME=value" or "NAME".
std::string name_of(const std::string& entry) { return entry.substr(0, entry.find('=')) + "="; }

}  // namespace

TestProgram::TestProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extra,
                               const std::string& outputFile, const std::string& errorsFile,
                               const std::string& inputFile)
    : outputFile_(outputFile), errorsFile_(errorsFile) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        bool replaced = false;
        for (const std::string& added : extra)
            if (strncmp(*entry, name_of(added).c_str(), name_of(added).size()) == 0) replaced = true;
        if (!replaced) environment.push_back(*entry);
    }
    for (const std::string& added : extra)
        if (added.find('=') != std::string::npos) environment.push_back(added);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(&entry[0]);
    envp.push_back(nullptr);
    std::vector<std::string> words = argv;
    std::vector<char*> args;
    for (std::string& word : words) args.push_back(&word[0]);
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputFile.empty() ? "/dev/null" : inputFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errorsFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int spawned = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + argv[0] + ": " + strerror(spawned));
    }
}

TestProgram::~TestProgram() {
    if (pid_ > 0) stop(SIGKILL);
}

int TestProgram::wait(int timeoutMs) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) != pid_) {
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int TestProgram::stop(int signal, int timeoutMs) {
    if (pid_ <= 0) return -1;
    kill(pid_, signal);
    const int code = wait(timeoutMs);
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    return code;
}

std::string TestProgram::output() const { return read_whole(outputFile_); }
std::string TestProgram::errors() const { return read_whole(errorsFile_); }

ProgramResult run_to_end(const std::vector<std::string>& argv, const std::string& input, const std::string& folder,
                         int deadlineMs) {
    const std::string in = folder + "/run.in", out = folder + "/run.out", err = folder + "/run.err";
    std::ofstream(in) << input;
    unlink(out.c_str());
    unlink(err.c_str());
    TestProgram program(argv, {}, out, err, in);
    ProgramResult result;
    result.exitCode = program.wait(deadlineMs);
    if (program.running()) program.stop(SIGKILL);
    result.out = program.output();
    result.err = program.errors();
    unlink(in.c_str());
    return result;
}

}  // namespace qf_test
