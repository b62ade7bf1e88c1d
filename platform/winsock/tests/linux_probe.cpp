#include "linux_probe.h"

#include <fcntl.h>
#include <netinet/in.h>
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

void close_descriptor(int fd) { close(fd); }

int open_kernel_socket() { return socket(AF_INET, SOCK_STREAM, 0); }

}  // namespace wstest
