#include "tray_process.h"

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
#include <vector>

extern char** environ;

namespace tray_test {

TrayProcess::TrayProcess(const std::string& program, const std::string& root, const std::string& busAddress,
                         const std::string& errorsFile, const std::string& display)
    : errorsFile_(errorsFile) {
    // Nothing of the desktop the tests run in: no display but the test's own. The leak check's
    // options (the toolkits' suppressions of the window tests) are inherited.
    const char* const replaced[] = {"DBUS_SESSION_BUS_ADDRESS=", "DISPLAY=", "WAYLAND_DISPLAY="};
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        bool keep = true;
        for (const char* name : replaced)
            if (strncmp(*entry, name, strlen(name)) == 0) keep = false;
        if (keep) environment.push_back(*entry);
    }
    environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress);
    if (!display.empty()) {
        environment.push_back("DISPLAY=" + display);
        // No accessibility bus and no settings daemon on the test's bus.
        environment.push_back("NO_AT_BRIDGE=1");
        environment.push_back("GSETTINGS_BACKEND=memory");
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(&entry[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorsFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--root"), const_cast<char*>(root.c_str()),
                    nullptr};
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + program);
    }
}

TrayProcess::~TrayProcess() {
    if (pid_ > 0) stop(SIGKILL);
}

int TrayProcess::stop(int signal, int timeoutMs) {
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

int TrayProcess::wait(int timeoutMs) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(pid_, &status, WNOHANG);
        if (ended == pid_) break;
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

std::string TrayProcess::errors() const {
    std::ifstream in(errorsFile_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace tray_test
