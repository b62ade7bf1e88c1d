// A base provider for the Wine test of vtlsp: each entry point does its work with Wine's ws2_32,
// whose sockets are its own. A connect to a routed port goes to another port of the same address,
// so the test's server on a free port stands for a web server on port 80.
#include <winsock2.h>
#include <ws2spi.h>

#include <string.h>

#include "winebase.h"

namespace {

WORD g_routedFrom = 0;
WORD g_routedTo = 0;

int fail(LPINT lpErrno) {
    *lpErrno = WSAGetLastError();
    return SOCKET_ERROR;
}

int result_of(int status, LPINT lpErrno) { return status == SOCKET_ERROR ? fail(lpErrno) : status; }

SOCKET WSPAPI BaseAccept(SOCKET s, struct sockaddr* addr, LPINT addrlen, LPCONDITIONPROC, DWORD_PTR, LPINT lpErrno) {
    SOCKET accepted = accept(s, addr, addrlen);
    if (accepted == INVALID_SOCKET) *lpErrno = WSAGetLastError();
    return accepted;
}

int WSPAPI BaseAddressToString(LPSOCKADDR, DWORD, LPWSAPROTOCOL_INFOW, LPWSTR, LPDWORD, LPINT lpErrno) {
    *lpErrno = WSAEOPNOTSUPP;
    return SOCKET_ERROR;
}

int WSPAPI BaseAsyncSelect(SOCKET s, HWND window, unsigned int message, LONG events, LPINT lpErrno) {
    return result_of(WSAAsyncSelect(s, window, message, events), lpErrno);
}

int WSPAPI BaseBind(SOCKET s, const struct sockaddr* name, int namelen, LPINT lpErrno) {
    return result_of(bind(s, name, namelen), lpErrno);
}

int WSPAPI BaseCancelBlockingCall(LPINT) { return 0; }

int WSPAPI BaseCleanup(LPINT) { return 0; }

int WSPAPI BaseCloseSocket(SOCKET s, LPINT lpErrno) { return result_of(closesocket(s), lpErrno); }

int WSPAPI BaseConnect(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF, LPWSABUF, LPQOS, LPQOS,
                       LPINT lpErrno) {
    sockaddr_in routed;
    if (name && namelen >= static_cast<int>(sizeof(routed)) && name->sa_family == AF_INET) {
        memcpy(&routed, name, sizeof(routed));
        if (g_routedFrom && ntohs(routed.sin_port) == g_routedFrom) {
            routed.sin_port = htons(g_routedTo);
            name = reinterpret_cast<const sockaddr*>(&routed);
        }
    }
    return result_of(connect(s, name, namelen), lpErrno);
}

int WSPAPI BaseDuplicateSocket(SOCKET, DWORD, LPWSAPROTOCOL_INFOW, LPINT lpErrno) {
    *lpErrno = WSAEOPNOTSUPP;
    return SOCKET_ERROR;
}

int WSPAPI BaseEnumNetworkEvents(SOCKET s, WSAEVENT event, LPWSANETWORKEVENTS events, LPINT lpErrno) {
    return result_of(WSAEnumNetworkEvents(s, event, events), lpErrno);
}

int WSPAPI BaseEventSelect(SOCKET s, WSAEVENT event, LONG events, LPINT lpErrno) {
    return result_of(WSAEventSelect(s, event, events), lpErrno);
}

BOOL WSPAPI BaseGetOverlappedResult(SOCKET s, LPWSAOVERLAPPED overlapped, LPDWORD transferred, BOOL wait,
                                    LPDWORD flags, LPINT lpErrno) {
    if (WSAGetOverlappedResult(s, overlapped, transferred, wait, flags)) return TRUE;
    *lpErrno = WSAGetLastError();
    return FALSE;
}

int WSPAPI BaseGetPeerName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno) {
    return result_of(getpeername(s, name, namelen), lpErrno);
}

int WSPAPI BaseGetSockName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno) {
    return result_of(getsockname(s, name, namelen), lpErrno);
}

int WSPAPI BaseGetSockOpt(SOCKET s, int level, int optname, char* optval, LPINT optlen, LPINT lpErrno) {
    return result_of(getsockopt(s, level, optname, optval, optlen), lpErrno);
}

BOOL WSPAPI BaseGetQOSByName(SOCKET, LPWSABUF, LPQOS, LPINT lpErrno) {
    *lpErrno = WSAEOPNOTSUPP;
    return FALSE;
}

int WSPAPI BaseIoctl(SOCKET s, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                     LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID,
                     LPINT lpErrno) {
    return result_of(WSAIoctl(s, code, in, inSize, out, outSize, returned, overlapped, routine), lpErrno);
}

SOCKET WSPAPI BaseJoinLeaf(SOCKET, const struct sockaddr*, int, LPWSABUF, LPWSABUF, LPQOS, LPQOS, DWORD,
                           LPINT lpErrno) {
    *lpErrno = WSAEOPNOTSUPP;
    return INVALID_SOCKET;
}

int WSPAPI BaseListen(SOCKET s, int backlog, LPINT lpErrno) { return result_of(listen(s, backlog), lpErrno); }

int WSPAPI BaseRecv(SOCKET s, LPWSABUF buffers, DWORD count, LPDWORD received, LPDWORD flags,
                    LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID,
                    LPINT lpErrno) {
    return result_of(WSARecv(s, buffers, count, received, flags, overlapped, routine), lpErrno);
}

int WSPAPI BaseRecvDisconnect(SOCKET, LPWSABUF, LPINT lpErrno) {
    *lpErrno = WSAEOPNOTSUPP;
    return SOCKET_ERROR;
}

int WSPAPI BaseRecvFrom(SOCKET s, LPWSABUF buffers, DWORD count, LPDWORD received, LPDWORD flags,
                        struct sockaddr* from, LPINT fromlen, LPWSAOVERLAPPED overlapped,
                        LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID, LPINT lpErrno) {
    return result_of(WSARecvFrom(s, buffers, count, received, flags, from, fromlen, overlapped, routine), lpErrno);
}

int WSPAPI BaseSelect(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const PTIMEVAL timeout,
                      LPINT lpErrno) {
    return result_of(select(nfds, readfds, writefds, exceptfds, timeout), lpErrno);
}

int WSPAPI BaseSend(SOCKET s, LPWSABUF buffers, DWORD count, LPDWORD sent, DWORD flags, LPWSAOVERLAPPED overlapped,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID, LPINT lpErrno) {
    return result_of(WSASend(s, buffers, count, sent, flags, overlapped, routine), lpErrno);
}

int WSPAPI BaseSendDisconnect(SOCKET, LPWSABUF, LPINT lpErrno) {
    *lpErrno = WSAEOPNOTSUPP;
    return SOCKET_ERROR;
}

int WSPAPI BaseSendTo(SOCKET s, LPWSABUF buffers, DWORD count, LPDWORD sent, DWORD flags, const struct sockaddr* to,
                      int tolen, LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                      LPWSATHREADID, LPINT lpErrno) {
    return result_of(WSASendTo(s, buffers, count, sent, flags, to, tolen, overlapped, routine), lpErrno);
}

int WSPAPI BaseSetSockOpt(SOCKET s, int level, int optname, const char* optval, int optlen, LPINT lpErrno) {
    return result_of(setsockopt(s, level, optname, optval, optlen), lpErrno);
}

int WSPAPI BaseShutdown(SOCKET s, int how, LPINT lpErrno) { return result_of(shutdown(s, how), lpErrno); }

SOCKET WSPAPI BaseSocket(int af, int type, int protocol, LPWSAPROTOCOL_INFOW, GROUP, DWORD flags, LPINT lpErrno) {
    SOCKET s = WSASocketW(af, type, protocol, NULL, 0, flags);
    if (s == INVALID_SOCKET) *lpErrno = WSAGetLastError();
    return s;
}

int WSPAPI BaseStringToAddress(LPWSTR, INT, LPWSAPROTOCOL_INFOW, LPSOCKADDR, LPINT, LPINT lpErrno) {
    *lpErrno = WSAEOPNOTSUPP;
    return SOCKET_ERROR;
}

}  // namespace

extern "C" int WSPAPI WSPStartup(WORD, LPWSPDATA data, LPWSAPROTOCOL_INFOW, WSPUPCALLTABLE, LPWSPPROC_TABLE procs) {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return WSASYSNOTREADY;
    data->wVersion = data->wHighVersion = MAKEWORD(2, 2);
    const WSPPROC_TABLE table = {
        BaseAccept,      BaseAddressToString, BaseAsyncSelect,  BaseBind,         BaseCancelBlockingCall,
        BaseCleanup,     BaseCloseSocket,     BaseConnect,      BaseDuplicateSocket, BaseEnumNetworkEvents,
        BaseEventSelect, BaseGetOverlappedResult, BaseGetPeerName, BaseGetSockName, BaseGetSockOpt,
        BaseGetQOSByName, BaseIoctl,          BaseJoinLeaf,     BaseListen,       BaseRecv,
        BaseRecvDisconnect, BaseRecvFrom,     BaseSelect,       BaseSend,         BaseSendDisconnect,
        BaseSendTo,      BaseSetSockOpt,      BaseShutdown,     BaseSocket,       BaseStringToAddress,
    };
    *procs = table;
    return 0;
}

extern "C" void winebase_route(WORD fromPort, WORD toPort) {
    g_routedFrom = fromPort;
    g_routedTo = toPort;
}
