// The runtime's own calls into the kernel's socket interface (Linux side). They go to the kernel
// directly, not through the C library's functions, so that a library preloaded to route a
// program's socket calls into Winsock never sees the runtime's own calls come back to it.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer follows descriptors through the C library's calls only: the runtime's own closes
// are told to it, so that a number the kernel hands out again is not taken for a race between the
// socket's last use and the new file's first.
extern "C" void __sanitizer_syscall_pre_impl_close(long fd);
#define QF_KERNEL_CLOSING(fd) __sanitizer_syscall_pre_impl_close(fd)
#else
#define QF_KERNEL_CLOSING(fd) ((void)0)
#endif

namespace qf::ws::kernel {

// Every descriptor the runtime makes for a socket passes through here: none is ever 0, 1 or 2, so
// a program that closed a standard stream never finds a socket where it later reads or writes
// that stream. A low number is moved to the lowest free one from 3 on (close-on-exec; the file
// status flags such as O_NONBLOCK go with the open socket).
inline int above_standard_streams(int fd) {
    if (fd < 0 || fd > 2) return fd;
    int moved = static_cast<int>(::syscall(SYS_fcntl, fd, F_DUPFD_CLOEXEC, 3));
    int error = errno;
    QF_KERNEL_CLOSING(fd);
    ::syscall(SYS_close, fd);
    errno = error;
    return moved;
}

inline int socket(int domain, int type, int protocol) {
    return above_standard_streams(static_cast<int>(::syscall(SYS_socket, domain, type, protocol)));
}
inline int bind(int fd, const sockaddr* address, socklen_t length) {
    return static_cast<int>(::syscall(SYS_bind, fd, address, length));
}
inline int connect(int fd, const sockaddr* address, socklen_t length) {
    return static_cast<int>(::syscall(SYS_connect, fd, address, length));
}
inline int listen(int fd, int backlog) { return static_cast<int>(::syscall(SYS_listen, fd, backlog)); }
inline int accept4(int fd, sockaddr* address, socklen_t* length, int flags) {
    return above_standard_streams(static_cast<int>(::syscall(SYS_accept4, fd, address, length, flags)));
}
inline ssize_t sendmsg(int fd, const msghdr* message, int flags) {
    return static_cast<ssize_t>(::syscall(SYS_sendmsg, fd, message, flags));
}
inline ssize_t recvmsg(int fd, msghdr* message, int flags) {
    return static_cast<ssize_t>(::syscall(SYS_recvmsg, fd, message, flags));
}
inline ssize_t recv(int fd, void* buffer, size_t length, int flags) {
    return static_cast<ssize_t>(::syscall(SYS_recvfrom, fd, buffer, length, flags, nullptr, nullptr));
}
inline int shutdown(int fd, int how) { return static_cast<int>(::syscall(SYS_shutdown, fd, how)); }
inline int getsockname(int fd, sockaddr* address, socklen_t* length) {
    return static_cast<int>(::syscall(SYS_getsockname, fd, address, length));
}
inline int getpeername(int fd, sockaddr* address, socklen_t* length) {
    return static_cast<int>(::syscall(SYS_getpeername, fd, address, length));
}
inline int getsockopt(int fd, int level, int name, void* value, socklen_t* length) {
    return static_cast<int>(::syscall(SYS_getsockopt, fd, level, name, value, length));
}
inline int setsockopt(int fd, int level, int name, const void* value, socklen_t length) {
    return static_cast<int>(::syscall(SYS_setsockopt, fd, level, name, value, length));
}
inline int close(int fd) {
    QF_KERNEL_CLOSING(fd);
    return static_cast<int>(::syscall(SYS_close, fd));
}
inline int dup3(int source, int target, int flags) {
    return static_cast<int>(::syscall(SYS_dup3, source, target, flags));
}
inline int fcntl(int fd, int command, long argument = 0) {
    return static_cast<int>(::syscall(SYS_fcntl, fd, command, argument));
}
inline int ioctl(int fd, unsigned long request, void* argument) {
    return static_cast<int>(::syscall(SYS_ioctl, fd, request, argument));
}
inline int poll(pollfd* items, nfds_t count, int timeoutMs) {
    timespec timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
    return static_cast<int>(::syscall(SYS_ppoll, items, count, timeoutMs < 0 ? nullptr : &timeout, nullptr,
                                      static_cast<size_t>(_NSIG / 8)));
}

}  // namespace qf::ws::kernel
