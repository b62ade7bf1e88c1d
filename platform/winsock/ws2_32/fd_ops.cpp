// File descriptor operations (Linux side).
#include "fd_ops.h"

#include "kernel_calls.h"
#include "ws_errno.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace k = qf::ws::kernel;

namespace qf::ws2 {

int fd_duplicate(int fd) {
    int copy = k::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    return copy >= 0 ? copy : -qf::ws::ws_error_from_errno(errno);
}

int fd_placeholder() {
    int fd = k::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd >= 0 ? fd : -qf::ws::ws_error_from_errno(errno);
}

int fd_redirect(int source, int target) {
    int result;
    do {
        result = k::dup3(source, target, O_CLOEXEC);
    } while (result < 0 && errno == EINTR);
    return result >= 0 ? result : -qf::ws::ws_error_from_errno(errno);
}

void fd_close(int fd) { k::close(fd); }  // Linux releases the descriptor even when close reports EINTR

bool fd_is_open(int fd) { return k::fcntl(fd, F_GETFD) >= 0; }

}  // namespace qf::ws2
