#include "linux_probe.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace wstest {

int kernel_local_port(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof(address);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET) return -1;
    return ntohs(address.sin_port);
}

bool descriptor_open(int fd) { return fcntl(fd, F_GETFD) >= 0; }

bool kernel_readable(int fd, int timeoutMs) {
    pollfd item{fd, POLLIN, 0};
    return poll(&item, 1, timeoutMs) == 1 && (item.revents & POLLIN);
}

void close_descriptor(int fd) { close(fd); }

bool descriptor_is_socket(int fd) {
    int type = 0;
    socklen_t length = sizeof(type);
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0;
}

ClosedStandardDescriptor::ClosedStandardDescriptor(int fd) : fd_(fd), saved_(fcntl(fd, F_DUPFD_CLOEXEC, 10)) {
    close(fd);
}

ClosedStandardDescriptor::~ClosedStandardDescriptor() {
    if (descriptor_open(fd_)) close(fd_);  // whatever took the number meanwhile gives it back
    if (saved_ >= 0) {
        dup2(saved_, fd_);
        close(saved_);
    }
}
int open_kernel_socket() { return socket(AF_INET, SOCK_STREAM, 0); }

}  // namespace wstest
