// Descriptor hand-off between processes over abstract local sockets (Linux side).
#include "fd_handoff.h"

#include "kernel_calls.h"
#include "ws_errno.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <winerror.h>

namespace k = qf::ws::kernel;

namespace qf::afd {
namespace {

socklen_t handoff_address(uint32_t token, sockaddr_un& address) {
    memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    int length = snprintf(address.sun_path + 1, sizeof(address.sun_path) - 1, "quillfence-afd-dup-%08x", token);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

}  // namespace

int handoff_open(int fd, uint32_t targetPid, uint32_t& token, int& listener, int& copy) {
    // The target must be a live process (one of another user counts: it exists, kill says EPERM).
    if (targetPid == 0 || targetPid > 0x7fffffffu ||
        (kill(static_cast<pid_t>(targetPid), 0) != 0 && errno != EPERM))
        return WSAEINVAL;
    listener = k::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0) return qf::ws::ws_error_from_errno(errno);
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (getrandom(&token, sizeof(token), 0) != sizeof(token)) token ^= static_cast<uint32_t>(getpid() * 2654435761u + attempt);
        if (token == 0) continue;
        sockaddr_un address;
        socklen_t length = handoff_address(token, address);
        if (k::bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 && k::listen(listener, 1) == 0) {
            copy = k::fcntl(fd, F_DUPFD_CLOEXEC, 3);
            if (copy >= 0) return 0;
            break;
        }
        if (errno != EADDRINUSE) break;
    }
    int error = qf::ws::ws_error_from_errno(errno);
    k::close(listener);
    listener = -1;
    return error;
}

bool handoff_serve(int listener, int copy, uint32_t targetPid) {
    int connection = k::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return false;
    ucred peer{};
    socklen_t peerLength = sizeof(peer);
    if (k::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0 ||
        static_cast<uint32_t>(peer.pid) != targetPid) {
        k::close(connection);  // not the process the socket was duplicated for: it gets nothing
        return false;
    }
    char byte = 'S';
    iovec iov{&byte, 1};
    char control[CMSG_SPACE(sizeof(int))];
    memset(control, 0, sizeof(control));
    msghdr message{};
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    memcpy(CMSG_DATA(header), &copy, sizeof(int));
    bool sent = k::sendmsg(connection, &message, MSG_NOSIGNAL) == 1;
    k::close(connection);
    return sent;
}

int handoff_take(uint32_t token, int& fd) {
    fd = -1;
    int connection = k::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connection < 0) return qf::ws::ws_error_from_errno(errno);
    sockaddr_un address;
    socklen_t length = handoff_address(token, address);
    if (k::connect(connection, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        k::close(connection);
        return WSAEINVAL;  // nobody offers this token (any more)
    }
    // The offering process answers from its provider thread; a bounded wait keeps a dead offer
    // from hanging the caller.
    pollfd item{connection, POLLIN, 0};
    if (k::poll(&item, 1, 10000) <= 0) {
        k::close(connection);
        return WSAETIMEDOUT;
    }
    char byte = 0;
    iovec iov{&byte, 1};
    char control[CMSG_SPACE(sizeof(int))];
    msghdr message{};
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    ssize_t received = k::recvmsg(connection, &message, MSG_CMSG_CLOEXEC);
    k::close(connection);
    if (received != 1) return WSAEINVAL;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS &&
            header->cmsg_len >= CMSG_LEN(sizeof(int))) {
            memcpy(&fd, CMSG_DATA(header), sizeof(int));
            fd = k::above_standard_streams(fd);
            if (fd < 0) return qf::ws::ws_error_from_errno(errno);
            int flags = k::fcntl(fd, F_GETFL);
            if (flags >= 0) k::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
            return 0;
        }
    }
    return WSAEINVAL;
}

}  // namespace qf::afd
