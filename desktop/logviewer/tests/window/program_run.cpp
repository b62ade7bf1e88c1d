#include "program_run.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;

namespace logviewer_test {

namespace {

long long now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// Waits for pid until deadlineMs; false when it is still running then.
bool wait_until(pid_t pid, long long deadlineMs, int& status) {
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return true;
        if (done < 0 && errno != EINTR) return true;
        if (now_ms() >= deadlineMs) return false;
        usleep(20 * 1000);
    }
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      int timeoutSeconds) {
    ProgramRun run;
    char outputName[] = "/tmp/logviewer-run-XXXXXX";
    const int output = mkostemp(outputName, O_CLOEXEC);  // the program gets it through dup2
    if (output < 0) {
        run.failure = "no temporary file";
        return run;
    }
    unlink(outputName);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    for (const std::string& entry : environment) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        for (auto it = env.begin(); it != env.end();) it = it->rfind(name, 0) == 0 ? env.erase(it) : it + 1;
        env.push_back(entry);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, output, 2);
    pid_t pid = -1;
    const int started = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        close(output);
        run.failure = argv[0] + " cannot be started: " + strerror(started);
        return run;
    }
    int status = 0;
    if (!wait_until(pid, now_ms() + timeoutSeconds * 1000LL, status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        run.failure = argv[0] + " did not end within " + std::to_string(timeoutSeconds) + " seconds";
    } else {
        run.finished = true;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    lseek(output, 0, SEEK_SET);
    char buffer[4096];
    ssize_t got;
    while ((got = read(output, buffer, sizeof(buffer))) > 0) run.output.append(buffer, static_cast<size_t>(got));
    close(output);
    return run;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace logviewer_test
