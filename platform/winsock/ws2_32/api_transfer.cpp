// Sending and receiving.
#include "dispatch.h"

using namespace qf::ws2;

namespace {

// One data transfer through the socket's provider; an overlapped one carries the caller's thread,
// to which the provider queues the completion routine.
template <class Call>
int transfer(SOCKET s, LPWSAOVERLAPPED lpOverlapped, Call call) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    LPWSATHREADID thread = lpOverlapped ? ws2_current_thread_id() : nullptr;
    int error = 0;
    if (call(t.provider->procs, thread, &error) != 0) return fail(error);
    return 0;
}

}  // namespace

extern "C" int WSAAPI WSASend(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent,
                              DWORD dwFlags, LPWSAOVERLAPPED lpOverlapped,
                              LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    return transfer(s, lpOverlapped,
                    [&](const WSPPROC_TABLE& procs, LPWSATHREADID thread, int* error) {
                        return procs.lpWSPSend(s, lpBuffers, dwBufferCount, lpNumberOfBytesSent, dwFlags, lpOverlapped,
                            lpCompletionRoutine, thread, error);
                    });
}

extern "C" int WSAAPI WSASendTo(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent,
                                DWORD dwFlags, const struct sockaddr* lpTo, int iTolen, LPWSAOVERLAPPED lpOverlapped,
                                LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    return transfer(s, lpOverlapped,
                    [&](const WSPPROC_TABLE& procs, LPWSATHREADID thread, int* error) {
                        return procs.lpWSPSendTo(s, lpBuffers, dwBufferCount, lpNumberOfBytesSent, dwFlags, lpTo, iTolen,
                            lpOverlapped, lpCompletionRoutine, thread, error);
                    });
}

extern "C" int WSAAPI WSARecv(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd,
                              LPDWORD lpFlags, LPWSAOVERLAPPED lpOverlapped,
                              LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    return transfer(s, lpOverlapped,
                    [&](const WSPPROC_TABLE& procs, LPWSATHREADID thread, int* error) {
                        return procs.lpWSPRecv(s, lpBuffers, dwBufferCount, lpNumberOfBytesRecvd, lpFlags, lpOverlapped,
                            lpCompletionRoutine, thread, error);
                    });
}

extern "C" int WSAAPI WSARecvFrom(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd,
                                  LPDWORD lpFlags, struct sockaddr* lpFrom, LPINT lpFromlen,
                                  LPWSAOVERLAPPED lpOverlapped,
                                  LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    return transfer(s, lpOverlapped,
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
    if (!lpOverlapped || !lpcbTransfer || !lpdwFlags) {
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
