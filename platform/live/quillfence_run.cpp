// quillfence-run [--root DIR] [--] PROGRAM [ARGS...]: runs PROGRAM with its Internet sockets
// routed through Winsock on the machine root, and so through the filter when it is on. The
// preload library and the root travel in the environment, so programs it starts are routed too.
#include <machine_root_option.h>

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] = "usage: quillfence-run [--root DIR] [--] PROGRAM [ARGS...]\n";
const char kLibrary[] = "libqflive.so";

// The directory of the libraries put into programs, as the build lays it out beside bin/.
std::string library_directory() {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0) return {};
    self[n] = 0;
    std::string path = self;
    size_t slash = path.rfind('/');
    std::string bin = slash == std::string::npos ? "." : path.substr(0, slash);
    char resolved[PATH_MAX];
    std::string dir = bin + "/" + QF_LIVE_LIBDIR_FROM_BIN;
    return realpath(dir.c_str(), resolved) ? std::string(resolved) : dir;
}

bool list_has(const std::string& list, const std::string& entry) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find_first_of(": ", start);
        if (end == std::string::npos) end = list.size();
        if (list.compare(start, end - start, entry) == 0) return true;
        start = end + 1;
    }
    return false;
}

// LD_PRELOAD: the entries that were there, then the library (once).
std::string preload_list(const std::string& library) {
    const char* existing = getenv("LD_PRELOAD");
    std::string list = existing ? existing : "";
    if (!list_has(list, library)) list = list.empty() ? library : list + ":" + library;
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    bool rootGiven = false;
    std::string root;
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "--root") {
            if (i + 1 >= argc) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            rootGiven = true;
            root = argv[++i];
            continue;
        }
        if (arg.rfind("--root=", 0) == 0) {
            rootGiven = true;
            root = arg.substr(7);
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "quillfence-run: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
        break;
    }
    if (i >= argc) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    std::string error;
    if (!SelectMachineRoot(rootGiven, root, error)) {  // sets QUILLFENCE_ROOT
        std::fprintf(stderr, "quillfence-run: %s\n", error.c_str());
        return 2;
    }
    std::string libraries = library_directory();
    std::string library = libraries + "/" + kLibrary;
    if (access(library.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "quillfence-run: cannot find %s\n", library.c_str());
        return 2;
    }
    setenv("QUILLFENCE_MODULE_PATH", libraries.c_str(), 1);
    setenv("LD_PRELOAD", preload_list(library).c_str(), 1);

    execvp(argv[i], argv + i);
    int failure = errno;
    std::fprintf(stderr, "quillfence-run: cannot run %s: %s\n", argv[i], strerror(failure));
    return failure == ENOENT ? 127 : 126;
}
