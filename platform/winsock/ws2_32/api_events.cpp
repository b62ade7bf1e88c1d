// select, asynchronous selection, event selection and Winsock's event objects.
#include "dispatch.h"
#include "user_memory.h"

#include <cstddef>
#include <vector>

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

// Polls through select, so that each socket's provider judges readiness by Winsock's rules:
// POLLRDNORM from the read set, POLLRDBAND from the except set (where a failed connection is
// reported too: POLLERR when out-of-band data was not asked for), POLLWRNORM from the write set.
extern "C" int WSAAPI WSAPoll(LPWSAPOLLFD fdArray, ULONG fds, INT timeout) {
    if (!ws2_started()) return fail(WSANOTINITIALISED);
    if (fds == 0) return fail(WSAEINVAL);
    if (!user_writable(fdArray, static_cast<size_t>(fds) * sizeof(WSAPOLLFD))) return fail(WSAEFAULT);
    const SHORT supported = POLLRDNORM | POLLRDBAND | POLLWRNORM;
    for (ULONG i = 0; i < fds; ++i)
        if (fdArray[i].events & ~supported) return fail(WSAEINVAL);
    // Three sets of any size, laid out as fd_set is.
    auto make_set = [fds] { return std::vector<unsigned char>(offsetof(fd_set, fd_array) + fds * sizeof(SOCKET)); };
    std::vector<unsigned char> storage[3] = {make_set(), make_set(), make_set()};
    fd_set* sets[3];
    for (int i = 0; i < 3; ++i) sets[i] = reinterpret_cast<fd_set*>(storage[i].data());
    const SHORT wanted[3] = {POLLRDNORM, POLLWRNORM, POLLRDBAND};
    int invalid = 0;
    for (ULONG i = 0; i < fds; ++i) {
        WSAPOLLFD& item = fdArray[i];
        item.revents = 0;
        if (static_cast<intptr_t>(item.fd) < 0) continue;  // ignored, as documented
        Target t;
        if (!resolve(item.fd, t)) {
            item.revents = POLLNVAL;
            ++invalid;
            continue;
        }
        for (int set = 0; set < 3; ++set)
            if ((item.events & wanted[set]) || set == 2) sets[set]->fd_array[sets[set]->fd_count++] = item.fd;
    }
    if (sets[0]->fd_count + sets[1]->fd_count + sets[2]->fd_count == 0) return invalid;
    timeval wait{timeout / 1000, (timeout % 1000) * 1000};
    int result = select(0, sets[0]->fd_count ? sets[0] : nullptr, sets[1]->fd_count ? sets[1] : nullptr,
                        sets[2]->fd_count ? sets[2] : nullptr, timeout < 0 ? nullptr : &wait);
    if (result == SOCKET_ERROR) return SOCKET_ERROR;
    auto in_set = [](const fd_set* set, SOCKET s) {
        for (u_int i = 0; i < set->fd_count; ++i)
            if (set->fd_array[i] == s) return true;
        return false;
    };
    int ready = invalid;
    for (ULONG i = 0; i < fds; ++i) {
        WSAPOLLFD& item = fdArray[i];
        if (static_cast<intptr_t>(item.fd) < 0 || item.revents) continue;
        if ((item.events & POLLRDNORM) && in_set(sets[0], item.fd)) item.revents |= POLLRDNORM;
        if ((item.events & POLLWRNORM) && in_set(sets[1], item.fd)) item.revents |= POLLWRNORM;
        if (in_set(sets[2], item.fd)) item.revents |= (item.events & POLLRDBAND) ? POLLRDBAND : POLLERR;
        if (item.revents) ++ready;
    }
    WSASetLastError(0);
    return ready;
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
