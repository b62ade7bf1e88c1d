// The interposed data transfers on routed sockets: send/recv and their variants, read/write and
// the vector forms, the fortified reads, sendfile and splice. Every form comes down to one send
// and one receive through Winsock, which apply the Linux flags and errno rules.
#include "live_call.h"
#include "live_next.h"
#include "live_table.h"
#include "live_winsock.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <winerror.h>

#include <algorithm>
#include <vector>

extern "C" void __chk_fail(void) __attribute__((noreturn));

using namespace qf::live;

namespace {

constexpr size_t kCopyChunk = 16 * 1024;  // sendfile and splice move at most this much a call (on the stack)

// Flags a program may pass that Winsock has no word for but that change nothing here: the
// stand-in never raises SIGPIPE itself, and MSG_MORE only hints at coalescing.
constexpr int kIgnoredFlags = MSG_NOSIGNAL | MSG_MORE | MSG_CMSG_CLOEXEC;

int winsock_flags(int flags, unsigned& out) {
    out = 0;
    if (flags & MSG_OOB) out |= kLwOob;
    if (flags & MSG_PEEK) out |= kLwPeek;
    if (flags & MSG_DONTROUTE) out |= kLwDontRoute;
    if (flags & MSG_WAITALL) out |= kLwWaitAll;
    int known = MSG_OOB | MSG_PEEK | MSG_DONTROUTE | MSG_WAITALL | MSG_DONTWAIT | kIgnoredFlags;
    return (flags & ~known) ? EOPNOTSUPP : 0;
}

// MSG_DONTWAIT on a blocking socket: would the call wait? Then EAGAIN, as the kernel says.
bool would_wait(int fd, const RoutedSocket& routed, int flags, short event) {
    if (!(flags & MSG_DONTWAIT) || routed.nonBlocking) return false;
    pollfd item{fd, event, 0};
    return ::poll(&item, 1, 0) == 0;
}

int buffers_of(const iovec* vector, int count, LwBuffer* out) {
    if (count > kLwMaxBuffers) count = kLwMaxBuffers;
    for (int i = 0; i < count; ++i) out[i] = LwBuffer{vector[i].iov_base, vector[i].iov_len};
    return count;
}

ssize_t routed_send(int fd, const RoutedSocket& routed, const iovec* vector, int count, int flags,
                    const sockaddr* to, socklen_t toLength);
ssize_t routed_recv(int fd, const RoutedSocket& routed, const iovec* vector, int count, int flags, sockaddr* from,
                    socklen_t* fromLength, int* messageFlags);

// A datagram in more pieces than one call hands down goes as one piece, so that none is cut.
ssize_t send_gathered(int fd, const RoutedSocket& routed, const iovec* vector, int count, int flags,
                      const sockaddr* to, socklen_t toLength) {
    std::vector<char> whole;
    for (int i = 0; i < count; ++i) {
        const char* data = static_cast<const char*>(vector[i].iov_base);
        whole.insert(whole.end(), data, data + vector[i].iov_len);
    }
    iovec one{whole.data(), whole.size()};
    return routed_send(fd, routed, &one, 1, flags, to, toLength);
}

ssize_t recv_scattered(int fd, const RoutedSocket& routed, const iovec* vector, int count, int flags,
                       sockaddr* from, socklen_t* fromLength, int* messageFlags) {
    size_t total = 0;
    for (int i = 0; i < count; ++i) total += vector[i].iov_len;
    std::vector<char> whole(total);
    iovec one{whole.data(), whole.size()};
    ssize_t got = routed_recv(fd, routed, &one, 1, flags, from, fromLength, messageFlags);
    size_t at = 0;
    for (int i = 0; i < count && got > 0 && at < static_cast<size_t>(got); ++i) {
        size_t n = std::min(vector[i].iov_len, static_cast<size_t>(got) - at);
        std::memcpy(vector[i].iov_base, whole.data() + at, n);
        at += n;
    }
    return got;
}

ssize_t routed_send(int fd, const RoutedSocket& routed, const iovec* vector, int count, int flags,
                    const sockaddr* to, socklen_t toLength) {
    if (count < 0) return fail_errno(EINVAL);
    if (count > 0 && !vector) return fail_errno(EFAULT);
    if (!routed.stream && count > kLwMaxBuffers) return send_gathered(fd, routed, vector, count, flags, to, toLength);
    unsigned wsFlags;
    if (int e = winsock_flags(flags, wsFlags)) return fail_errno(e);
    sockaddr_in target;
    const void* destination = nullptr;
    if (to && !routed.stream) {
        if (toLength < sizeof(sockaddr_in)) return fail_errno(EINVAL);
        if (to->sa_family != AF_INET) return fail_errno(EAFNOSUPPORT);
        std::memcpy(&target, to, sizeof(target));
        destination = &target;
    }
    if (would_wait(fd, routed, flags, POLLOUT)) return fail_errno(EAGAIN);
    LwBuffer buffers[kLwMaxBuffers];
    int n = buffers_of(vector, count, buffers);
    size_t sent = 0;
    int error = lw_send(routed.handle, buffers, n, wsFlags, destination, destination ? sizeof(target) : 0, sent);
    if (error == 0) return static_cast<ssize_t>(sent);
    if (error == WSAESHUTDOWN && routed.sendShut) {
        // The program shut its own sending side: the kernel's answer is EPIPE, with SIGPIPE.
        if (!(flags & MSG_NOSIGNAL)) raise(SIGPIPE);
        return fail_errno(EPIPE);
    }
    if (error == WSAETIMEDOUT && routed.sendTimeout) return fail_errno(EAGAIN);  // SO_SNDTIMEO ran out
    // WSAESHUTDOWN otherwise means the filter refused the data: ESHUTDOWN.
    return fail_ws(error);
}

ssize_t routed_recv(int fd, const RoutedSocket& routed, const iovec* vector, int count, int flags, sockaddr* from,
                    socklen_t* fromLength, int* messageFlags) {
    if (count < 0) return fail_errno(EINVAL);
    if (count > 0 && !vector) return fail_errno(EFAULT);
    if (!routed.stream && count > kLwMaxBuffers)
        return recv_scattered(fd, routed, vector, count, flags, from, fromLength, messageFlags);
    unsigned wsFlags;
    if (int e = winsock_flags(flags, wsFlags)) return fail_errno(e);
    if (would_wait(fd, routed, flags, POLLIN)) return fail_errno(EAGAIN);
    LwBuffer buffers[kLwMaxBuffers];
    int n = buffers_of(vector, count, buffers);
    sockaddr_in peer{};
    int peerLength = sizeof(peer);
    bool wantPeer = from && fromLength && !routed.stream;
    size_t received = 0;
    bool truncated = false;
    int error = lw_recv(routed.handle, buffers, n, wsFlags, wantPeer ? &peer : nullptr,
                        wantPeer ? &peerLength : nullptr, received, truncated);
    if (messageFlags) *messageFlags = truncated ? MSG_TRUNC : 0;
    if (error == WSAESHUTDOWN && routed.receiveShut) return 0;  // the program's own shutdown: end of stream
    if (error == WSAETIMEDOUT && routed.receiveTimeout) return fail_errno(EAGAIN);  // SO_RCVTIMEO ran out
    // WSAESHUTDOWN otherwise means the filter refused the data: ESHUTDOWN rather than an end of
    // stream, so that a client never keeps a cut-off page as if it were whole.
    if (error) return fail_ws(error);
    if (wantPeer) copy_address_out(peer, from, fromLength);
    else if (from && fromLength) *fromLength = 0;
    return static_cast<ssize_t>(received);
}

ssize_t send_one(int fd, const RoutedSocket& routed, const void* buffer, size_t length, int flags,
                 const sockaddr* to, socklen_t toLength) {
    iovec one{const_cast<void*>(buffer), length};
    return routed_send(fd, routed, &one, 1, flags, to, toLength);
}

ssize_t recv_one(int fd, const RoutedSocket& routed, void* buffer, size_t length, int flags, sockaddr* from,
                 socklen_t* fromLength) {
    iovec one{buffer, length};
    return routed_recv(fd, routed, &one, 1, flags, from, fromLength, nullptr);
}

ssize_t send_message(int fd, const RoutedSocket& routed, const msghdr* message, int flags) {
    if (!message) return fail_errno(EFAULT);
    if (message->msg_controllen > 0) return fail_errno(EOPNOTSUPP);  // no ancillary data through Winsock
    return routed_send(fd, routed, message->msg_iov, static_cast<int>(message->msg_iovlen), flags,
                       static_cast<const sockaddr*>(message->msg_name), message->msg_namelen);
}

ssize_t recv_message(int fd, const RoutedSocket& routed, msghdr* message, int flags) {
    if (!message) return fail_errno(EFAULT);
    socklen_t nameLength = message->msg_namelen;
    int messageFlags = 0;
    ssize_t result = routed_recv(fd, routed, message->msg_iov, static_cast<int>(message->msg_iovlen), flags,
                                 static_cast<sockaddr*>(message->msg_name), message->msg_name ? &nameLength : nullptr,
                                 &messageFlags);
    if (result < 0) return result;
    message->msg_namelen = message->msg_name ? nameLength : 0;
    message->msg_controllen = 0;
    message->msg_flags = messageFlags;
    return result;
}

// Writes all of data to a descriptor the C library serves (a pipe of splice).
bool write_all(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t n = next::write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (errno != EAGAIN) return false;
            pollfd item{fd, POLLOUT, 0};
            ::poll(&item, 1, -1);
            continue;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// Sends all of data on a routed socket, waiting for room even on a non-blocking one: data that
// was taken from a pipe cannot be put back.
bool send_all(int fd, const RoutedSocket& routed, const char* data, size_t length) {
    while (length > 0) {
        ssize_t n = send_one(fd, routed, data, length, MSG_NOSIGNAL, nullptr, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (errno != EAGAIN) return false;
            pollfd item{fd, POLLOUT, 0};
            ::poll(&item, 1, -1);
            continue;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// Room left in a pipe.
size_t pipe_room(int fd) {
    int size = next::fcntl(fd, F_GETPIPE_SZ, 0);
    int used = 0;
    if (size < 0 || next::ioctl(fd, FIONREAD, &used) != 0) return kCopyChunk;
    return size > used ? static_cast<size_t>(size - used) : 0;
}

#define QF_ROUTED_OR(fd, routed, kernelCall)                  \
    RoutedSocket routed;                                      \
    switch (table_classify(fd, routed)) {                     \
    case FdKind::Kernel:                                      \
        return kernelCall;                                    \
    case FdKind::Held:                                        \
        return fail_errno(EBADF);                             \
    case FdKind::Routed:                                      \
        break;                                                \
    }

}  // namespace

extern "C" {

ssize_t send(int fd, const void* buffer, size_t length, int flags) {
    QF_ROUTED_OR(fd, routed, next::send(fd, buffer, length, flags))
    return send_one(fd, routed, buffer, length, flags, nullptr, 0);
}

ssize_t sendto(int fd, const void* buffer, size_t length, int flags, const sockaddr* to, socklen_t toLength) {
    QF_ROUTED_OR(fd, routed, next::sendto(fd, buffer, length, flags, to, toLength))
    return send_one(fd, routed, buffer, length, flags, to, toLength);
}

ssize_t sendmsg(int fd, const msghdr* message, int flags) {
    QF_ROUTED_OR(fd, routed, next::sendmsg(fd, message, flags))
    return send_message(fd, routed, message, flags);
}

int sendmmsg(int fd, mmsghdr* messages, unsigned count, int flags) {
    QF_ROUTED_OR(fd, routed, next::sendmmsg(fd, messages, count, flags))
    if (count > 0 && !messages) return fail_errno(EFAULT);
    unsigned done = 0;
    for (; done < count; ++done) {
        ssize_t n = send_message(fd, routed, &messages[done].msg_hdr, flags);
        if (n < 0) return done > 0 ? static_cast<int>(done) : -1;
        messages[done].msg_len = static_cast<unsigned>(n);
    }
    return static_cast<int>(done);
}

ssize_t recv(int fd, void* buffer, size_t length, int flags) {
    QF_ROUTED_OR(fd, routed, next::recv(fd, buffer, length, flags))
    return recv_one(fd, routed, buffer, length, flags, nullptr, nullptr);
}

ssize_t recvfrom(int fd, void* buffer, size_t length, int flags, sockaddr* from, socklen_t* fromLength) {
    QF_ROUTED_OR(fd, routed, next::recvfrom(fd, buffer, length, flags, from, fromLength))
    return recv_one(fd, routed, buffer, length, flags, from, fromLength);
}

ssize_t recvmsg(int fd, msghdr* message, int flags) {
    QF_ROUTED_OR(fd, routed, next::recvmsg(fd, message, flags))
    return recv_message(fd, routed, message, flags);
}

// The timeout is not applied: each message after the first is taken only if it is already there
// once MSG_WAITFORONE asks for that, else every message waits as the socket does.
int recvmmsg(int fd, mmsghdr* messages, unsigned count, int flags, struct timespec* timeout) {
    QF_ROUTED_OR(fd, routed, next::recvmmsg(fd, messages, count, flags, timeout))
    if (count > 0 && !messages) return fail_errno(EFAULT);
    int each = flags & ~MSG_WAITFORONE;
    unsigned done = 0;
    for (; done < count; ++done) {
        int callFlags = (done > 0 && (flags & MSG_WAITFORONE)) ? (each | MSG_DONTWAIT) : each;
        ssize_t n = recv_message(fd, routed, &messages[done].msg_hdr, callFlags);
        if (n < 0) return done > 0 ? static_cast<int>(done) : -1;
        messages[done].msg_len = static_cast<unsigned>(n);
    }
    return static_cast<int>(done);
}

ssize_t read(int fd, void* buffer, size_t length) {
    QF_ROUTED_OR(fd, routed, next::read(fd, buffer, length))
    return recv_one(fd, routed, buffer, length, 0, nullptr, nullptr);
}

ssize_t write(int fd, const void* buffer, size_t length) {
    QF_ROUTED_OR(fd, routed, next::write(fd, buffer, length))
    return send_one(fd, routed, buffer, length, 0, nullptr, 0);
}

ssize_t readv(int fd, const iovec* vector, int count) {
    QF_ROUTED_OR(fd, routed, next::readv(fd, vector, count))
    return routed_recv(fd, routed, vector, count, 0, nullptr, nullptr, nullptr);
}

ssize_t writev(int fd, const iovec* vector, int count) {
    QF_ROUTED_OR(fd, routed, next::writev(fd, vector, count))
    return routed_send(fd, routed, vector, count, 0, nullptr, 0);
}

ssize_t __read_chk(int fd, void* buffer, size_t length, size_t bufferLength) {
    QF_ROUTED_OR(fd, routed, next::read_chk(fd, buffer, length, bufferLength))
    if (length > bufferLength) __chk_fail();
    return recv_one(fd, routed, buffer, length, 0, nullptr, nullptr);
}

ssize_t __recv_chk(int fd, void* buffer, size_t length, size_t bufferLength, int flags) {
    QF_ROUTED_OR(fd, routed, next::recv_chk(fd, buffer, length, bufferLength, flags))
    if (length > bufferLength) __chk_fail();
    return recv_one(fd, routed, buffer, length, flags, nullptr, nullptr);
}

ssize_t __recvfrom_chk(int fd, void* buffer, size_t length, size_t bufferLength, int flags, sockaddr* from,
                       socklen_t* fromLength) {
    QF_ROUTED_OR(fd, routed, next::recvfrom_chk(fd, buffer, length, bufferLength, flags, from, fromLength))
    if (length > bufferLength) __chk_fail();
    return recv_one(fd, routed, buffer, length, flags, from, fromLength);
}

// A file sent on a routed socket is read here and sent through Winsock; the file position (or
// *offset) moves by what was sent.
ssize_t sendfile(int out, int in, off_t* offset, size_t count) {
    if (table_classify(in) != FdKind::Kernel) return fail_errno(EINVAL);  // a socket is never a source
    QF_ROUTED_OR(out, routed, next::sendfile(out, in, offset, count))
    off_t position = offset ? *offset : lseek(in, 0, SEEK_CUR);
    if (position < 0) return fail_errno(offset ? EINVAL : errno);
    char chunk[kCopyChunk];
    size_t want = count < sizeof(chunk) ? count : sizeof(chunk);
    ssize_t got = pread(in, chunk, want, position);
    if (got <= 0) return got;
    ssize_t sent = send_one(out, routed, chunk, static_cast<size_t>(got), 0, nullptr, 0);
    if (sent < 0) return sent;
    if (offset) *offset = position + sent;
    else lseek(in, position + sent, SEEK_SET);
    return sent;
}

// Splicing from a routed socket receives into the pipe no more than it has room for; splicing
// into one sends all that was taken from the pipe.
ssize_t splice(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t length, unsigned flags) {
    RoutedSocket source, sink;
    FdKind inKind = table_classify(in, source);
    FdKind outKind = table_classify(out, sink);
    if (inKind == FdKind::Held || outKind == FdKind::Held) return fail_errno(EBADF);
    if (inKind == FdKind::Kernel && outKind == FdKind::Kernel)
        return next::splice(in, inOffset, out, outOffset, length, flags);
    if (inKind == FdKind::Routed && outKind == FdKind::Routed) return fail_errno(EINVAL);  // one end is a pipe
    char chunk[kCopyChunk];
    size_t want = length < sizeof(chunk) ? length : sizeof(chunk);
    if (inKind == FdKind::Routed) {
        if (inOffset) return fail_errno(ESPIPE);
        size_t room = pipe_room(out);
        if (room == 0) {
            if (flags & SPLICE_F_NONBLOCK) return fail_errno(EAGAIN);
            pollfd item{out, POLLOUT, 0};
            ::poll(&item, 1, -1);
            room = pipe_room(out);
        }
        if (want > room) want = room;
        ssize_t got = recv_one(in, source, chunk, want, (flags & SPLICE_F_NONBLOCK) ? MSG_DONTWAIT : 0, nullptr,
                               nullptr);
        if (got <= 0) return got;
        if (!write_all(out, chunk, static_cast<size_t>(got))) return -1;
        return got;
    }
    if (outOffset) return fail_errno(ESPIPE);
    ssize_t got = inOffset ? pread(in, chunk, want, *inOffset) : next::read(in, chunk, want);
    if (got <= 0) return got;
    if (inOffset) *inOffset += got;
    if (!send_all(out, sink, chunk, static_cast<size_t>(got))) return -1;
    return got;
}

}  // extern "C"
