// The interposed socket calls other than the data transfers: creation, connection set-up,
// names, options, close and the descriptor calls (dup, fcntl, ioctl). A call on anything but a
// routed socket goes to the C library unchanged.
#include "live_call.h"
#include "live_next.h"
#include "live_table.h"
#include "live_winsock.h"

#include <fcntl.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <winerror.h>

using namespace qf::live;

namespace {

bool routed_type(int domain, int baseType, int protocol) {
    if (domain != AF_INET) return false;
    if (baseType == SOCK_STREAM) return protocol == 0 || protocol == IPPROTO_TCP;
    if (baseType == SOCK_DGRAM) return protocol == 0 || protocol == IPPROTO_UDP;
    return false;
}

// The Winsock socket handle becomes the program's descriptor with the flags it asked for.
int adopt_handle(int handle, bool stream, int typeFlags) {
    if (handle >= kMaxRouted) {
        lw_close(handle);
        return fail_errno(EMFILE);
    }
    int fdFlags = next::fcntl(handle, F_GETFD, 0);
    if (fdFlags >= 0) {
        int wanted = (typeFlags & SOCK_CLOEXEC) ? (fdFlags | FD_CLOEXEC) : (fdFlags & ~FD_CLOEXEC);
        if (wanted != fdFlags) next::fcntl(handle, F_SETFD, wanted);
    }
    bool nonBlocking = (typeFlags & SOCK_NONBLOCK) != 0;
    if (int error = lw_set_nonblocking(handle, nonBlocking)) {
        lw_close(handle);
        return fail_ws(error);
    }
    table_add(handle, stream, nonBlocking);
    return handle;
}

// An IPv4 address from the program: Winsock takes exactly a sockaddr_in.
int take_address(const sockaddr* address, socklen_t length, sockaddr_in& out) {
    if (!address) return EFAULT;
    if (length < sizeof(sa_family_t)) return EINVAL;
    if (address->sa_family != AF_INET) return EAFNOSUPPORT;
    if (length < sizeof(sockaddr_in)) return EINVAL;
    std::memcpy(&out, address, sizeof(out));
    return 0;
}

// Closes one name of a routed socket; the socket itself goes with its last name.
int close_routed(int fd) {
    Release release = table_release(fd);
    int result = 0;
    if (release.closeNumber) result = next::close(fd);
    if (release.closeHandle >= 0) {
        int error = lw_close(release.closeHandle);
        if (error && release.closeHandle == fd) return fail_ws(error);
    }
    return result;
}

// Makes target free for dup2/dup3. A routed name is released (the duplicate then replaces its
// number in one step); a handle number that the socket's other names still need is refused.
int free_target(int target) {
    FdKind kind = table_classify(target);
    if (kind == FdKind::Kernel) return 0;
    if (kind == FdKind::Held || table_handle_shared(target)) return fail_errno(EBUSY);
    Release release = table_release(target);
    if (release.closeHandle >= 0) lw_close(release.closeHandle);
    return 0;
}

int duplicate_onto(int fd, int target, int flags) {
    RoutedSocket routed;
    FdKind kind = table_classify(fd, routed);
    if (kind == FdKind::Held) return fail_errno(EBADF);
    if (fd == target) return next::dup3(fd, target, flags);
    // A source that is no descriptor leaves target as it was.
    if (kind == FdKind::Kernel && next::fcntl(fd, F_GETFD, 0) < 0) return -1;
    if (free_target(target) != 0) return -1;
    int result = next::dup3(fd, target, flags);
    if (result >= 0 && kind == FdKind::Routed) table_alias(result, routed.handle);
    return result;
}

// Routed (state in routed), or -1 with errno set (a held number is closed for the program),
// or 0 for a descriptor the C library serves.
int routed_or_kernel(int fd, RoutedSocket& routed) {
    switch (table_classify(fd, routed)) {
    case FdKind::Kernel:
        return 0;
    case FdKind::Held:
        return fail_errno(EBADF);
    case FdKind::Routed:
        return 1;
    }
    return 0;
}

int fcntl_routed(int fd, const RoutedSocket& routed, int command, long argument) {
    switch (command) {
    case F_DUPFD:
    case F_DUPFD_CLOEXEC: {
        int copy = next::fcntl(fd, command, argument);
        if (copy >= 0) table_alias(copy, routed.handle);
        return copy;
    }
    case F_GETFL: {
        int flags = next::fcntl(fd, command, argument);
        if (flags < 0) return flags;
        return routed.nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    }
    case F_SETFL: {
        bool nonBlocking = (argument & O_NONBLOCK) != 0;
        if (nonBlocking != routed.nonBlocking) {
            if (int error = lw_set_nonblocking(routed.handle, nonBlocking)) return fail_ws(error);
            table_set_nonblocking(routed.handle, nonBlocking);
        }
        // The kernel socket stays non-blocking: blocking calls wait inside the stand-in.
        return next::fcntl(fd, command, argument | O_NONBLOCK);
    }
    default:
        return next::fcntl(fd, command, argument);
    }
}

int fcntl_any(int fd, int command, long argument) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind < 0) return -1;
    if (kind == 0) return next::fcntl(fd, command, argument);
    return fcntl_routed(fd, routed, command, argument);
}

bool is_timeout_option(int level, int name) {
    return level == SOL_SOCKET && (name == SO_RCVTIMEO || name == SO_SNDTIMEO);
}

}  // namespace

extern "C" {

int socket(int domain, int type, int protocol) {
    int flags = type & (SOCK_NONBLOCK | SOCK_CLOEXEC);
    int baseType = type & ~(SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (domain == AF_INET6) {
        // While filtering is on, programs fall back to IPv4, which the filter inspects.
        if (int error = lw_start()) return fail_ws(error);
        if (lw_filtering_on()) return fail_errno(EAFNOSUPPORT);
        return next::socket(domain, type, protocol);
    }
    if (!routed_type(domain, baseType, protocol)) return next::socket(domain, type, protocol);
    int handle = -1;
    bool stream = baseType == SOCK_STREAM;
    if (int error = lw_socket(stream ? LwType::Stream : LwType::Datagram, protocol, handle)) return fail_ws(error);
    return adopt_handle(handle, stream, flags);
}

int connect(int fd, const sockaddr* address, socklen_t length) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::connect(fd, address, length);
    sockaddr_in target;
    if (int e = take_address(address, length, target)) return fail_errno(e);
    int error = lw_connect(routed.handle, &target, sizeof(target));
    if (error == 0) return 0;
    if (error == WSAEWOULDBLOCK) return fail_errno(EINPROGRESS);
    return fail_ws(error);
}

int bind(int fd, const sockaddr* address, socklen_t length) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::bind(fd, address, length);
    sockaddr_in local;
    if (int e = take_address(address, length, local)) return fail_errno(e);
    int error = lw_bind(routed.handle, &local, sizeof(local));
    return error ? fail_ws(error) : 0;
}

int listen(int fd, int backlog) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::listen(fd, backlog);
    int error = lw_listen(routed.handle, backlog);
    return error ? fail_ws(error) : 0;
}

int accept4(int fd, sockaddr* address, socklen_t* length, int flags) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::accept4(fd, address, length, flags);
    if (flags & ~(SOCK_NONBLOCK | SOCK_CLOEXEC)) return fail_errno(EINVAL);
    if (address && !length) return fail_errno(EFAULT);
    sockaddr_in peer{};
    int peerLength = sizeof(peer);
    int accepted = -1;
    if (int error = lw_accept(routed.handle, &peer, &peerLength, accepted)) {
        if (error == WSAEWOULDBLOCK) return fail_errno(EAGAIN);
        return fail_ws(error);
    }
    int result = adopt_handle(accepted, routed.stream, flags);
    if (result >= 0) copy_address_out(peer, address, length);
    return result;
}

int accept(int fd, sockaddr* address, socklen_t* length) { return accept4(fd, address, length, 0); }

int shutdown(int fd, int how) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::shutdown(fd, how);
    if (how != SHUT_RD && how != SHUT_WR && how != SHUT_RDWR) return fail_errno(EINVAL);
    static_assert(SHUT_RD == 0 && SHUT_WR == 1 && SHUT_RDWR == 2, "Winsock's SD_RECEIVE, SD_SEND, SD_BOTH");
    int error = lw_shutdown(routed.handle, how);
    if (error) return fail_ws(error);
    table_note_shutdown(routed.handle, how);
    return 0;
}

int close(int fd) {
    switch (table_classify(fd)) {
    case FdKind::Kernel:
        return next::close(fd);
    case FdKind::Held:
        return fail_errno(EBADF);
    case FdKind::Routed:
        break;
    }
    return close_routed(fd);
}

// Closing a range closes routed sockets as close() does and leaves alone the handle numbers
// that their other names still need; the kernel closes the rest, between those numbers.
int close_range(unsigned first, unsigned last, int flags) {
    if (first > last) return fail_errno(EINVAL);
    if (flags & CLOSE_RANGE_CLOEXEC) return next::close_range(first, last, flags);
    unsigned start = first;
    unsigned top = last < static_cast<unsigned>(kMaxRouted) ? last : static_cast<unsigned>(kMaxRouted - 1);
    for (unsigned fd = first; fd <= top; ++fd) {
        FdKind kind = table_classify(static_cast<int>(fd));
        if (kind == FdKind::Routed) {
            close_routed(static_cast<int>(fd));
            kind = table_classify(static_cast<int>(fd));  // Held when its socket has other names
        }
        if (kind != FdKind::Held) continue;
        if (fd > start && next::close_range(start, fd - 1, flags) != 0) return -1;
        start = fd + 1;
    }
    if (start > last) return 0;
    return next::close_range(start, last, flags);
}

void closefrom(int lowest) {
    if (lowest < 0) lowest = 0;
    if (close_range(static_cast<unsigned>(lowest), ~0U, 0) == 0) return;
    // A kernel without close_range: each descriptor below the limit.
    rlimit limit{};
    int top = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 1048576 ? static_cast<int>(limit.rlim_cur)
                                                                                 : 65536;
    for (int fd = lowest; fd < top; ++fd) close(fd);
}

int dup(int fd) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::dup(fd);
    int copy = next::dup(fd);
    if (copy >= 0) table_alias(copy, routed.handle);
    return copy;
}

int dup2(int fd, int target) { return duplicate_onto(fd, target, 0); }

int dup3(int fd, int target, int flags) {
    if (fd == target) return fail_errno(EINVAL);
    return duplicate_onto(fd, target, flags);
}

int fcntl(int fd, int command, ...) {
    va_list args;
    va_start(args, command);
    long argument = va_arg(args, long);
    va_end(args);
    return fcntl_any(fd, command, argument);
}

int fcntl64(int fd, int command, ...) {
    va_list args;
    va_start(args, command);
    long argument = va_arg(args, long);
    va_end(args);
    return fcntl_any(fd, command, argument);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::ioctl(fd, request, argument);
    if (request == FIONBIO) {
        if (!argument) return fail_errno(EFAULT);
        bool nonBlocking = *static_cast<int*>(argument) != 0;
        if (int error = lw_set_nonblocking(routed.handle, nonBlocking)) return fail_ws(error);
        table_set_nonblocking(routed.handle, nonBlocking);
        return 0;
    }
    if (request == FIONREAD) {
        if (!argument) return fail_errno(EFAULT);
        uint32_t bytes = 0;
        if (int error = lw_bytes_readable(routed.handle, bytes)) return fail_ws(error);
        *static_cast<int*>(argument) = static_cast<int>(bytes);
        return 0;
    }
    return next::ioctl(fd, request, argument);
}

// Options the stand-in keeps itself (the outcome of a connect, the timeouts of its waits) go to
// Winsock; the rest belong to the kernel socket under the handle and go to it.
int getsockopt(int fd, int level, int name, void* value, socklen_t* length) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::getsockopt(fd, level, name, value, length);
    if (level == SOL_SOCKET && name == SO_ERROR) {
        if (!value || !length) return fail_errno(EFAULT);
        if (*length < sizeof(int)) return fail_errno(EINVAL);
        int wsError = 0;
        if (int error = lw_pending_error(routed.handle, wsError)) return fail_ws(error);
        int e = wsError ? errno_from_ws_error(wsError) : 0;
        std::memcpy(value, &e, sizeof(e));
        *length = sizeof(e);
        return 0;
    }
    if (is_timeout_option(level, name)) {
        if (!value || !length) return fail_errno(EFAULT);
        if (*length < sizeof(timeval)) return fail_errno(EINVAL);
        uint32_t ms = 0;
        if (int error = lw_get_timeout(routed.handle, name == SO_RCVTIMEO, ms)) return fail_ws(error);
        timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
        std::memcpy(value, &tv, sizeof(tv));
        *length = sizeof(tv);
        return 0;
    }
    return next::getsockopt(fd, level, name, value, length);
}

int setsockopt(int fd, int level, int name, const void* value, socklen_t length) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::setsockopt(fd, level, name, value, length);
    if (is_timeout_option(level, name)) {
        if (!value) return fail_errno(EFAULT);
        if (length < sizeof(timeval)) return fail_errno(EINVAL);
        timeval tv;
        std::memcpy(&tv, value, sizeof(tv));
        if (tv.tv_sec < 0 || tv.tv_usec < 0 || tv.tv_usec >= 1000000) return fail_errno(EDOM);
        uint64_t ms = static_cast<uint64_t>(tv.tv_sec) * 1000 + static_cast<uint64_t>(tv.tv_usec + 999) / 1000;
        if (ms > 0xfffffffeu) ms = 0;  // longer than a DWORD says: no limit
        int error = lw_set_timeout(routed.handle, name == SO_RCVTIMEO, static_cast<uint32_t>(ms));
        if (error) return fail_ws(error);
        table_note_timeout(routed.handle, name == SO_RCVTIMEO, ms != 0);
        return 0;
    }
    return next::setsockopt(fd, level, name, value, length);
}

int getpeername(int fd, sockaddr* address, socklen_t* length) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::getpeername(fd, address, length);
    if (!address || !length) return fail_errno(EFAULT);
    sockaddr_in name{};
    int nameLength = sizeof(name);
    if (int error = lw_peer_name(routed.handle, &name, &nameLength)) return fail_ws(error);
    copy_address_out(name, address, length);
    return 0;
}

int getsockname(int fd, sockaddr* address, socklen_t* length) {
    RoutedSocket routed;
    int kind = routed_or_kernel(fd, routed);
    if (kind <= 0) return kind < 0 ? -1 : next::getsockname(fd, address, length);
    if (!address || !length) return fail_errno(EFAULT);
    sockaddr_in name{};
    int nameLength = sizeof(name);
    if (int error = lw_local_name(routed.handle, &name, &nameLength)) return fail_ws(error);
    copy_address_out(name, address, length);
    return 0;
}

}  // extern "C"
