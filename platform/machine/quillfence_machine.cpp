// quillfence-machine: creates or completes a machine root, shows the policy loaded from it, and
// sets its name server.
#include "machine.h"
#include "name_server.h"

#include <qf/machine_root.h>

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>
#include <sys/stat.h>

#include <cstring>
#include <iostream>
#include <string>

namespace {

const char kUsage[] =
    "usage: quillfence-machine init [--root DIR]\n"
    "       quillfence-machine policy [--root DIR]\n"
    "       quillfence-machine set-nameserver HOST[:PORT] [--root DIR]\n"
    "       quillfence-machine demo-policy [--root DIR]\n"
    "\n"
    "  init            create the machine root, or complete it without changing what is there\n"
    "                  (the name server comes from /etc/resolv.conf)\n"
    "  policy          print the policy the filter would load from the machine root\n"
    "  set-nameserver  the IPv4 address (and port, 53 unless given) of the name server\n"
    "  demo-policy     add the demonstration's policy: blocked.quillfence.test on the disallow list,\n"
    "                  RSACi ratings filtered (level 2 the highest allowed)\n"
    "  --root          the machine root (default: $QUILLFENCE_ROOT, else $XDG_DATA_HOME/quillfence)\n";

int usage_error(const std::string& message) {
    if (!message.empty()) std::cerr << "quillfence-machine: " << message << "\n";
    std::cerr << kUsage;
    return 2;
}

// The viewer built beside this program becomes the one View Log starts, unless one is registered.
int register_log_viewer() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    std::string folder = ".";
    if (n > 0) {
        self[n] = 0;
        const char* slash = std::strrchr(self, '/');
        if (slash) folder.assign(self, slash - self);
    }
    const std::string viewer = folder + "/quillfence-log-viewer";
    std::string registered, error;
    if (!qf::machine_register_log_viewer(viewer, registered, error)) {
        if (access(viewer.c_str(), X_OK) != 0) {
            // No viewer built and none registered: View Log dumps the log and starts nothing.
            std::cout << "log viewer: none (" << viewer << " is not built)\n";
            return 0;
        }
        std::cerr << "quillfence-machine: log viewer: " << error << "\n";
        return 1;
    }
    std::cout << "log viewer: " << registered << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help"))) {
        std::cout << kUsage;
        return 0;
    }
    if (argc < 2) return usage_error("");
    const std::string command = argv[1];
    if (command != "init" && command != "policy" && command != "set-nameserver" && command != "demo-policy")
        return usage_error("unknown command '" + command + "'");
    std::string root;
    bool rootGiven = false;
    std::string server;
    bool serverGiven = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (command == "set-nameserver" && !serverGiven && !arg.empty() && arg[0] != '-') {
            server = arg;
            serverGiven = true;
        } else if (arg == "--root" && i + 1 < argc) {
            root = argv[++i];
            rootGiven = true;
        } else if (arg.rfind("--root=", 0) == 0) {
            root = arg.substr(7);
            rootGiven = true;
        } else {
            return usage_error(arg == "--root" ? "--root needs a directory" : "unexpected argument '" + arg + "'");
        }
    }
    if (rootGiven && root.empty()) return usage_error("--root needs a directory");
    if (command == "set-nameserver" && !serverGiven) return usage_error("set-nameserver needs HOST[:PORT]");
    if (command == "set-nameserver" && !qf::valid_name_server(server.data(), server.size()))
        return usage_error("'" + server + "' is not an IPv4 address with an optional :PORT");
    if (!rootGiven) root = qf::machine_root();

    struct stat st;
    bool exists = stat(root.c_str(), &st) == 0;
    if (exists && !S_ISDIR(st.st_mode)) {
        std::cerr << "quillfence-machine: the machine root " << root << " exists and is not a directory\n";
        return 2;
    }
    if (command == "init") {
        std::string error;
        if (!qf::machine_init(root, error)) {
            std::cerr << "quillfence-machine: " << error << "\n";
            return 1;
        }
        std::cout << "machine root ready: " << qf::machine_root() << "\n";
        return register_log_viewer();
    }
    const bool machine = exists && stat((root + "/registry.db").c_str(), &st) == 0;
    if (!exists || (command != "policy" && !machine)) {
        std::cerr << "quillfence-machine: there is no machine root at " << root
                  << " (create it with: quillfence-machine init --root " << root << ")\n";
        return 1;
    }
    char* absolute = realpath(root.c_str(), nullptr);
    setenv("QUILLFENCE_ROOT", absolute ? absolute : root.c_str(), 1);
    free(absolute);
    if (command == "set-nameserver") {
        std::string error;
        if (!qf::machine_set_name_server(server, error)) {
            std::cerr << "quillfence-machine: " << error << "\n";
            return 1;
        }
        std::cout << "name server: " << server << "\n";
        return 0;
    }
    if (command == "demo-policy") {
        std::string error;
        if (!qf::machine_add_demo_policy(error)) {
            std::cerr << "quillfence-machine: " << error << "\n";
            return 1;
        }
        std::cout << "disallowed site: " << qf::kDemoDisallowedSite << "\nRSACi: on, highest allowed level "
                  << qf::kDemoRsacLevel << "\n";
        return 0;
    }
    qf::machine_print_policy(std::cout);
    return 0;
}
