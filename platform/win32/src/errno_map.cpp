// The one table from errno to Win32 error codes.
#include <qf/errno_map.h>

#include <errno.h>

namespace qf {
namespace {

struct ErrnoEntry {
    int errnoValue;
    DWORD win32Error;
};

const ErrnoEntry kErrnoTable[] = {
    {0, ERROR_SUCCESS},
    {EPERM, ERROR_ACCESS_DENIED},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {EIO, ERROR_GEN_FAILURE},
    {ENXIO, ERROR_FILE_NOT_FOUND},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EACCES, ERROR_ACCESS_DENIED},
    {EFAULT, ERROR_NOACCESS},
    {EBUSY, ERROR_BUSY},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EFBIG, ERROR_DISK_FULL},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {ESPIPE, ERROR_SEEK_ON_DEVICE},
    {EROFS, ERROR_WRITE_PROTECT},
    {EPIPE, ERROR_BROKEN_PIPE},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ELOOP, ERROR_CANT_RESOLVE_FILENAME},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
    {ENOTSUP, ERROR_NOT_SUPPORTED},
    {EAGAIN, ERROR_BUSY},
    {ETIMEDOUT, ERROR_TIMEOUT},
    {ECANCELED, ERROR_OPERATION_ABORTED},
};

}  // namespace

DWORD win32_error_from_errno(int errnoValue) {
    for (const ErrnoEntry& entry : kErrnoTable)
        if (entry.errnoValue == errnoValue) return entry.win32Error;
    return ERROR_GEN_FAILURE;
}

void set_last_error_from_errno(int errnoValue) { SetLastError(win32_error_from_errno(errnoValue)); }

}  // namespace qf
