// Operations on files and folders by name: copy, move, delete, attributes, folders, the temp folder.
#include "file_paths.h"

#include <qf/errno_map.h>
#include <qf/machine_root.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace qf {
namespace {

const char kTempFolder[] = "C:\\WINDOWS\\TEMP\\";

bool is_read_only(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

bool write_all(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t put = write(fd, data, length);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += put;
        length -= static_cast<size_t>(put);
    }
    return true;
}

// Copies the open file source into a new temporary file beside destination, with the source's
// permissions and modification time; returns the temporary's path, or "" with errno set.
std::string copy_to_temporary(int source, const struct stat& sourceStat, const std::string& destination) {
    std::string temporary = destination + ".qfcopy-XXXXXX";
    int out = mkostemp(temporary.data(), O_CLOEXEC);
    if (out < 0) return "";
    char buffer[64 * 1024];
    bool ok = true;
    for (;;) {
        ssize_t got = read(source, buffer, sizeof(buffer));
        if (got < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (got == 0) break;
        if (!write_all(out, buffer, static_cast<size_t>(got))) {
            ok = false;
            break;
        }
    }
    if (ok) {
        const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
        ok = fchmod(out, sourceStat.st_mode & 07777) == 0 && futimens(out, times) == 0;
    }
    int error = errno;
    if (close(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        errno = error;
        return "";
    }
    return temporary;
}

// Copies from to to, replacing to unless failIfExists. The copy appears whole or not at all.
BOOL copy_file(const std::string& from, const std::string& to, bool failIfExists) {
    int source = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        set_file_error(errno, from);
        return FALSE;
    }
    struct stat sourceStat;
    if (fstat(source, &sourceStat) != 0) {
        set_last_error_from_errno(errno);
        close(source);
        return FALSE;
    }
    if (S_ISDIR(sourceStat.st_mode)) {
        close(source);
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    struct stat destStat;
    if (stat(to.c_str(), &destStat) == 0) {
        DWORD refusal = ERROR_SUCCESS;
        if (destStat.st_dev == sourceStat.st_dev && destStat.st_ino == sourceStat.st_ino)
            refusal = ERROR_SHARING_VIOLATION;  // a file cannot be copied over itself
        else if (failIfExists)
            refusal = ERROR_FILE_EXISTS;
        else if (S_ISDIR(destStat.st_mode) || is_read_only(destStat))
            refusal = ERROR_ACCESS_DENIED;
        if (refusal != ERROR_SUCCESS) {
            close(source);
            SetLastError(refusal);
            return FALSE;
        }
    }
    std::string temporary = copy_to_temporary(source, sourceStat, to);
    int copyError = errno;
    close(source);
    if (temporary.empty()) {
        set_file_error(copyError, to);
        return FALSE;
    }
    // link() refuses an existing name, so a file that appeared meanwhile is not overwritten.
    if (failIfExists ? link(temporary.c_str(), to.c_str()) != 0 : rename(temporary.c_str(), to.c_str()) != 0) {
        int error = errno;
        unlink(temporary.c_str());
        if (error == EEXIST)
            SetLastError(ERROR_FILE_EXISTS);
        else
            set_file_error(error, to);
        return FALSE;
    }
    if (failIfExists) unlink(temporary.c_str());
    return TRUE;
}

void sync_folder(const std::string& path) {
    int folder = open(parent_folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
}

}  // namespace
}  // namespace qf

using namespace qf;

extern "C" BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    std::string from, to;
    if (!map_file_path(lpExistingFileName, from) || !map_file_path(lpNewFileName, to)) return FALSE;
    return copy_file(from, to, bFailIfExists != FALSE);
}

extern "C" BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    const DWORD known = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
    if ((dwFlags & ~known) || !lpNewFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string from, to;
    if (!map_file_path(lpExistingFileName, from) || !map_file_path(lpNewFileName, to)) return FALSE;
    struct stat sourceStat;
    if (lstat(from.c_str(), &sourceStat) != 0) {
        set_file_error(errno, from);
        return FALSE;
    }
    const bool replace = dwFlags & MOVEFILE_REPLACE_EXISTING;
    struct stat destStat;
    bool destExists = lstat(to.c_str(), &destStat) == 0;
    if (destExists && destStat.st_dev == sourceStat.st_dev && destStat.st_ino == sourceStat.st_ino) return TRUE;
    if (destExists) {
        if (!replace) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (S_ISDIR(destStat.st_mode) || S_ISDIR(sourceStat.st_mode) || is_read_only(destStat)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    // rename() replaces atomically: a reader sees the old file or the new one, never neither.
    int result = replace ? rename(from.c_str(), to.c_str())
                         : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && !replace && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without RENAME_NOREPLACE: link + unlink keeps the no-replace promise for files.
        if (!S_ISDIR(sourceStat.st_mode) && link(from.c_str(), to.c_str()) == 0) {
            unlink(from.c_str());
            result = 0;
        } else if (S_ISDIR(sourceStat.st_mode) && lstat(to.c_str(), &destStat) != 0) {
            result = rename(from.c_str(), to.c_str());
        }
    }
    if (result != 0 && errno == EXDEV) {
        if (!(dwFlags & MOVEFILE_COPY_ALLOWED) || S_ISDIR(sourceStat.st_mode)) {
            SetLastError(ERROR_NOT_SAME_DEVICE);
            return FALSE;
        }
        if (!copy_file(from, to, !replace)) return FALSE;
        unlink(from.c_str());
        result = 0;
    }
    if (result != 0) {
        if (errno == EEXIST)
            SetLastError(ERROR_ALREADY_EXISTS);
        else if (errno == ENOTEMPTY || errno == EISDIR)
            SetLastError(ERROR_ACCESS_DENIED);
        else
            set_file_error(errno, to);
        return FALSE;
    }
    if (dwFlags & MOVEFILE_WRITE_THROUGH) sync_folder(to);
    return TRUE;
}

extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    std::string path;
    if (!map_file_path(lpFileName, path)) return FALSE;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        set_file_error(errno, path);
        return FALSE;
    }
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && is_read_only(st))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlink(path.c_str()) != 0) {
        set_file_error(errno, path);
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    std::string path;
    if (!map_file_path(lpFileName, path)) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        set_file_error(errno, path);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return FILE_ATTRIBUTE_ARCHIVE | (is_read_only(st) ? FILE_ATTRIBUTE_READONLY : 0);
}

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    (void)lpSecurityAttributes;
    std::string path;
    if (!map_file_path(lpPathName, path)) return FALSE;
    if (mkdir(path.c_str(), 0777) != 0) {
        // A missing parent is a missing path, whatever the last component.
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                                                              : win32_error_from_errno(errno));
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
    std::string path;
    if (!map_file_path(lpPathName, path)) return FALSE;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        set_file_error(errno, path);
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (rmdir(path.c_str()) != 0) {
        SetLastError(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : win32_error_from_errno(errno));
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    const DWORD length = sizeof(kTempFolder) - 1;
    if (nBufferLength <= length || !lpBuffer) return length + 1;
    // The folder exists on every Windows machine; make sure callers can use it at once.
    std::string path;
    if (map_windows_path(kTempFolder, path)) {
        for (size_t i = 1; i <= path.size(); ++i)
            if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0777);
    }
    std::memcpy(lpBuffer, kTempFolder, length + 1);
    return length;
}
