#include "private_xvfb.h"

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

void stop(pid_t pid) {
    int status = 0;
    kill(pid, SIGTERM);
    if (!wait_until(pid, now_ms() + 5000, status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
}

}  // namespace

PrivateXvfb::~PrivateXvfb() {
    if (pid_ > 0) stop(pid_);
}

bool PrivateXvfb::Start(std::string& error) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);  // dup2 clears close-on-exec
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {XVFB_PROGRAM, "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", nullptr};
    const int started = posix_spawn(&pid_, XVFB_PROGRAM, &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (started != 0) {
        close(fds[0]);
        pid_ = -1;
        error = std::string("Xvfb cannot be started: ") + strerror(started);
        return false;
    }
    std::string number;
    const long long deadline = now_ms() + 20000;
    while (number.empty() || number.back() != '\n') {
        const long long left = deadline - now_ms();
        pollfd p = {fds[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char c;
        if (read(fds[0], &c, 1) != 1) break;
        number += c;
    }
    close(fds[0]);
    if (number.size() < 2 || number.back() != '\n') {
        error = "Xvfb gave no display within 20 seconds";
        return false;
    }
    number.pop_back();
    display_ = ":" + number;
    return true;
}

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      int timeoutSeconds) {
    ProgramRun run;
    char outputName[] = "/tmp/logviewer-run-XXXXXX";
    const int output = mkstemp(outputName);
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
