// Sending and receiving.
#include "dispatch.h"
#include "user_memory.h"

using namespace qf::ws2;

namespace {

enum class Direction { Send, Receive };

// The caller's memory of one transfer: the buffer array and every buffer (read for a send,
// written for a receive), the byte count, the flags, the overlapped structure, the address.
struct TransferMemory {
    LPWSABUF buffers;
    DWORD count;
    LPDWORD bytes;
    LPDWORD flags;  // receives only
    LPWSAOVERLAPPED overlapped;
    const struct sockaddr* to;
    int toLength;
    struct sockaddr* from;
    LPINT fromLength;
};

bool memory_usable(Direction direction, const TransferMemory& m) {
    // First what says where the rest is (the array, the address length), then the rest at once.
    UserMemory first;
    first.read(m.buffers, static_cast<size_t>(m.count) * sizeof(WSABUF));
    if (m.from) first.write(m.fromLength, sizeof(INT));
    if (!first.usable() || (m.from && *m.fromLength < 0) || (m.to && m.toLength < 0)) return false;
    UserMemory rest;
    for (DWORD i = 0; i < m.count; ++i) {
        if (direction == Direction::Send) rest.read(m.buffers[i].buf, m.buffers[i].len);
        else rest.write(m.buffers[i].buf, m.buffers[i].len);
    }
    if (m.bytes) rest.write(m.bytes, sizeof(DWORD));
    if (m.flags) rest.write(m.flags, sizeof(DWORD));
    if (m.overlapped) rest.write(m.overlapped, sizeof(WSAOVERLAPPED));
    if (m.to) rest.read(m.to, static_cast<size_t>(m.toLength));
    if (m.from) rest.write(m.from, static_cast<size_t>(*m.fromLength));
    return rest.usable();
}

// One data transfer through the socket's provider; an overlapped one carries the caller's thread,
// to which the provider queues the completion routine. A transfer that succeeds at once clears
// the thread's error, as Winsock's do.
template <class Call>
int transfer(SOCKET s, Direction direction, const TransferMemory& memory, Call call) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    if (!memory_usable(direction, memory)) return fail(WSAEFAULT);
    LPWSAOVERLAPPED lpOverlapped = memory.overlapped;
    LPWSATHREADID thread = lpOverlapped ? ws2_current_thread_id() : nullptr;
    int error = 0;
    if (call(t.provider->procs, thread, &error) != 0) return fail(error);
    WSASetLastError(0);
    return 0;
}

}  // namespace

extern "C" int WSAAPI WSASend(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent,
                              DWORD dwFlags, LPWSAOVERLAPPED lpOverlapped,
                              LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    TransferMemory memory{lpBuffers, dwBufferCount, lpNumberOfBytesSent, nullptr, lpOverlapped, nullptr, 0, nullptr, nullptr};
    return transfer(s, Direction::Send, memory,
                    [&](const WSPPROC_TABLE& procs, LPWSATHREADID thread, int* error) {
                        return procs.lpWSPSend(s, lpBuffers, dwBufferCount, lpNumberOfBytesSent, dwFlags, lpOverlapped,
                            lpCompletionRoutine, thread, error);
                    });
}

extern "C" int WSAAPI WSASendTo(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent,
                                DWORD dwFlags, const struct sockaddr* lpTo, int iTolen, LPWSAOVERLAPPED lpOverlapped,
                                LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    TransferMemory memory{lpBuffers, dwBufferCount, lpNumberOfBytesSent, nullptr, lpOverlapped, lpTo, iTolen, nullptr, nullptr};
    return transfer(s, Direction::Send, memory,
                    [&](const WSPPROC_TABLE& procs, LPWSATHREADID thread, int* error) {
                        return procs.lpWSPSendTo(s, lpBuffers, dwBufferCount, lpNumberOfBytesSent, dwFlags, lpTo, iTolen,
                            lpOverlapped, lpCompletionRoutine, thread, error);
                    });
}

extern "C" int WSAAPI WSARecv(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd,
                              LPDWORD lpFlags, LPWSAOVERLAPPED lpOverlapped,
                              LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    TransferMemory memory{lpBuffers, dwBufferCount, lpNumberOfBytesRecvd, lpFlags, lpOverlapped, nullptr, 0, nullptr, nullptr};
    return transfer(s, Direction::Receive, memory,
                    [&](const WSPPROC_TABLE& procs, LPWSATHREADID thread, int* error) {
                        return procs.lpWSPRecv(s, lpBuffers, dwBufferCount, lpNumberOfBytesRecvd, lpFlags, lpOverlapped,
                            lpCompletionRoutine, thread, error);
                    });
}

extern "C" int WSAAPI WSARecvFrom(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd,
                                  LPDWORD lpFlags, struct sockaddr* lpFrom, LPINT lpFromlen,
                                  LPWSAOVERLAPPED lpOverlapped,
                                  LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    TransferMemory memory{lpBuffers, dwBufferCount, lpNumberOfBytesRecvd, lpFlags, lpOverlapped, nullptr, 0, lpFrom, lpFromlen};
    return transfer(s, Direction::Receive, memory,
                    [&](const WSPPROC_TABLE& procs, LPWSATHREADID thread, int* error) {
                        return procs.lpWSPRecvFrom(s, lpBuffers, dwBufferCount, lpNumberOfBytesRecvd, lpFlags, lpFrom,
                            lpFromlen, lpOverlapped, lpCompletionRoutine, thread, error);
                    });
}

int WSAAPI send(SOCKET s, const char* buf, int len, int flags) {
    if (len < 0) return fail(WSAEINVAL);
    WSABUF buffer{static_cast<ULONG>(len), const_cast<char*>(buf)};
    DWORD sent = 0;
    if (WSASend(s, &buffer, 1, &sent, static_cast<DWORD>(flags), nullptr, nullptr) != 0) return SOCKET_ERROR;
    return static_cast<int>(sent);
}

int WSAAPI sendto(SOCKET s, const char* buf, int len, int flags, const struct sockaddr* to, int tolen) {
    if (len < 0) return fail(WSAEINVAL);
    WSABUF buffer{static_cast<ULONG>(len), const_cast<char*>(buf)};
    DWORD sent = 0;
    if (WSASendTo(s, &buffer, 1, &sent, static_cast<DWORD>(flags), to, tolen, nullptr, nullptr) != 0)
        return SOCKET_ERROR;
    return static_cast<int>(sent);
}

int WSAAPI recv(SOCKET s, char* buf, int len, int flags) {
    if (len < 0) return fail(WSAEINVAL);
    WSABUF buffer{static_cast<ULONG>(len), buf};
    DWORD received = 0;
    DWORD inOutFlags = static_cast<DWORD>(flags);
    if (WSARecv(s, &buffer, 1, &received, &inOutFlags, nullptr, nullptr) != 0) return SOCKET_ERROR;
    return static_cast<int>(received);
}

int WSAAPI recvfrom(SOCKET s, char* buf, int len, int flags, struct sockaddr* from, int* fromlen) {
    if (len < 0) return fail(WSAEINVAL);
    WSABUF buffer{static_cast<ULONG>(len), buf};
    DWORD received = 0;
    DWORD inOutFlags = static_cast<DWORD>(flags);
    if (WSARecvFrom(s, &buffer, 1, &received, &inOutFlags, from, fromlen, nullptr, nullptr) != 0) return SOCKET_ERROR;
    return static_cast<int>(received);
}

extern "C" BOOL WSAAPI WSAGetOverlappedResult(SOCKET s, LPWSAOVERLAPPED lpOverlapped, LPDWORD lpcbTransfer,
                                              BOOL fWait, LPDWORD lpdwFlags) {
    Target t;
    if (!resolve(s, t)) return FALSE;
    // The overlapped structure is only read here; a completion may be writing it meanwhile.
    if (!UserMemory()
             .read(lpOverlapped, sizeof(*lpOverlapped))
             .write(lpcbTransfer, sizeof(DWORD))
             .write(lpdwFlags, sizeof(DWORD))
             .usable()) {
        fail(WSAEFAULT);
        return FALSE;
    }
    int error = 0;
    if (!t.provider->procs.lpWSPGetOverlappedResult(s, lpOverlapped, lpcbTransfer, fWait, lpdwFlags, &error)) {
        fail(error);
        return FALSE;
    }
    return TRUE;
}
