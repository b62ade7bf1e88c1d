#include "named_mutex.h"

#include <qf/machine_root.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace qf {
namespace {

constexpr size_t kMaxNameLength = MAX_PATH;

// Object names are case-sensitive and may hold any character: the file name spells unsafe bytes
// in hex, so two names never share a file.
std::string lock_file_path(const std::string& name, bool create) {
    std::string dir = machine_root() + "/kernel_objects";
    if (create) {
        mkdir(machine_root().c_str(), 0777);
        mkdir(dir.c_str(), 0777);
    }
    std::string file = dir + "/mutex-";
    static const char hex[] = "0123456789abcdef";
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.') {
            file += static_cast<char>(c);
        } else {
            file += '_';
            file += hex[c >> 4];
            file += hex[c & 15];
        }
    }
    // A file name has at most 255 bytes: a long name keeps its start and adds a hash of the whole.
    if (file.size() - dir.size() > 200) {
        uint64_t hash = 1469598103934665603ull;
        for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
        file.resize(dir.size() + 180);
        file += '-';
        for (int shift = 60; shift >= 0; shift -= 4) file += hex[(hash >> shift) & 15];
    }
    return file;
}

bool set_lock(int fd, short type, off_t start, bool wait) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = 1;
    int rc;
    do rc = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

}  // namespace

MachineMutexName::~MachineMutexName() { close(fd_); }  // drops both locks

std::unique_ptr<MachineMutexName> MachineMutexName::open(const std::string& name, bool& existed) {
    existed = false;
    if (name.size() > kMaxNameLength) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    std::string path = lock_file_path(name, true);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    std::unique_ptr<MachineMutexName> result(new MachineMutexName(fd));
    // An exclusive lock on byte 0 succeeds only when no other process holds the name; it then
    // becomes this process's shared lock in one step (an OFD lock converts atomically).
    existed = !set_lock(fd, F_WRLCK, 0, false);
    if (!set_lock(fd, F_RDLCK, 0, true)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return result;
}

bool MachineMutexName::held(const std::string& name) {
    if (name.size() > kMaxNameLength) return false;
    int fd = ::open(lock_file_path(name, false).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    bool isHeld = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    close(fd);
    return isHeld;
}

bool MachineMutexName::try_own() {
    if (!owned_) owned_ = set_lock(fd_, F_WRLCK, 1, false);
    return owned_;
}

bool MachineMutexName::take() {
    char mark = 0;
    bool abandoned = pread(fd_, &mark, 1, 2) == 1 && mark == 1;
    mark = 1;
    taken_ = pwrite(fd_, &mark, 1, 2) == 1;
    return abandoned;
}

void MachineMutexName::disown(bool released) {
    if (!owned_) return;
    if (taken_ && released) {
        char mark = 0;
        if (pwrite(fd_, &mark, 1, 2) != 1) {
            // Left marked: the next owner hears of an abandoned mutex, which errs on the safe side.
        }
    }
    taken_ = false;
    set_lock(fd_, F_UNLCK, 1, false);
    owned_ = false;
}

}  // namespace qf
