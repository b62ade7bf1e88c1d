// The machine root and the mapping of Windows paths into it.
#include <qf/machine_root.h>

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

namespace qf {

std::string machine_root() {
    if (const char* root = getenv("QUILLFENCE_ROOT"); root && *root) return root;
    if (const char* data = getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/quillfence";
    const char* home = getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/quillfence";
}

namespace {

// The entry of dir whose name equals name without regard to case; name itself when none does.
std::string match_component(const std::string& dir, const std::string& name) {
    struct stat st;
    std::string exact = dir + "/" + name;
    if (lstat(exact.c_str(), &st) == 0) return name;
    DIR* d = opendir(dir.c_str());
    if (!d) return name;
    std::string found = name;
    while (dirent* entry = readdir(d)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

std::vector<std::string> split_components(const char* path) {
    std::vector<std::string> parts;
    std::string current;
    for (const char* p = path; *p; ++p) {
        if (*p == '\\' || *p == '/') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

}  // namespace

bool map_windows_path(const char* windowsPath, std::string& linuxPath) {
    if (!windowsPath || !*windowsPath) return false;
    const char* rest;
    if (windowsPath[1] == ':') {
        char drive = windowsPath[0];
        if (drive != 'C' && drive != 'c') return false;
        rest = windowsPath + 2;
    } else if (is_separator(windowsPath[0])) {
        // "\\server\share" and "\\?\" device paths name no place on drive C:.
        if (is_separator(windowsPath[1])) return false;
        rest = windowsPath;  // "\dir\file": from the root of the current drive, C:
    } else {
        std::string result = windowsPath;
        for (char& c : result)
            if (c == '\\') c = '/';
        linuxPath = result;
        return true;
    }
    const std::string base = machine_root() + "/drive_c";
    std::string result = base;
    for (const std::string& part : split_components(rest)) {
        if (part == ".") continue;
        if (part == "..") {
            // Never above the drive's root, as on Windows.
            if (result.size() > base.size()) result.resize(result.rfind('/'));
            continue;
        }
        result += "/" + match_component(result, part);
    }
    linuxPath = result;
    return true;
}

}  // namespace qf
