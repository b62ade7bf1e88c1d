// The C library's definitions behind the preload library's, each looked up once on first use.
#include "live_next.h"

#include <dlfcn.h>
#include <errno.h>
#include <netdb.h>

#include <atomic>

namespace qf::live::next {
namespace {

// The next definition of name, or null (the call then fails with ENOSYS).
template <class Function>
Function* lookup(std::atomic<void*>& slot, const char* name) {
    void* found = slot.load(std::memory_order_acquire);
    if (!found) {
        found = dlsym(RTLD_NEXT, name);
        slot.store(found, std::memory_order_release);
    }
    return reinterpret_cast<Function*>(found);
}

}  // namespace

// A call to the next definition; `missing` is what the call does when there is none.
#define QF_NEXT_OR(result, name, symbol, params, args, missing) \
    result name params {                                          \
        static std::atomic<void*> slot{nullptr};                  \
        auto* f = lookup<result params>(slot, symbol);            \
        if (!f) {                                                 \
            missing;                                              \
        }                                                         \
        return f args;                                            \
    }
#define QF_NEXT(result, name, symbol, params, args) \
    QF_NEXT_OR(result, name, symbol, params, args, errno = ENOSYS; return -1)

QF_NEXT(int, socket, "socket", (int domain, int type, int protocol), (domain, type, protocol))
QF_NEXT(int, connect, "connect", (int fd, const sockaddr* a, socklen_t l), (fd, a, l))
QF_NEXT(int, bind, "bind", (int fd, const sockaddr* a, socklen_t l), (fd, a, l))
QF_NEXT(int, listen, "listen", (int fd, int backlog), (fd, backlog))
QF_NEXT(int, accept4, "accept4", (int fd, sockaddr* a, socklen_t* l, int flags), (fd, a, l, flags))
QF_NEXT(int, shutdown, "shutdown", (int fd, int how), (fd, how))
QF_NEXT(int, close, "close", (int fd), (fd))
QF_NEXT(int, close_range, "close_range", (unsigned first, unsigned last, int flags), (first, last, flags))
QF_NEXT(int, dup, "dup", (int fd), (fd))
QF_NEXT(int, getsockopt, "getsockopt", (int fd, int level, int name, void* v, socklen_t* l), (fd, level, name, v, l))
QF_NEXT(int, setsockopt, "setsockopt", (int fd, int level, int name, const void* v, socklen_t l),
        (fd, level, name, v, l))
QF_NEXT(int, getpeername, "getpeername", (int fd, sockaddr* a, socklen_t* l), (fd, a, l))
QF_NEXT(int, getsockname, "getsockname", (int fd, sockaddr* a, socklen_t* l), (fd, a, l))
QF_NEXT(ssize_t, send, "send", (int fd, const void* b, size_t n, int flags), (fd, b, n, flags))
QF_NEXT(ssize_t, recv, "recv", (int fd, void* b, size_t n, int flags), (fd, b, n, flags))
QF_NEXT(ssize_t, sendto, "sendto", (int fd, const void* b, size_t n, int flags, const sockaddr* a, socklen_t l),
        (fd, b, n, flags, a, l))
QF_NEXT(ssize_t, recvfrom, "recvfrom", (int fd, void* b, size_t n, int flags, sockaddr* a, socklen_t* l),
        (fd, b, n, flags, a, l))
QF_NEXT(ssize_t, sendmsg, "sendmsg", (int fd, const msghdr* m, int flags), (fd, m, flags))
QF_NEXT(ssize_t, recvmsg, "recvmsg", (int fd, msghdr* m, int flags), (fd, m, flags))
QF_NEXT(int, sendmmsg, "sendmmsg", (int fd, mmsghdr* m, unsigned n, int flags), (fd, m, n, flags))
QF_NEXT(int, recvmmsg, "recvmmsg", (int fd, mmsghdr* m, unsigned n, int flags, struct timespec* t),
        (fd, m, n, flags, t))
QF_NEXT(ssize_t, read, "read", (int fd, void* b, size_t n), (fd, b, n))
QF_NEXT(ssize_t, write, "write", (int fd, const void* b, size_t n), (fd, b, n))
QF_NEXT(ssize_t, readv, "readv", (int fd, const iovec* v, int n), (fd, v, n))
QF_NEXT(ssize_t, writev, "writev", (int fd, const iovec* v, int n), (fd, v, n))
QF_NEXT(ssize_t, read_chk, "__read_chk", (int fd, void* b, size_t n, size_t bl), (fd, b, n, bl))
QF_NEXT(ssize_t, recv_chk, "__recv_chk", (int fd, void* b, size_t n, size_t bl, int flags), (fd, b, n, bl, flags))
QF_NEXT(ssize_t, recvfrom_chk, "__recvfrom_chk",
        (int fd, void* b, size_t n, size_t bl, int flags, sockaddr* a, socklen_t* l), (fd, b, n, bl, flags, a, l))
QF_NEXT(ssize_t, sendfile, "sendfile", (int out, int in, off_t* offset, size_t count), (out, in, offset, count))
QF_NEXT(ssize_t, splice, "splice", (int in, loff_t* io, int out, loff_t* oo, size_t n, unsigned flags),
        (in, io, out, oo, n, flags))

QF_NEXT_OR(int, getaddrinfo, "getaddrinfo", (const char* n, const char* s, const addrinfo* h, addrinfo** r),
           (n, s, h, r), errno = ENOSYS; return EAI_SYSTEM)
QF_NEXT_OR(hostent*, gethostbyname2, "gethostbyname2", (const char* n, int af), (n, af), h_errno = NO_RECOVERY;
           return nullptr)
QF_NEXT_OR(int, gethostbyname2_r, "gethostbyname2_r",
           (const char* n, int af, hostent* h, char* b, size_t bl, hostent** r, int* e), (n, af, h, b, bl, r, e),
           *r = nullptr; *e = NO_RECOVERY; return ENOSYS)

// fcntl and ioctl are variadic: they are called as such.
int fcntl(int fd, int command, long argument) {
    static std::atomic<void*> slot{nullptr};
    auto* f = lookup<int(int, int, ...)>(slot, "fcntl");
    if (!f) {
        errno = ENOSYS;
        return -1;
    }
    return f(fd, command, argument);
}

int ioctl(int fd, unsigned long request, void* argument) {
    static std::atomic<void*> slot{nullptr};
    auto* f = lookup<int(int, unsigned long, ...)>(slot, "ioctl");
    if (!f) {
        errno = ENOSYS;
        return -1;
    }
    return f(fd, request, argument);
}

int dup3(int fd, int target, int flags) {
    if (flags == 0) {
        static std::atomic<void*> slot{nullptr};
        auto* f = lookup<int(int, int)>(slot, "dup2");
        if (!f) {
            errno = ENOSYS;
            return -1;
        }
        return f(fd, target);
    }
    static std::atomic<void*> slot{nullptr};
    auto* f = lookup<int(int, int, int)>(slot, "dup3");
    if (!f) {
        errno = ENOSYS;
        return -1;
    }
    return f(fd, target, flags);
}

}  // namespace qf::live::next
