#include "session_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace qf_test {

PrivateSessionBus::PrivateSessionBus() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qf-bus-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create the bus folder");
    folder_ = pattern;
    const std::string config = folder_ + "/session.conf";
    {
        std::ofstream out(config);
        out << "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>unix:dir=" << folder_ << "</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n";
        if (!out) throw std::runtime_error("cannot write " + config);
    }
    int output[2];
    if (pipe(output) != 0) throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const std::string configOption = "--config-file=" + config;
    char* argv[] = {const_cast<char*>(DBUS_DAEMON), const_cast<char*>(configOption.c_str()),
                    const_cast<char*>("--print-address"), const_cast<char*>("--nofork"), nullptr};
    const int spawned = posix_spawn(&daemon_, DBUS_DAEMON, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        daemon_ = -1;
        throw std::runtime_error("cannot start " DBUS_DAEMON);
    }
    // The address is the first line it prints.
    std::string line;
    struct pollfd waiting = {output[0], POLLIN, 0};
    char c;
    while (poll(&waiting, 1, 10000) == 1 && read(output[0], &c, 1) == 1 && c != '\n') line += c;
    close(output[0]);
    if (line.empty()) {
        kill(daemon_, SIGKILL);
        waitpid(daemon_, nullptr, 0);
        throw std::runtime_error("dbus-daemon printed no address");
    }
    address_ = line;
}

PrivateSessionBus::~PrivateSessionBus() {
    if (daemon_ > 0) {
        kill(daemon_, SIGTERM);
        int status;
        waitpid(daemon_, &status, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

}  // namespace qf_test
