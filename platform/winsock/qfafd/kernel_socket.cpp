// Kernel sockets for the base provider (Linux side): the conversions of families, addresses,
// options and flags between Winsock and Linux.
#include "kernel_socket.h"

#include "kernel_calls.h"
#include "ws_errno.h"

#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include <winerror.h>

namespace k = qf::ws::kernel;

namespace qf::afd {
namespace {

// Winsock numbers used here (winsock2.h and ws2tcpip.h hold the same values; the provider's
// Windows side asserts that they agree).
constexpr int kWsAfInet = 2;
constexpr int kWsSolSocket = 0xffff;
constexpr int kWsIpprotoIp = 0;
constexpr int kWsIpprotoTcp = 6;
constexpr int kWsMsgOob = 0x1, kWsMsgPeek = 0x2, kWsMsgDontroute = 0x4, kWsMsgWaitall = 0x8, kWsMsgPartial = 0x8000;
constexpr int kWsSoLinger = 0x0080;
constexpr int kWsSoDontLinger = ~0x0080;
constexpr int kWsSoError = 0x1007;
constexpr int kWsIpDontFragment = 14;

int last_error() { return qf::ws::ws_error_from_errno(errno); }

// A Winsock IPv4 address as Linux takes it. Windows lays sockaddr_in out as Linux does; only the
// family value is checked.
int to_linux_address(const void* address, int length, sockaddr_in& out) {
    if (!address || length < static_cast<int>(sizeof(sockaddr_in))) return WSAEFAULT;
    std::memcpy(&out, address, sizeof(out));
    uint16_t family;
    std::memcpy(&family, address, sizeof(family));
    if (family != kWsAfInet) return WSAEAFNOSUPPORT;
    out.sin_family = AF_INET;
    return 0;
}

int from_linux_address(const sockaddr_storage& in, socklen_t inLength, void* address, int* length) {
    if (!address || !length) return 0;  // the caller does not want it
    if (in.ss_family != AF_INET || inLength < sizeof(sockaddr_in)) {
        // An unbound or unnamed socket: report an empty IPv4 address.
        if (*length < static_cast<int>(sizeof(sockaddr_in))) return WSAEFAULT;
        std::memset(address, 0, sizeof(sockaddr_in));
        uint16_t family = kWsAfInet;
        std::memcpy(address, &family, sizeof(family));
        *length = sizeof(sockaddr_in);
        return 0;
    }
    if (*length < static_cast<int>(sizeof(sockaddr_in))) return WSAEFAULT;
    sockaddr_in copy;
    std::memcpy(&copy, &in, sizeof(copy));
    uint16_t family = kWsAfInet;
    std::memcpy(&copy.sin_family, &family, sizeof(family));
    std::memcpy(address, &copy, sizeof(copy));
    *length = sizeof(sockaddr_in);
    return 0;
}

int to_linux_flags(int flags, int& out) {
    out = MSG_DONTWAIT | MSG_NOSIGNAL;
    if (flags & kWsMsgOob) out |= MSG_OOB;
    if (flags & kWsMsgPeek) out |= MSG_PEEK;
    if (flags & kWsMsgDontroute) out |= MSG_DONTROUTE;
    if (flags & ~(kWsMsgOob | kWsMsgPeek | kWsMsgDontroute | kWsMsgWaitall | kWsMsgPartial)) return WSAEOPNOTSUPP;
    return 0;
}

enum class OptionKind { Int, Bool, Linger, DontLinger, Error, ReadOnlyInt, DontFragment };

struct OptionMapping {
    int wsLevel;
    int wsName;
    int level;
    int name;
    OptionKind kind;
};

const OptionMapping kOptions[] = {
    {kWsSolSocket, 0x0001, SOL_SOCKET, SO_DEBUG, OptionKind::Bool},
    {kWsSolSocket, 0x0002, SOL_SOCKET, SO_ACCEPTCONN, OptionKind::ReadOnlyInt},
    {kWsSolSocket, 0x0004, SOL_SOCKET, SO_REUSEADDR, OptionKind::Bool},
    {kWsSolSocket, 0x0008, SOL_SOCKET, SO_KEEPALIVE, OptionKind::Bool},
    {kWsSolSocket, 0x0010, SOL_SOCKET, SO_DONTROUTE, OptionKind::Bool},
    {kWsSolSocket, 0x0020, SOL_SOCKET, SO_BROADCAST, OptionKind::Bool},
    {kWsSolSocket, kWsSoLinger, SOL_SOCKET, SO_LINGER, OptionKind::Linger},
    {kWsSolSocket, kWsSoDontLinger, SOL_SOCKET, SO_LINGER, OptionKind::DontLinger},
    {kWsSolSocket, 0x0100, SOL_SOCKET, SO_OOBINLINE, OptionKind::Bool},
    {kWsSolSocket, 0x1001, SOL_SOCKET, SO_SNDBUF, OptionKind::Int},
    {kWsSolSocket, 0x1002, SOL_SOCKET, SO_RCVBUF, OptionKind::Int},
    {kWsSolSocket, 0x1003, SOL_SOCKET, SO_SNDLOWAT, OptionKind::Int},
    {kWsSolSocket, 0x1004, SOL_SOCKET, SO_RCVLOWAT, OptionKind::Int},
    {kWsSolSocket, kWsSoError, SOL_SOCKET, SO_ERROR, OptionKind::Error},
    {kWsSolSocket, 0x1008, SOL_SOCKET, SO_TYPE, OptionKind::ReadOnlyInt},
    {kWsIpprotoTcp, 0x0001, IPPROTO_TCP, TCP_NODELAY, OptionKind::Bool},
    {kWsIpprotoIp, 1, IPPROTO_IP, IP_OPTIONS, OptionKind::Int},
    {kWsIpprotoIp, 2, IPPROTO_IP, IP_HDRINCL, OptionKind::Bool},
    {kWsIpprotoIp, 3, IPPROTO_IP, IP_TOS, OptionKind::Int},
    {kWsIpprotoIp, 4, IPPROTO_IP, IP_TTL, OptionKind::Int},
    {kWsIpprotoIp, 9, IPPROTO_IP, IP_MULTICAST_IF, OptionKind::Int},
    {kWsIpprotoIp, 10, IPPROTO_IP, IP_MULTICAST_TTL, OptionKind::Int},
    {kWsIpprotoIp, 11, IPPROTO_IP, IP_MULTICAST_LOOP, OptionKind::Bool},
    {kWsIpprotoIp, 12, IPPROTO_IP, IP_ADD_MEMBERSHIP, OptionKind::Int},
    {kWsIpprotoIp, 13, IPPROTO_IP, IP_DROP_MEMBERSHIP, OptionKind::Int},
    {kWsIpprotoIp, kWsIpDontFragment, IPPROTO_IP, IP_MTU_DISCOVER, OptionKind::DontFragment},
};

const OptionMapping* find_option(int wsLevel, int wsName) {
    for (const OptionMapping& option : kOptions)
        if (option.wsLevel == wsLevel && option.wsName == wsName) return &option;
    return nullptr;
}

// Windows' linger: two unsigned shorts.
struct WsLinger {
    uint16_t onoff;
    uint16_t seconds;
};

}  // namespace

unsigned kn_poll_bits(unsigned events) {
    unsigned out = 0;
    if (events & kReadable) out |= POLLIN;
    if (events & kWritable) out |= POLLOUT;
    if (events & kPriority) out |= POLLPRI;
    if (events & kPeerClosed) out |= POLLRDHUP;
    return out;
}

unsigned kn_events_of_poll_bits(unsigned revents) {
    unsigned out = 0;
    if (revents & POLLIN) out |= kReadable;
    if (revents & POLLOUT) out |= kWritable;
    if (revents & POLLPRI) out |= kPriority;
    if (revents & POLLHUP) out |= kHangup;
    if (revents & POLLERR) out |= kError;
    if (revents & POLLRDHUP) out |= kPeerClosed;
    return out;
}

int kn_socket(int af, int type, int protocol, int& fd) {
    if (af != kWsAfInet) return WSAEAFNOSUPPORT;
    if (type != SOCK_STREAM && type != SOCK_DGRAM && type != SOCK_RAW) return WSAESOCKTNOSUPPORT;
    fd = k::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    return fd >= 0 ? 0 : last_error();
}

int kn_bind(int fd, const void* address, int length) {
    sockaddr_in in;
    if (int error = to_linux_address(address, length, in)) return error;
    return k::bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof(in)) == 0 ? 0 : last_error();
}

int kn_connect(int fd, const void* address, int length) {
    sockaddr_in in;
    if (int error = to_linux_address(address, length, in)) return error;
    if (k::connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof(in)) == 0) return 0;
    if (errno == EINPROGRESS || errno == EINTR) return WSAEWOULDBLOCK;
    return last_error();
}

int kn_pending_error(int fd) {
    int value = 0;
    socklen_t length = sizeof(value);
    if (k::getsockopt(fd, SOL_SOCKET, SO_ERROR, &value, &length) != 0) return last_error();
    return value ? qf::ws::ws_error_from_errno(value) : 0;
}

int kn_listen(int fd, int backlog) {
    if (backlog < 0) backlog = 0;
    return k::listen(fd, backlog > SOMAXCONN ? SOMAXCONN : backlog) == 0 ? 0 : last_error();
}

int kn_accept(int fd, int& accepted, void* address, int* length) {
    sockaddr_storage peer;
    socklen_t peerLength = sizeof(peer);
    accepted = k::accept4(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted < 0) return last_error();
    if (address && length) {
        if (int error = from_linux_address(peer, peerLength, address, length)) {
            k::close(accepted);
            accepted = -1;
            return error;
        }
    }
    return 0;
}

int kn_send(int fd, const IoBuffer* buffers, int count, int flags, const void* to, int toLength, size_t& sent) {
    sent = 0;
    int linuxFlags;
    if (int error = to_linux_flags(flags, linuxFlags)) return error;
    std::vector<iovec> iov(count > 0 ? count : 1);
    for (int i = 0; i < count; ++i) iov[i] = iovec{buffers[i].data, buffers[i].length};
    msghdr message{};
    message.msg_iov = iov.data();
    message.msg_iovlen = count;
    sockaddr_in target;
    if (to) {
        if (int error = to_linux_address(to, toLength, target)) return error;
        message.msg_name = &target;
        message.msg_namelen = sizeof(target);
    }
    ssize_t result = k::sendmsg(fd, &message, linuxFlags);
    if (result < 0) return last_error();
    sent = static_cast<size_t>(result);
    return 0;
}

int kn_recv(int fd, const IoBuffer* buffers, int count, int* flags, void* from, int* fromLength, size_t& received) {
    received = 0;
    int linuxFlags;
    if (int error = to_linux_flags(flags ? *flags : 0, linuxFlags)) return error;
    std::vector<iovec> iov(count > 0 ? count : 1);
    for (int i = 0; i < count; ++i) iov[i] = iovec{buffers[i].data, buffers[i].length};
    msghdr message{};
    message.msg_iov = iov.data();
    message.msg_iovlen = count;
    sockaddr_storage peer;
    message.msg_name = &peer;
    message.msg_namelen = sizeof(peer);
    ssize_t result = k::recvmsg(fd, &message, linuxFlags);
    if (result < 0) return last_error();
    received = static_cast<size_t>(result);
    if (from && fromLength) {
        if (int error = from_linux_address(peer, message.msg_namelen, from, fromLength)) return error;
    }
    if (flags) *flags = 0;
    // A datagram longer than the buffers: Windows fills them and reports WSAEMSGSIZE.
    if (message.msg_flags & MSG_TRUNC) return WSAEMSGSIZE;
    return 0;
}

int kn_shutdown(int fd, int how) {
    int linuxHow = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : how == 2 ? SHUT_RDWR : -1;
    if (linuxHow < 0) return WSAEINVAL;
    return k::shutdown(fd, linuxHow) == 0 ? 0 : last_error();
}

int kn_local_name(int fd, void* address, int* length) {
    if (!address || !length) return WSAEFAULT;
    sockaddr_storage name;
    socklen_t nameLength = sizeof(name);
    if (k::getsockname(fd, reinterpret_cast<sockaddr*>(&name), &nameLength) != 0) return last_error();
    return from_linux_address(name, nameLength, address, length);
}

int kn_peer_name(int fd, void* address, int* length) {
    if (!address || !length) return WSAEFAULT;
    sockaddr_storage name;
    socklen_t nameLength = sizeof(name);
    if (k::getpeername(fd, reinterpret_cast<sockaddr*>(&name), &nameLength) != 0) return last_error();
    return from_linux_address(name, nameLength, address, length);
}

int kn_get_option(int fd, int level, int name, void* value, int* length) {
    if (!value || !length) return WSAEFAULT;
    const OptionMapping* option = find_option(level, name);
    if (!option) return WSAENOPROTOOPT;
    switch (option->kind) {
    case OptionKind::Linger:
    case OptionKind::DontLinger: {
        linger l{};
        socklen_t l_length = sizeof(l);
        if (k::getsockopt(fd, option->level, option->name, &l, &l_length) != 0) return last_error();
        if (option->kind == OptionKind::DontLinger) {
            if (*length < static_cast<int>(sizeof(int))) return WSAEFAULT;
            int dontLinger = l.l_onoff ? 0 : 1;
            std::memcpy(value, &dontLinger, sizeof(int));
            *length = sizeof(int);
            return 0;
        }
        if (*length < static_cast<int>(sizeof(WsLinger))) return WSAEFAULT;
        WsLinger out{static_cast<uint16_t>(l.l_onoff ? 1 : 0), static_cast<uint16_t>(l.l_linger)};
        std::memcpy(value, &out, sizeof(out));
        *length = sizeof(out);
        return 0;
    }
    default: {
        if (*length < static_cast<int>(sizeof(int))) return WSAEFAULT;
        int v = 0;
        socklen_t v_length = sizeof(v);
        if (k::getsockopt(fd, option->level, option->name, &v, &v_length) != 0) return last_error();
        if (option->kind == OptionKind::Error) v = v ? qf::ws::ws_error_from_errno(v) : 0;
        if (option->kind == OptionKind::Bool) v = v ? 1 : 0;
        if (option->kind == OptionKind::DontFragment) v = v == IP_PMTUDISC_DO ? 1 : 0;
        std::memcpy(value, &v, sizeof(int));
        *length = sizeof(int);
        return 0;
    }
    }
}

int kn_set_option(int fd, int level, int name, const void* value, int length) {
    const OptionMapping* option = find_option(level, name);
    if (!option) return WSAENOPROTOOPT;
    if (!value) return WSAEFAULT;
    switch (option->kind) {
    case OptionKind::ReadOnlyInt:
    case OptionKind::Error:
        return WSAENOPROTOOPT;
    case OptionKind::Linger: {
        if (length < static_cast<int>(sizeof(WsLinger))) return WSAEFAULT;
        WsLinger in;
        std::memcpy(&in, value, sizeof(in));
        linger l{in.onoff ? 1 : 0, in.seconds};
        return k::setsockopt(fd, option->level, option->name, &l, sizeof(l)) == 0 ? 0 : last_error();
    }
    case OptionKind::DontLinger: {
        if (length < static_cast<int>(sizeof(int))) return WSAEFAULT;
        int dontLinger;
        std::memcpy(&dontLinger, value, sizeof(int));
        linger l{};
        socklen_t l_length = sizeof(l);
        k::getsockopt(fd, option->level, option->name, &l, &l_length);
        l.l_onoff = dontLinger ? 0 : 1;
        return k::setsockopt(fd, option->level, option->name, &l, sizeof(l)) == 0 ? 0 : last_error();
    }
    case OptionKind::Bool: {
        // Windows takes a BOOL, and a single byte as well.
        if (length < 1) return WSAEFAULT;
        int v = 0;
        if (length >= static_cast<int>(sizeof(int))) std::memcpy(&v, value, sizeof(int));
        else v = *static_cast<const unsigned char*>(value);
        v = v ? 1 : 0;
        return k::setsockopt(fd, option->level, option->name, &v, sizeof(v)) == 0 ? 0 : last_error();
    }
    case OptionKind::DontFragment: {
        if (length < static_cast<int>(sizeof(int))) return WSAEFAULT;
        int v;
        std::memcpy(&v, value, sizeof(int));
        v = v ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
        return k::setsockopt(fd, option->level, option->name, &v, sizeof(v)) == 0 ? 0 : last_error();
    }
    case OptionKind::Int:
    default:
        if (option->name == IP_ADD_MEMBERSHIP || option->name == IP_DROP_MEMBERSHIP) {
            // ip_mreq: two IPv4 addresses, the same bytes on both systems.
            if (length < static_cast<int>(sizeof(ip_mreq))) return WSAEFAULT;
            return k::setsockopt(fd, option->level, option->name, value, sizeof(ip_mreq)) == 0 ? 0 : last_error();
        }
        if (length < static_cast<int>(sizeof(int))) return WSAEFAULT;
        return k::setsockopt(fd, option->level, option->name, value, sizeof(int)) == 0 ? 0 : last_error();
    }
}

int kn_bytes_readable(int fd, uint32_t& bytes) {
    int value = 0;
    if (k::ioctl(fd, FIONREAD, &value) != 0) return last_error();
    bytes = value < 0 ? 0 : static_cast<uint32_t>(value);
    return 0;
}

int kn_at_mark(int fd, bool& atMark) {
    int value = 0;
    if (k::ioctl(fd, SIOCATMARK, &value) != 0) return last_error();
    atMark = value != 0;
    return 0;
}

int kn_wait(int fd, unsigned events, int timeoutMs, unsigned& ready) {
    pollfd item{fd, static_cast<short>(kn_poll_bits(events)), 0};
    ready = 0;
    int result = k::poll(&item, 1, timeoutMs);
    if (result < 0) return errno == EINTR ? 0 : last_error();
    if (result > 0) ready = kn_events_of_poll_bits(static_cast<unsigned short>(item.revents));
    return 0;
}

int kn_poll(PollItem* items, size_t count, int timeoutMs, int& readyCount) {
    std::vector<pollfd> fds(count);
    for (size_t i = 0; i < count; ++i) fds[i] = pollfd{items[i].fd, static_cast<short>(kn_poll_bits(items[i].events)), 0};
    readyCount = 0;
    int result = k::poll(fds.data(), fds.size(), timeoutMs);
    if (result < 0) return errno == EINTR ? 0 : last_error();
    for (size_t i = 0; i < count; ++i) {
        items[i].ready = kn_events_of_poll_bits(static_cast<unsigned short>(fds[i].revents));
        if (items[i].ready) ++readyCount;
    }
    return 0;
}

void kn_close(int fd) { k::close(fd); }

int kn_replace(int source, int target) {
    int result;
    do {
        result = k::dup3(source, target, O_CLOEXEC);
    } while (result < 0 && errno == EINTR);
    int error = result < 0 ? last_error() : 0;
    k::close(source);
    return error;
}

int kn_peek_state(int fd) {
    char byte;
    ssize_t result = k::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (result > 0) return 1;
    if (result == 0) return 0;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 2;
    return -last_error();
}

}  // namespace qf::afd
