// _spawnl: a Windows program path becomes a Linux program under the machine root; the arguments
// travel as one command line, as on Windows, and reach the program split by the C runtime's rules.
#include <process.h>

#include <qf/machine_root.h>

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdarg.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

// The arguments of a command line as the C runtime's start-up code splits it.
std::vector<std::string> split_command_line(const std::string& line) {
    std::vector<std::string> arguments;
    size_t i = 0;
    const size_t n = line.size();
    for (;;) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= n) break;
        std::string argument;
        bool quoted = false;
        while (i < n && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            size_t backslashes = 0;
            while (i < n && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && line[i] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                } else if (quoted && i + 1 < n && line[i + 1] == '"') {
                    argument += '"';  // "" inside quotes is one quotation mark
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument.append(backslashes, '\\');
                if (i < n && (quoted || (line[i] != ' ' && line[i] != '\t'))) argument += line[i++];
            }
        }
        arguments.push_back(argument);
    }
    return arguments;
}

}  // namespace

extern "C" intptr_t _spawnl(int mode, const char* cmdname, const char* arg0, ...) {
    if (mode != _P_WAIT || !cmdname || !arg0) {
        errno = EINVAL;
        return -1;
    }
    std::string line = arg0;
    va_list more;
    va_start(more, arg0);
    for (const char* arg = va_arg(more, const char*); arg; arg = va_arg(more, const char*)) {
        line += ' ';
        line += arg;
    }
    va_end(more);

    std::string program;
    if (!*cmdname || !qf::map_windows_path(cmdname, program)) {
        errno = ENOENT;
        return -1;
    }
    std::vector<std::string> arguments = split_command_line(line);
    if (arguments.empty()) arguments.push_back("");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    pid_t child = 0;
    const int started = posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (started != 0) {
        errno = started;
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 3;
}
