// Entry points that make, connect, select on and close sockets, and the pass-through ones.
#include <string.h>

#include <filter.h>

#include "asyncwindow.h"
#include "dcatalog.h"
#include "dprovide.h"
#include "spi_entries.h"
#include "spi_state.h"

namespace {

// A name the connect hooks may read: its family's whole address. 0 or WSAEFAULT.
int check_name_length(const struct sockaddr* name, int namelen) {
    if (namelen < static_cast<int>(sizeof(u_short))) return WSAEFAULT;
    u_short family;
    memcpy(&family, name, sizeof(family));
    if (family == AF_INET && namelen < 16) return WSAEFAULT;
    if (family == AF_INET6 && namelen < 24) return WSAEFAULT;
    return 0;
}

// The protocol info the next provider is given: a base provider's own entry, with the caller's
// provider-reserved word.
LPWSAPROTOCOL_INFOW info_for_next(LPWSAPROTOCOL_INFOW callerInfo, CatalogItem* nextItem, WSAPROTOCOL_INFOW& copy) {
    if (!nextItem) return callerInfo;
    memcpy(&copy, nextItem->GetProtocolInfo(), sizeof(copy));
    copy.dwProviderReserved = callerInfo->dwProviderReserved;
    return &copy;
}

}  // namespace

SOCKET WSPAPI WSPSocket(int af, int type, int protocol, LPWSAPROTOCOL_INFOW lpProtocolInfo, GROUP g, DWORD dwFlags,
                        LPINT lpErrno) {
    if (!g_vtlsp.catalog) {
        spi_fail(lpErrno, WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    LowerProvider* provider = nullptr;
    CatalogItem* nextItem = nullptr;
    int error = g_vtlsp.catalog->FindNextProviderInChain(lpProtocolInfo, &provider, &nextItem);
    if (error != 0) {
        spi_fail(lpErrno, error);
        return INVALID_SOCKET;
    }
    WSAPROTOCOL_INFOW copy;
    LPWSAPROTOCOL_INFOW info = info_for_next(lpProtocolInfo, nextItem, copy);
    SOCKET lower = provider->WSPSocket(af, type, protocol, info, g, dwFlags, lpErrno);
    if (lower == INVALID_SOCKET) return INVALID_SOCKET;
    SocketContext* context = spi_new_context(provider, lower, lpProtocolInfo->dwCatalogEntryId, nullptr, lpErrno);
    return context ? context->ownHandle : INVALID_SOCKET;
}

SOCKET WSPAPI WSPAccept(SOCKET s, struct sockaddr* addr, LPINT addrlen, LPCONDITIONPROC lpfnCondition,
                        DWORD_PTR dwCallbackData, LPINT lpErrno) {
    SocketContext* listening = spi_context(s, lpErrno);
    if (!listening) return INVALID_SOCKET;
    // The accepted socket shares the listener's selection from its first moment: notifications
    // for it that arrive before it is listed are kept for it meanwhile.
    AsyncWindow* window = listening->asyncWindow ? g_vtlsp.window : nullptr;
    if (window == vtlsp_not_created<AsyncWindow>()) window = nullptr;
    if (window) window->BeginAccept();
    spi_enter_blocking(listening->provider);
    SOCKET lower = listening->provider->Procs().lpWSPAccept(listening->lowerSocket, addr, addrlen, lpfnCondition,
                                                            dwCallbackData, lpErrno);
    spi_leave_blocking();
    SocketContext* context = nullptr;
    if (lower != INVALID_SOCKET)
        context = spi_new_context(listening->provider, lower, listening->catalogEntryId, listening, lpErrno);
    if (window) window->EndAccept();
    return context ? context->ownHandle : INVALID_SOCKET;
}

SOCKET WSPAPI WSPJoinLeaf(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                          LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS, DWORD dwFlags, LPINT lpErrno) {
    SocketContext* context = spi_context(s, lpErrno);
    if (!context) return INVALID_SOCKET;
    SOCKET leaf = context->provider->Procs().lpWSPJoinLeaf(context->lowerSocket, name, namelen, lpCallerData,
                                                           lpCalleeData, lpSQOS, lpGQOS, dwFlags, lpErrno);
    if (leaf == INVALID_SOCKET) return INVALID_SOCKET;
    if (leaf == context->lowerSocket) return s;
    SocketContext* created = spi_new_context(context->provider, leaf, context->catalogEntryId, nullptr, lpErrno);
    return created ? created->ownHandle : INVALID_SOCKET;
}

int WSPAPI WSPCloseSocket(SOCKET s, LPINT lpErrno) {
    SocketContext* context = spi_context(s, lpErrno);
    if (!context) {
        filter_forget_socket(s);
        return SOCKET_ERROR;
    }
    // The filter forgets the socket while its handle number still names it.
    filter_forget_socket(s);
    spi_unlist_context(context);
    if (context->provider->Procs().lpWSPCloseSocket(context->lowerSocket, lpErrno) != 0) {
        // Still open below: it stays the application's socket.
        EnterCriticalSection(&g_vtlsp.socketListLock);
        SocketContext* head = &g_vtlsp.socketList;
        context->next = head->next;
        context->prev = head;
        head->next->prev = context;
        head->next = context;
        LeaveCriticalSection(&g_vtlsp.socketListLock);
        return SOCKET_ERROR;
    }
    // The requests the lower close aborted reach the application through this handle.
    bool settled = spi_wait_requests(context);
    g_vtlsp.upcalls.lpWPUCloseSocketHandle(context->ownHandle, lpErrno);
    if (settled) delete context;  // else a late completion still counts on it
    return 0;
}

int WSPAPI WSPConnect(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                      LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS, LPINT lpErrno) {
    if (name) {
        if (int error = check_name_length(name, namelen)) return spi_fail(lpErrno, error);
        if (!filter_check_connect(s, name) || !filter_check_time() || !filter_register_socket(s, name))
            return spi_fail(lpErrno, WSAECONNREFUSED);
    }
    SocketContext* context = spi_context(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    spi_enter_blocking(context->provider);
    int result = context->provider->Procs().lpWSPConnect(context->lowerSocket, name, namelen, lpCallerData,
                                                         lpCalleeData, lpSQOS, lpGQOS, lpErrno);
    spi_leave_blocking();
    return result;
}

int WSPAPI WSPAsyncSelect(SOCKET s, HWND hWnd, unsigned int wMsg, LONG lEvent, LPINT lpErrno) {
    SocketContext* context = spi_context(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    AsyncWindow* window = spi_get_window();
    if (!window) return spi_fail(lpErrno, WSAENOBUFS);
    context->asyncEvents = lEvent;
    context->asyncWindow = hWnd;
    context->asyncMessage = wMsg;
    int error = window->Register(context, lEvent);
    return error ? spi_fail(lpErrno, error) : 0;
}

int WSPAPI WSPSelect(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, QF_WSPSELECT_TIMEOUT_CONST struct timeval* timeout,
                     LPINT lpErrno) {
    fd_set* sets[3] = {readfds, writefds, exceptfds};
    SOCKET first = INVALID_SOCKET;
    for (fd_set* set : sets)
        if (first == INVALID_SOCKET && set && set->fd_count > 0) first = set->fd_array[0];
    if (first == INVALID_SOCKET) return spi_fail(lpErrno, WSAEINVAL);
    SocketContext* firstContext = spi_context(first, lpErrno);
    if (!firstContext) return SOCKET_ERROR;

    // Each set goes down holding the lower sockets and comes back holding the application's.
    struct Pair {
        SOCKET lower;
        SOCKET own;
    };
    Pair pairs[3][FD_SETSIZE];
    fd_set lowerSets[3];
    fd_set* down[3] = {nullptr, nullptr, nullptr};
    for (int i = 0; i < 3; ++i) {
        if (!sets[i]) continue;
        FD_ZERO(&lowerSets[i]);
        down[i] = &lowerSets[i];
        if (sets[i]->fd_count > FD_SETSIZE) return spi_fail(lpErrno, WSAENOBUFS);
        for (u_int j = 0; j < sets[i]->fd_count; ++j) {
            INT ignored = 0;
            SocketContext* context = spi_context(sets[i]->fd_array[j], &ignored);
            if (!context) return spi_fail(lpErrno, WSAEINVAL);
            pairs[i][j] = Pair{context->lowerSocket, context->ownHandle};
            lowerSets[i].fd_array[j] = context->lowerSocket;
        }
        lowerSets[i].fd_count = sets[i]->fd_count;
    }
    const u_int counts[3] = {sets[0] ? sets[0]->fd_count : 0, sets[1] ? sets[1]->fd_count : 0,
                             sets[2] ? sets[2]->fd_count : 0};
    spi_enter_blocking(firstContext->provider);
    int result = firstContext->provider->Procs().lpWSPSelect(nfds, down[0], down[1], down[2], timeout, lpErrno);
    spi_leave_blocking();
    if (result == SOCKET_ERROR) return SOCKET_ERROR;
    for (int i = 0; i < 3; ++i) {
        if (!sets[i]) continue;
        sets[i]->fd_count = 0;
        for (u_int j = 0; j < lowerSets[i].fd_count && j < FD_SETSIZE; ++j)
            for (u_int k = 0; k < counts[i]; ++k)
                if (pairs[i][k].lower == lowerSets[i].fd_array[j]) {
                    sets[i]->fd_array[sets[i]->fd_count++] = pairs[i][k].own;
                    break;
                }
    }
    return result;
}

int WSPAPI WSPDuplicateSocket(SOCKET s, DWORD dwProcessId, LPWSAPROTOCOL_INFOW lpProtocolInfo, LPINT lpErrno) {
    SocketContext* context = spi_context(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    CatalogItem* item = nullptr;
    if (int error = g_vtlsp.catalog->GetCatalogItemFromCatalogEntryId(context->catalogEntryId, &item))
        return spi_fail(lpErrno, error);
    if (context->provider->Procs().lpWSPDuplicateSocket(context->lowerSocket, dwProcessId, lpProtocolInfo, lpErrno) != 0)
        return SOCKET_ERROR;
    // The duplicate is opened on this provider's chain again, with the lower provider's token.
    DWORD reserved = lpProtocolInfo->dwProviderReserved;
    memcpy(lpProtocolInfo, item->GetProtocolInfo(), sizeof(*lpProtocolInfo));
    lpProtocolInfo->dwProviderReserved = reserved;
    return 0;
}

INT WSPAPI WSPAddressToString(LPSOCKADDR lpsaAddress, DWORD dwAddressLength, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                              LPWSTR lpszAddressString, LPDWORD lpdwAddressStringLength, LPINT lpErrno) {
    if (!g_vtlsp.catalog) return spi_fail(lpErrno, WSANOTINITIALISED);
    LowerProvider* provider = nullptr;
    CatalogItem* nextItem = nullptr;
    if (int error = g_vtlsp.catalog->FindNextProviderInChain(lpProtocolInfo, &provider, &nextItem))
        return spi_fail(lpErrno, error);
    LPWSAPROTOCOL_INFOW info = nextItem ? nextItem->GetProtocolInfo() : lpProtocolInfo;
    return provider->Procs().lpWSPAddressToString(lpsaAddress, dwAddressLength, info, lpszAddressString,
                                                  lpdwAddressStringLength, lpErrno);
}

INT WSPAPI WSPStringToAddress(LPWSTR AddressString, INT AddressFamily, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                              LPSOCKADDR lpAddress, LPINT lpAddressLength, LPINT lpErrno) {
    if (!g_vtlsp.catalog) return spi_fail(lpErrno, WSANOTINITIALISED);
    LowerProvider* provider = nullptr;
    CatalogItem* nextItem = nullptr;
    if (int error = g_vtlsp.catalog->FindNextProviderInChain(lpProtocolInfo, &provider, &nextItem))
        return spi_fail(lpErrno, error);
    LPWSAPROTOCOL_INFOW info = nextItem ? nextItem->GetProtocolInfo() : lpProtocolInfo;
    return provider->Procs().lpWSPStringToAddress(AddressString, AddressFamily, info, lpAddress, lpAddressLength,
                                                  lpErrno);
}

int WSPAPI WSPCancelBlockingCall(LPINT lpErrno) {
    LowerProvider* provider = spi_blocking_provider();
    if (!provider) return spi_fail(lpErrno, WSAEINVAL);
    return provider->Procs().lpWSPCancelBlockingCall(lpErrno);
}

// ---- Pass-through: translated handle, the lower result unchanged ----

int WSPAPI WSPBind(SOCKET s, const struct sockaddr* name, int namelen, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPBind(c->lowerSocket, name, namelen, lpErrno) : SOCKET_ERROR;
}

int WSPAPI WSPEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPEnumNetworkEvents(c->lowerSocket, hEventObject, lpNetworkEvents, lpErrno)
             : SOCKET_ERROR;
}

int WSPAPI WSPEventSelect(SOCKET s, WSAEVENT hEventObject, LONG lNetworkEvents, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPEventSelect(c->lowerSocket, hEventObject, lNetworkEvents, lpErrno)
             : SOCKET_ERROR;
}

int WSPAPI WSPGetPeerName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPGetPeerName(c->lowerSocket, name, namelen, lpErrno) : SOCKET_ERROR;
}

int WSPAPI WSPGetSockName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPGetSockName(c->lowerSocket, name, namelen, lpErrno) : SOCKET_ERROR;
}

int WSPAPI WSPGetSockOpt(SOCKET s, int level, int optname, char* optval, LPINT optlen, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPGetSockOpt(c->lowerSocket, level, optname, optval, optlen, lpErrno)
             : SOCKET_ERROR;
}

BOOL WSPAPI WSPGetQOSByName(SOCKET s, LPWSABUF lpQOSName, LPQOS lpQOS, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPGetQOSByName(c->lowerSocket, lpQOSName, lpQOS, lpErrno) : FALSE;
}

int WSPAPI WSPListen(SOCKET s, int backlog, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPListen(c->lowerSocket, backlog, lpErrno) : SOCKET_ERROR;
}

int WSPAPI WSPRecvDisconnect(SOCKET s, LPWSABUF lpInboundDisconnectData, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPRecvDisconnect(c->lowerSocket, lpInboundDisconnectData, lpErrno)
             : SOCKET_ERROR;
}

int WSPAPI WSPSendDisconnect(SOCKET s, LPWSABUF lpOutboundDisconnectData, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPSendDisconnect(c->lowerSocket, lpOutboundDisconnectData, lpErrno)
             : SOCKET_ERROR;
}

int WSPAPI WSPSetSockOpt(SOCKET s, int level, int optname, const char* optval, int optlen, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPSetSockOpt(c->lowerSocket, level, optname, optval, optlen, lpErrno)
             : SOCKET_ERROR;
}

int WSPAPI WSPShutdown(SOCKET s, int how, LPINT lpErrno) {
    SocketContext* c = spi_context(s, lpErrno);
    return c ? c->provider->Procs().lpWSPShutdown(c->lowerSocket, how, lpErrno) : SOCKET_ERROR;
}
