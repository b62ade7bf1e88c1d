// File handles: CreateFileA and the calls on an open file, and CloseHandle for every kind of handle.
#include "file_paths.h"

#include <qf/errno_map.h>
#include <qf/handle_table.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

namespace qf {
namespace {

class FileObject : public KernelObject {
public:
    FileObject(int fd, bool canRead, bool canWrite) : fd_(fd), canRead_(canRead), canWrite_(canWrite) {}
    ~FileObject() override { close(fd_); }

    int fd() const { return fd_; }
    bool canRead() const { return canRead_; }
    bool canWrite() const { return canWrite_; }

private:
    int fd_;
    bool canRead_;
    bool canWrite_;
};

// The open file that handle names; sets ERROR_INVALID_HANDLE when it names none.
std::shared_ptr<FileObject> file_from_handle(HANDLE handle) {
    auto file = handle_lookup_as<FileObject>(handle);
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

bool is_read_only(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

// Opens an existing file; -1 with errno when it cannot.
int open_existing(const std::string& path, int accessFlags) { return open(path.c_str(), accessFlags | O_CLOEXEC); }

// Creates a file that must not exist yet; -1 with errno (EEXIST when it does).
int create_new(const std::string& path, int accessFlags, mode_t mode) {
    return open(path.c_str(), accessFlags | O_CREAT | O_EXCL | O_CLOEXEC, mode);
}

// The position a file pointer move lands on; false when the move method is unknown.
bool target_position(int fd, int64_t distance, DWORD method, int64_t& position) {
    int64_t base;
    switch (method) {
    case FILE_BEGIN:
        base = 0;
        break;
    case FILE_CURRENT:
        base = lseek(fd, 0, SEEK_CUR);
        break;
    case FILE_END: {
        struct stat st;
        if (fstat(fd, &st) != 0) return false;
        base = st.st_size;
        break;
    }
    default:
        errno = EINVAL;
        return false;
    }
    if (base < 0) return false;
    position = base + distance;
    return true;
}

}  // namespace
}  // namespace qf

using namespace qf;

extern "C" HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)dwShareMode;
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    std::string path;
    if (!map_file_path(lpFileName, path)) return INVALID_HANDLE_VALUE;
    if (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    const bool wholeWrite = dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA);
    const bool canRead = dwDesiredAccess & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
    const bool canWrite = wholeWrite || (dwDesiredAccess & FILE_APPEND_DATA);
    const bool truncates = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING ||
        (dwCreationDisposition == TRUNCATE_EXISTING && !canWrite)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Truncation needs a writable descriptor even when the caller asked only to read.
    int accessFlags = (canWrite || truncates) ? (canRead || !canWrite ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (canWrite && !wholeWrite) accessFlags |= O_APPEND;
    const mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

    int fd = -1;
    bool existed = false;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        if (dwCreationDisposition == CREATE_NEW) {
            fd = create_new(path, accessFlags, mode);
            if (fd < 0) {
                if (errno == EEXIST) {
                    SetLastError(ERROR_FILE_EXISTS);
                } else {
                    set_file_error(errno, path);
                }
                return INVALID_HANDLE_VALUE;
            }
            break;
        }
        fd = open_existing(path, accessFlags);
        if (fd >= 0) {
            existed = true;
            break;
        }
        if (errno != ENOENT || dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING) {
            set_file_error(errno, path);
            return INVALID_HANDLE_VALUE;
        }
        fd = create_new(path, accessFlags, mode);
        if (fd < 0 && errno != EEXIST) {
            set_file_error(errno, path);
            return INVALID_HANDLE_VALUE;
        }
        // EEXIST: another opener created it between the two calls; open it as existing.
    }
    if (fd < 0) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }

    struct stat st;
    if (fstat(fd, &st) != 0) {
        int error = errno;
        close(fd);
        set_file_error(error, path);
        return INVALID_HANDLE_VALUE;
    }
    // Windows opens no folder without backup semantics, and no read-only file for writing.
    if (S_ISDIR(st.st_mode) || (existed && (canWrite || truncates) && is_read_only(st))) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (existed && truncates && ftruncate(fd, 0) != 0) {
        int error = errno;
        close(fd);
        set_file_error(error, path);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = handle_insert(std::make_shared<FileObject>(fd, canRead, canWrite));
    bool reportsExisting = existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

namespace {

// An OVERLAPPED on a synchronous handle gives the position; the file pointer ends after the data.
bool seek_to_request(int fd, const OVERLAPPED* request) {
    if (!request) return true;
    const off_t offset = static_cast<off_t>((static_cast<uint64_t>(request->OffsetHigh) << 32) | request->Offset);
    if (lseek(fd, offset, SEEK_SET) >= 0) return true;
    set_last_error_from_errno(errno);
    return false;
}

}  // namespace

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    auto file = file_from_handle(hFile);
    if (!file) return FALSE;
    if (!file->canRead()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!lpBuffer && nNumberOfBytesToRead) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (!seek_to_request(file->fd(), lpOverlapped)) return FALSE;
    char* out = static_cast<char*>(lpBuffer);
    DWORD total = 0;
    while (total < nNumberOfBytesToRead) {
        ssize_t got = read(file->fd(), out + total, nNumberOfBytesToRead - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            set_last_error_from_errno(errno);
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
            return FALSE;
        }
        if (got == 0) break;  // end of file: success with fewer bytes
        total += static_cast<DWORD>(got);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
    if (lpOverlapped) lpOverlapped->InternalHigh = total;
    return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    auto file = file_from_handle(hFile);
    if (!file) return FALSE;
    if (!file->canWrite()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!lpBuffer && nNumberOfBytesToWrite) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (!seek_to_request(file->fd(), lpOverlapped)) return FALSE;
    const char* in = static_cast<const char*>(lpBuffer);
    DWORD total = 0;
    while (total < nNumberOfBytesToWrite) {
        ssize_t put = write(file->fd(), in + total, nNumberOfBytesToWrite - total);
        if (put < 0) {
            if (errno == EINTR) continue;
            set_last_error_from_errno(errno);
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
            return FALSE;
        }
        total += static_cast<DWORD>(put);
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
    if (lpOverlapped) lpOverlapped->InternalHigh = total;
    return TRUE;
}

extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                       DWORD dwMoveMethod) {
    auto file = file_from_handle(hFile);
    if (!file) return INVALID_SET_FILE_POINTER;
    // Without the high part the distance is a signed 32-bit number; with it, the two form one
    // signed 64-bit number.
    int64_t distance = lpDistanceToMoveHigh
                           ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                                  static_cast<uint32_t>(lDistanceToMove))
                           : static_cast<int64_t>(lDistanceToMove);
    int64_t position = 0;
    if (!target_position(file->fd(), distance, dwMoveMethod, position)) {
        set_last_error_from_errno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (position < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (!lpDistanceToMoveHigh && position > 0xFFFFFFFELL) {
        SetLastError(ERROR_INVALID_PARAMETER);  // the new position does not fit the 32-bit answer
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(file->fd(), static_cast<off_t>(position), SEEK_SET) < 0) {
        set_last_error_from_errno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    // The low part may legitimately be 0xFFFFFFFF: callers tell it from a failure by the last error.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<uint64_t>(position) & 0xFFFFFFFFu);
}

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    auto file = file_from_handle(hFile);
    if (!file) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(file->fd(), &st) != 0) {
        set_last_error_from_errno(errno);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

extern "C" BOOL WINAPI SetEndOfFile(HANDLE hFile) {
    auto file = file_from_handle(hFile);
    if (!file) return FALSE;
    if (!file->canWrite()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    off_t position = lseek(file->fd(), 0, SEEK_CUR);
    if (position < 0 || ftruncate(file->fd(), position) != 0) {
        set_last_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    auto file = file_from_handle(hFile);
    if (!file) return FALSE;
    if (!file->canWrite()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (fsync(file->fd()) != 0) {
        set_last_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
    // The current-process and current-thread pseudo-handles close without effect, as on Windows.
    if (hObject == reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)) ||
        hObject == reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)))
        return TRUE;
    if (!handle_remove(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
