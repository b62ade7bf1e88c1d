#include "xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

namespace tray_test {

namespace {

const int kStartMs = 10000;

}  // namespace

XvfbServer::XvfbServer() {
    int number[2];
    if (pipe(number) != 0) throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, number[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string fd = std::to_string(number[1]);
    char* argv[] = {const_cast<char*>(XVFB), const_cast<char*>("-displayfd"), const_cast<char*>(fd.c_str()),
                    const_cast<char*>("-screen"), const_cast<char*>("0"), const_cast<char*>("1280x1024x24"),
                    const_cast<char*>("-nolisten"), const_cast<char*>("tcp"), nullptr};
    const int spawned = posix_spawn(&server_, XVFB, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(number[1]);
    if (spawned != 0) {
        close(number[0]);
        server_ = -1;
        throw std::runtime_error("cannot start " XVFB);
    }
    // The server writes its display number and a newline once it accepts connections.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartMs);
    std::string line;
    char c = 0;
    while (c != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        struct pollfd waiting = {number[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&waiting, 1, (int)left.count()) != 1 || read(number[0], &c, 1) != 1) break;
        if (c != '\n') line += c;
    }
    close(number[0]);
    if (c != '\n' || line.empty()) {
        kill(server_, SIGKILL);
        waitpid(server_, nullptr, 0);
        server_ = -1;
        throw std::runtime_error("Xvfb named no display within " + std::to_string(kStartMs) + " ms");
    }
    display_ = ":" + line;
}

XvfbServer::~XvfbServer() {
    if (server_ <= 0) return;
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
}

}  // namespace tray_test
