// The Winsock side of the preload library: the application API of the stand-in, called as a
// Windows program calls it.
#include "live_winsock.h"

#include "name_tables.h"

#include <winsock2.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

namespace qf::live {
namespace {

const char kProviderKey[] = "SOFTWARE\\WinSock2\\Vantrel Service Provider";

struct StartState {
    std::once_flag once;
    int result = WSANOTINITIALISED;
    bool filtering = false;
};

StartState& start_state() {
    static StartState* state = new StartState;  // lives as long as the process; never destroyed at exit
    return *state;
}

// The stand-in's own kernel calls set errno as they go (an epoll removal of a socket that was not
// watched, a file that is not there); Winsock reports its errors through WSAGetLastError. Every
// call here leaves the program's errno as it was, as a C library call that succeeds does: the
// callers set errno from the returned error where the program's call fails.
class ErrnoKept {
public:
    ErrnoKept() : saved_(errno) {}
    ~ErrnoKept() { errno = saved_; }
    ErrnoKept(const ErrnoKept&) = delete;
    ErrnoKept& operator=(const ErrnoKept&) = delete;

private:
    int saved_;
};

int last_error() {
    int error = WSAGetLastError();
    return error ? error : WSASYSCALLFAILURE;
}

DWORD ws_flags(unsigned flags) {
    DWORD out = 0;
    if (flags & kLwOob) out |= MSG_OOB;
    if (flags & kLwPeek) out |= MSG_PEEK;
    if (flags & kLwDontRoute) out |= MSG_DONTROUTE;
    if (flags & kLwWaitAll) out |= MSG_WAITALL;
    return out;
}

// Bytes past what a WSABUF length holds wait for a later call, as a partial transfer does.

int ws_buffers(const LwBuffer* buffers, int count, WSABUF* out) {
    if (count > kLwMaxBuffers) count = kLwMaxBuffers;
    for (int i = 0; i < count; ++i) {
        out[i].buf = static_cast<CHAR*>(buffers[i].data);
        out[i].len = buffers[i].length > static_cast<size_t>(INT_MAX) ? static_cast<ULONG>(INT_MAX)
                                                                        : static_cast<ULONG>(buffers[i].length);
    }
    return count;
}

}  // namespace

static_assert(SOCK_STREAM == 1 && SOCK_DGRAM == 2 && AF_INET == 2, "the numbers live_sockets.cpp passes on");

int lw_start() {
    ErrnoKept kept;
    StartState& state = start_state();
    std::call_once(state.once, [&state] {
        WSADATA data;
        state.result = WSAStartup(MAKEWORD(2, 2), &data);
        if (state.result != 0) return;
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            state.filtering = true;
            RegCloseKey(key);
        }
    });
    return state.result;
}

bool lw_filtering_on() { return lw_start() == 0 && start_state().filtering; }

int lw_socket(LwType type, int protocol, int& handle) {
    ErrnoKept kept;
    if (int error = lw_start()) return error;
    SOCKET s = WSASocketW(AF_INET, type == LwType::Stream ? SOCK_STREAM : SOCK_DGRAM, protocol, nullptr, 0,
                          WSA_FLAG_OVERLAPPED);
    if (s == INVALID_SOCKET) return last_error();
    handle = static_cast<int>(s);
    return 0;
}

int lw_bind(int s, const void* address, int length) {
    ErrnoKept kept;
    return bind(static_cast<SOCKET>(s), static_cast<const sockaddr*>(address), length) == 0 ? 0 : last_error();
}

int lw_listen(int s, int backlog) {
    ErrnoKept kept;
    return listen(static_cast<SOCKET>(s), backlog) == 0 ? 0 : last_error();
}

int lw_connect(int s, const void* address, int length) {
    ErrnoKept kept;
    return connect(static_cast<SOCKET>(s), static_cast<const sockaddr*>(address), length) == 0 ? 0 : last_error();
}

int lw_accept(int s, void* address, int* length, int& accepted) {
    ErrnoKept kept;
    SOCKET a = accept(static_cast<SOCKET>(s), static_cast<sockaddr*>(address), length);
    if (a == INVALID_SOCKET) return last_error();
    accepted = static_cast<int>(a);
    return 0;
}

int lw_send(int s, const LwBuffer* buffers, int count, unsigned flags, const void* to, int toLength, size_t& sent) {
    ErrnoKept kept;
    WSABUF ws[kLwMaxBuffers];
    DWORD n = static_cast<DWORD>(ws_buffers(buffers, count, ws));
    DWORD bytes = 0;
    int result = to ? WSASendTo(static_cast<SOCKET>(s), ws, n, &bytes, ws_flags(flags),
                                static_cast<const sockaddr*>(to), toLength, nullptr, nullptr)
                    : WSASend(static_cast<SOCKET>(s), ws, n, &bytes, ws_flags(flags), nullptr, nullptr);
    sent = 0;
    if (result != 0) return last_error();
    sent = bytes;
    return 0;
}

int lw_recv(int s, const LwBuffer* buffers, int count, unsigned flags, void* from, int* fromLength,
            size_t& received, bool& truncated) {
    ErrnoKept kept;
    WSABUF ws[kLwMaxBuffers];
    DWORD n = static_cast<DWORD>(ws_buffers(buffers, count, ws));
    DWORD bytes = 0;
    DWORD wsFlags = ws_flags(flags);
    int result = from ? WSARecvFrom(static_cast<SOCKET>(s), ws, n, &bytes, &wsFlags, static_cast<sockaddr*>(from),
                                    fromLength, nullptr, nullptr)
                      : WSARecv(static_cast<SOCKET>(s), ws, n, &bytes, &wsFlags, nullptr, nullptr);
    received = 0;
    truncated = false;
    if (result != 0) {
        int error = last_error();
        if (error != WSAEMSGSIZE) return error;
        // Windows fills the buffers with the front of a longer datagram.
        truncated = true;
        for (DWORD i = 0; i < n; ++i) received += ws[i].len;
        return 0;
    }
    received = bytes;
    return 0;
}

int lw_shutdown(int s, int how) {
    ErrnoKept kept;
    return shutdown(static_cast<SOCKET>(s), how) == 0 ? 0 : last_error();
}

int lw_close(int s) {
    ErrnoKept kept;
    return closesocket(static_cast<SOCKET>(s)) == 0 ? 0 : last_error();
}

int lw_peer_name(int s, void* address, int* length) {
    ErrnoKept kept;
    return getpeername(static_cast<SOCKET>(s), static_cast<sockaddr*>(address), length) == 0 ? 0 : last_error();
}

int lw_local_name(int s, void* address, int* length) {
    ErrnoKept kept;
    return getsockname(static_cast<SOCKET>(s), static_cast<sockaddr*>(address), length) == 0 ? 0 : last_error();
}

int lw_pending_error(int s, int& wsError) {
    ErrnoKept kept;
    int value = 0;
    int length = sizeof(value);
    if (getsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&value), &length) != 0)
        return last_error();
    wsError = value;
    return 0;
}

int lw_get_timeout(int s, bool receive, uint32_t& ms) {
    ErrnoKept kept;
    DWORD value = 0;
    int length = sizeof(value);
    if (getsockopt(static_cast<SOCKET>(s), SOL_SOCKET, receive ? SO_RCVTIMEO : SO_SNDTIMEO,
                   reinterpret_cast<char*>(&value), &length) != 0)
        return last_error();
    ms = value;
    return 0;
}

int lw_set_timeout(int s, bool receive, uint32_t ms) {
    ErrnoKept kept;
    DWORD value = ms;
    return setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, receive ? SO_RCVTIMEO : SO_SNDTIMEO,
                      reinterpret_cast<const char*>(&value), sizeof(value)) == 0
               ? 0
               : last_error();
}

int lw_set_nonblocking(int s, bool on) {
    ErrnoKept kept;
    u_long value = on ? 1 : 0;
    return ioctlsocket(static_cast<SOCKET>(s), FIONBIO, &value) == 0 ? 0 : last_error();
}

int lw_bytes_readable(int s, uint32_t& bytes) {
    ErrnoKept kept;
    u_long value = 0;
    if (ioctlsocket(static_cast<SOCKET>(s), FIONREAD, &value) != 0) return last_error();
    bytes = value;
    return 0;
}

bool lw_hosts_lookup(const char* data, size_t length, const char* name, LwHost& host) {
    ws2::HostRecord record;
    if (!ws2::names_hosts_lookup(data, length, name, record)) return false;
    host = LwHost{record.name, record.aliases, record.addresses};
    return true;
}

LwLookup lw_resolve(const char* name, LwHost& host) {
    ErrnoKept kept;
    if (lw_start() != 0) return LwLookup::Failed;
    const hostent* entry = gethostbyname(name);
    if (!entry) {
        switch (WSAGetLastError()) {
            case WSAHOST_NOT_FOUND: return LwLookup::NoSuchName;
            case WSANO_DATA: return LwLookup::NoAddress;
            case WSATRY_AGAIN: return LwLookup::TryAgain;
            default: return LwLookup::Failed;
        }
    }
    host = LwHost{entry->h_name, {}, {}};
    for (char** alias = entry->h_aliases; *alias; ++alias) host.aliases.push_back(*alias);
    for (char** address = entry->h_addr_list; *address; ++address) {
        uint32_t value;
        std::memcpy(&value, *address, sizeof(value));
        host.addresses.push_back(value);
    }
    return LwLookup::Found;
}

}  // namespace qf::live
