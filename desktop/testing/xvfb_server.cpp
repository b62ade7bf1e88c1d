#include "xvfb_server.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace qf_test {

namespace {

// The descriptor Xvfb writes its display number to.
const int kDisplayFd = 3;
const int kStopMs = 3000;

long long milliseconds_left(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
}

}  // namespace

XvfbServer::~XvfbServer() { Stop(); }

bool XvfbServer::Start(std::string& error, int timeoutMs) {
    if (pid_ > 0) return true;
    // Close-on-exec, so that no other program the test starts keeps the pipe open; the server
    // gets its end through dup2, which clears the flag.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kDisplayFd);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string fd = std::to_string(kDisplayFd);
    const char* argv[] = {XVFB_PROGRAM, "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                          "-nolisten", "tcp", "-noreset", nullptr};
    const int started = posix_spawn(&pid_, XVFB_PROGRAM, &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (started != 0) {
        close(fds[0]);
        pid_ = -1;
        error = std::string("Xvfb cannot be started (" XVFB_PROGRAM "): ") + strerror(started);
        return false;
    }
    // Xvfb writes its display number and a newline when it takes clients.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string number;
    bool done = false;
    while (!done) {
        const long long left = milliseconds_left(deadline);
        if (left <= 0) break;
        pollfd wait = {fds[0], POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left)) <= 0) continue;
        char c;
        if (read(fds[0], &c, 1) != 1) break;  // the server ended without naming a display
        if (c == '\n')
            done = !number.empty();
        else
            number += c;
    }
    close(fds[0]);
    if (!done) {
        int status = 0;
        const bool ended = waitpid(pid_, &status, WNOHANG) == pid_;
        if (ended) pid_ = -1;
        Stop();
        error = ended ? "Xvfb ended at start" : "Xvfb did not take clients within " + std::to_string(timeoutMs) + " ms";
        return false;
    }
    display_ = ":" + number;
    return true;
}

void XvfbServer::Export() const { setenv("DISPLAY", display_.c_str(), 1); }

void XvfbServer::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    // Waits a few seconds for the server to go, then makes it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopMs);
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(pid_, &status, WNOHANG)) == 0 || (ended < 0 && errno == EINTR)) {
        if (milliseconds_left(deadline) <= 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    display_.clear();
}

}  // namespace qf_test
