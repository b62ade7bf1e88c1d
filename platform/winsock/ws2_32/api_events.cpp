// select, asynchronous selection, event selection and Winsock's event objects.
#include "dispatch.h"
#include "user_memory.h"

#include <cstddef>

using namespace qf::ws2;

namespace {

// The first socket named in any of the sets; the call goes to its provider.
bool first_socket(fd_set* readfds, fd_set* writefds, fd_set* exceptfds, SOCKET& s) {
    for (fd_set* set : {readfds, writefds, exceptfds}) {
        if (set && set->fd_count > 0) {
            s = set->fd_array[0];
            return true;
        }
    }
    return false;
}

// A set the call reads and rewrites: its count, then as many sockets as it says.
bool set_usable(fd_set* set) {
    if (!set) return true;
    if (!user_writable(set, offsetof(fd_set, fd_array))) return false;
    return user_writable(set->fd_array, static_cast<size_t>(set->fd_count) * sizeof(SOCKET));
}

}  // namespace

int WSAAPI select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const struct timeval* timeout) {
    if (!ws2_started()) return fail(WSANOTINITIALISED);
    // How many sockets a set may hold is the provider's to judge: a program may have built its
    // sets with a larger FD_SETSIZE, as Windows allows.
    if (!set_usable(readfds) || !set_usable(writefds) || !set_usable(exceptfds) ||
        (timeout && !user_readable(timeout, sizeof(*timeout))))
        return fail(WSAEFAULT);
    SOCKET first = INVALID_SOCKET;
    if (!first_socket(readfds, writefds, exceptfds, first)) return fail(WSAEINVAL);
    Target t;
    if (!resolve(first, t)) return SOCKET_ERROR;
    int error = 0;
    int result = t.provider->procs.lpWSPSelect(nfds, readfds, writefds, exceptfds, timeout, &error);
    if (result == SOCKET_ERROR) return fail(error);
    return result;
}

extern "C" int WSAAPI WSAAsyncSelect(SOCKET s, HWND hWnd, u_int wMsg, LONG lEvent) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    int error = 0;
    if (t.provider->procs.lpWSPAsyncSelect(s, hWnd, wMsg, lEvent, &error) != 0) return fail(error);
    return 0;
}

extern "C" int WSAAPI WSAEventSelect(SOCKET s, WSAEVENT hEventObject, LONG lNetworkEvents) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    int error = 0;
    if (t.provider->procs.lpWSPEventSelect(s, hEventObject, lNetworkEvents, &error) != 0) return fail(error);
    return 0;
}

extern "C" int WSAAPI WSAEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    if (!user_writable(lpNetworkEvents, sizeof(*lpNetworkEvents))) return fail(WSAEFAULT);
    int error = 0;
    if (t.provider->procs.lpWSPEnumNetworkEvents(s, hEventObject, lpNetworkEvents, &error) != 0) return fail(error);
    return 0;
}

extern "C" WSAEVENT WSAAPI WSACreateEvent(void) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // manual reset, not signalled
    if (!event) SetLastError(WSA_NOT_ENOUGH_MEMORY);
    return event;
}

extern "C" BOOL WSAAPI WSACloseEvent(WSAEVENT hEvent) {
    if (CloseHandle(hEvent)) return TRUE;
    SetLastError(WSA_INVALID_HANDLE);
    return FALSE;
}

extern "C" BOOL WSAAPI WSASetEvent(WSAEVENT hEvent) {
    if (SetEvent(hEvent)) return TRUE;
    SetLastError(WSA_INVALID_HANDLE);
    return FALSE;
}

extern "C" BOOL WSAAPI WSAResetEvent(WSAEVENT hEvent) {
    if (ResetEvent(hEvent)) return TRUE;
    SetLastError(WSA_INVALID_HANDLE);
    return FALSE;
}

extern "C" DWORD WSAAPI WSAWaitForMultipleEvents(DWORD cEvents, const WSAEVENT* lphEvents, BOOL fWaitAll,
                                                 DWORD dwTimeout, BOOL fAlertable) {
    if (cEvents == 0 || cEvents > WSA_MAXIMUM_WAIT_EVENTS || !user_readable(lphEvents, cEvents * sizeof(WSAEVENT))) {
        SetLastError(WSA_INVALID_PARAMETER);
        return WSA_WAIT_FAILED;
    }
    return WaitForMultipleObjectsEx(cEvents, lphEvents, fWaitAll, dwTimeout, fAlertable);
}
