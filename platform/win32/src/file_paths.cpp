// Path checks shared by the file functions of the stand-in.
#include "file_paths.h"

#include <qf/errno_map.h>
#include <qf/machine_root.h>

#include <errno.h>
#include <sys/stat.h>

#include <cstring>

namespace qf {
namespace {

// Characters Windows refuses in file names; ':' only after a drive letter.
bool has_invalid_name_characters(const char* path) {
    const char* p = path;
    if (p[0] && p[1] == ':') p += 2;
    for (; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 32 || std::strchr("<>\"|?*:", c)) return true;
    }
    return false;
}

}  // namespace

bool map_file_path(const char* windowsPath, std::string& linuxPath) {
    if (!windowsPath || !*windowsPath) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (has_invalid_name_characters(windowsPath)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (!map_windows_path(windowsPath, linuxPath)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return true;
}

std::string parent_folder(const std::string& linuxPath) {
    size_t cut = linuxPath.find_last_of('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return linuxPath.substr(0, cut);
}

DWORD file_error_from_errno(int errnoValue, const std::string& linuxPath) {
    if (errnoValue == ENOENT) {
        struct stat st;
        std::string folder = parent_folder(linuxPath);
        return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    return win32_error_from_errno(errnoValue);
}

void set_file_error(int errnoValue, const std::string& linuxPath) {
    SetLastError(file_error_from_errno(errnoValue, linuxPath));
}

}  // namespace qf
