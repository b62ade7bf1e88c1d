#include "xvfb_server.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace qf_test {

namespace {

long long milliseconds_left(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
}

}  // namespace

XvfbServer::~XvfbServer() { Stop(); }

bool XvfbServer::Start(std::string& error, int timeoutMs) {
    if (pid_ > 0) return true;
    int fds[2];
    if (pipe(fds) != 0) {
        error = std::string("pipe: ") + strerror(errno);
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        error = std::string("fork: ") + strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        const int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, STDIN_FILENO);
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
        }
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    pid_ = child;
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
        const ssize_t got = read(fds[0], &c, 1);
        if (got <= 0) break;  // the server ended without naming a display
        if (c == '\n')
            done = !number.empty();
        else
            number += c;
    }
    close(fds[0]);
    if (!done) {
        int status = 0;
        const bool ended = waitpid(pid_, &status, WNOHANG) == pid_;
        Stop();
        error = ended ? "Xvfb ended at start (is it installed?)" : "Xvfb did not take clients within " +
                                                                       std::to_string(timeoutMs) + " ms";
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
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
