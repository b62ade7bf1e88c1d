// Sockets and connections: create, bind, listen, accept, connect, close, shut down, names,
// multicast joins and duplication.
#include "afd.h"

#include "fd_handoff.h"
#include "kernel_socket.h"

#include <ws2tcpip.h>

#include <cstring>

namespace qf::afd {
namespace {

// The state of a socket received from WSPDuplicateSocket: what the kernel says about it.
void learn_state(BaseSocket& socket) {
    int value = 0;
    int length = sizeof(value);
    if (kn_get_option(socket.fd, SOL_SOCKET, SO_ACCEPTCONN, &value, &length) == 0 && value) socket.listening = true;
    sockaddr_in peer;
    int peerLength = sizeof(peer);
    if (!socket.listening && kn_peer_name(socket.fd, &peer, &peerLength) == 0) socket.connected = true;
}

// The selection and mode an accepted socket inherits from its listening socket (lock held).
void inherit(BaseSocket& accepted, const BaseSocket& listening) {
    accepted.nonBlocking = listening.nonBlocking;
    accepted.selectEvent = listening.selectEvent;
    accepted.window = listening.window;
    accepted.message = listening.message;
    accepted.selectMask = listening.selectMask;
    accepted.armed = FD_ALL_EVENTS;
    accepted.writeBlocked = true;
    accepted.receiveTimeout = listening.receiveTimeout;
    accepted.sendTimeout = listening.sendTimeout;
    accepted.sendBufferSize = listening.sendBufferSize;
    accepted.receiveBufferSize = listening.receiveBufferSize;
}

bool is_multicast(const sockaddr_in& address) { return (ntohl(address.sin_addr.s_addr) >> 28) == 0xE; }

}  // namespace

SOCKET WSPAPI WSPSocket(int af, int type, int protocol, LPWSAPROTOCOL_INFOW lpProtocolInfo, GROUP g, DWORD dwFlags,
                        LPINT lpErrno) {
    (void)g;
    (void)dwFlags;
    if (!lpProtocolInfo) {
        fail(lpErrno, WSAEINVAL);
        return INVALID_SOCKET;
    }
    int fd = -1;
    int error = 0;
    bool duplicate = lpProtocolInfo->dwProviderReserved != 0;
    if (duplicate) {
        error = handoff_take(lpProtocolInfo->dwProviderReserved, fd);
    } else {
        if (af == FROM_PROTOCOL_INFO || af == AF_UNSPEC) af = lpProtocolInfo->iAddressFamily;
        if (type == FROM_PROTOCOL_INFO || type == 0) type = lpProtocolInfo->iSocketType;
        if (protocol == FROM_PROTOCOL_INFO || (protocol == 0 && type != SOCK_RAW)) protocol = lpProtocolInfo->iProtocol;
        if (af != lpProtocolInfo->iAddressFamily) error = WSAEAFNOSUPPORT;
        else if (type != lpProtocolInfo->iSocketType) error = WSAESOCKTNOSUPPORT;
        else error = kn_socket(af, type, protocol, fd);
    }
    if (error) {
        fail(lpErrno, error);
        return INVALID_SOCKET;
    }
    auto socket = adopt_socket(fd, *lpProtocolInfo, error);
    if (!socket) {
        fail(lpErrno, error);
        return INVALID_SOCKET;
    }
    if (duplicate) {
        std::lock_guard<std::mutex> guard(socket->lock);
        learn_state(*socket);
    }
    return socket->handle;
}

int WSPAPI WSPBind(SOCKET s, const struct sockaddr* name, int namelen, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if (int error = check_address(name, namelen)) return fail(lpErrno, error);
    if (int error = on_descriptor(*socket, [&](int fd) { return kn_bind(fd, name, namelen); }))
        return fail(lpErrno, error);
    return 0;
}

int WSPAPI WSPListen(SOCKET s, int backlog, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    std::lock_guard<std::mutex> guard(socket->lock);
    if (socket->closing) return fail(lpErrno, WSAENOTSOCK);
    if (!socket->stream()) return fail(lpErrno, WSAEOPNOTSUPP);
    if (socket->connected || socket->connecting) return fail(lpErrno, WSAEISCONN);
    sockaddr_in local;
    int length = sizeof(local);
    if (kn_local_name(socket->fd, &local, &length) != 0 || local.sin_port == 0)
        return fail(lpErrno, WSAEINVAL);  // Windows listens only on a bound socket
    if (int error = kn_listen(socket->fd, backlog)) return fail(lpErrno, error);
    socket->listening = true;
    watch_socket(*socket);
    return 0;
}

SOCKET WSPAPI WSPAccept(SOCKET s, struct sockaddr* addr, LPINT addrlen, LPCONDITIONPROC lpfnCondition,
                        DWORD_PTR dwCallbackData, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) {
        fail(lpErrno, WSAENOTSOCK);
        return INVALID_SOCKET;
    }
    if (addr && (!addrlen || *addrlen < static_cast<int>(sizeof(sockaddr_in)))) {
        fail(lpErrno, WSAEFAULT);
        return INVALID_SOCKET;
    }
    for (;;) {
        int accepted = -1;
        sockaddr_in peer{};
        int peerLength = sizeof(peer);
        int error = 0;
        bool nonBlocking;
        {
            std::lock_guard<std::mutex> guard(socket->lock);
            if (socket->closing) {
                fail(lpErrno, WSAEINTR);
                return INVALID_SOCKET;
            }
            if (!socket->listening) {
                fail(lpErrno, WSAEINVAL);
                return INVALID_SOCKET;
            }
            socket->armed |= FD_ACCEPT;
            nonBlocking = socket->nonBlocking;
            if (socket->deferredAccept >= 0) {
                accepted = socket->deferredAccept;
                socket->deferredAccept = -1;
                error = kn_peer_name(accepted, &peer, &peerLength);
            } else {
                error = kn_accept(socket->fd, accepted, &peer, &peerLength);
            }
            watch_socket(*socket);
        }
        if (error == WSAEWOULDBLOCK) {
            if (nonBlocking) {
                fail(lpErrno, WSAEWOULDBLOCK);
                return INVALID_SOCKET;
            }
            if (int waitError = wait_for(socket, kReadable, 0)) {
                fail(lpErrno, waitError);
                return INVALID_SOCKET;
            }
            continue;
        }
        if (error) {
            if (accepted >= 0) kn_close(accepted);
            fail(lpErrno, error);
            return INVALID_SOCKET;
        }
        if (lpfnCondition) {
            sockaddr_in local{};
            int localLength = sizeof(local);
            kn_local_name(accepted, &local, &localLength);
            WSABUF callerId{sizeof(peer), reinterpret_cast<char*>(&peer)};
            WSABUF calleeId{sizeof(local), reinterpret_cast<char*>(&local)};
            GROUP group = 0;
            int verdict = lpfnCondition(&callerId, nullptr, nullptr, nullptr, &calleeId, nullptr, &group,
                                        dwCallbackData);
            if (verdict == CF_DEFER) {
                std::lock_guard<std::mutex> guard(socket->lock);
                if (socket->deferredAccept >= 0) kn_close(socket->deferredAccept);
                socket->deferredAccept = accepted;
                fail(lpErrno, WSATRY_AGAIN);
                return INVALID_SOCKET;
            }
            if (verdict != CF_ACCEPT) {
                kn_close(accepted);
                fail(lpErrno, verdict == CF_REJECT ? WSAECONNREFUSED : WSAEINVAL);
                return INVALID_SOCKET;
            }
        }
        auto created = adopt_socket(accepted, socket->info, error);
        if (!created) {
            fail(lpErrno, error);
            return INVALID_SOCKET;
        }
        {
            std::lock_guard<std::mutex> guard(socket->lock);
            std::lock_guard<std::mutex> createdGuard(created->lock);
            inherit(*created, *socket);
            created->connected = true;
            created->connectedAt = GetTickCount();
            watch_socket(*created);
        }
        if (addr) {
            std::memcpy(addr, &peer, sizeof(peer));
            *addrlen = sizeof(peer);
        }
        return created->handle;
    }
}

int WSPAPI WSPConnect(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                      LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS, LPINT lpErrno) {
    (void)lpSQOS;
    (void)lpGQOS;
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if (int error = check_address(name, namelen)) return fail(lpErrno, error);
    if (lpCallerData && lpCallerData->len > 0) return fail(lpErrno, WSAEOPNOTSUPP);  // no connect data over TCP/IP
    if (lpCalleeData) lpCalleeData->len = 0;
    {
        std::lock_guard<std::mutex> guard(socket->lock);
        if (socket->closing) return fail(lpErrno, WSAENOTSOCK);
        if (socket->listening) return fail(lpErrno, WSAEINVAL);
        settle_connect(*socket, true);
        if (socket->connecting) return fail(lpErrno, WSAEALREADY);
        if (socket->connected && socket->stream()) return fail(lpErrno, WSAEISCONN);
        socket->connectError = 0;
        int error = kn_connect(socket->fd, name, namelen);
        if (error == 0) {
            socket->connected = true;
            socket->connectedAt = GetTickCount();
            LONG live = socket->selectMask & socket->armed;
            if (live & FD_CONNECT) signal_event(*socket, FD_CONNECT, 0);
            if (live & FD_WRITE) {
                socket->writeBlocked = false;
                signal_event(*socket, FD_WRITE, 0);
            }
            watch_socket(*socket);
            return 0;
        }
        if (error != WSAEWOULDBLOCK) return fail(lpErrno, error);
        socket->connecting = true;
        socket->armed |= FD_CONNECT;
        watch_socket(*socket);
        if (socket->nonBlocking) return fail(lpErrno, WSAEWOULDBLOCK);
    }
    if (int error = wait_for(socket, kWritable, 0)) return fail(lpErrno, error);
    std::lock_guard<std::mutex> guard(socket->lock);
    if (socket->closing) return fail(lpErrno, WSAEINTR);
    settle_connect(*socket, true);
    if (socket->connected) return 0;
    int error = socket->connectError ? socket->connectError : WSAETIMEDOUT;
    socket->connectError = 0;  // reported here, not again through SO_ERROR
    return fail(lpErrno, error);
}

int WSPAPI WSPCloseSocket(SOCKET s, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    close_socket(socket);
    if (lpErrno) *lpErrno = 0;
    return 0;
}

int WSPAPI WSPShutdown(SOCKET s, int how, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if (how < SD_RECEIVE || how > SD_BOTH) return fail(lpErrno, WSAEINVAL);
    std::lock_guard<std::mutex> guard(socket->lock);
    if (socket->closing) return fail(lpErrno, WSAENOTSOCK);
    settle_connect(*socket, true);
    if (socket->stream() && !socket->connected) return fail(lpErrno, WSAENOTCONN);
    if (socket->stream()) {
        if (!socket->peerKnown) {
            int length = sizeof(socket->peerName);
            socket->peerKnown = kn_peer_name(socket->fd, &socket->peerName, &length) == 0;
        }
        // Only the sending side reaches the kernel: Winsock's SD_RECEIVE refuses later receives
        // but lets data that arrives complete the receives already pending, where the kernel's
        // would end them with an end of stream.
        if (how != SD_RECEIVE) {
            if (int error = kn_shutdown(socket->fd, SD_SEND)) return fail(lpErrno, error);
        }
    }
    // A datagram socket's shutdown is the provider's alone: the kernel refuses it on an
    // unconnected socket after changing its state all the same.
    if (how != SD_RECEIVE) socket->sendShutdown = true;
    if (how != SD_SEND) socket->receiveShutdown = true;
    return 0;
}

int WSPAPI WSPSendDisconnect(SOCKET s, LPWSABUF lpOutboundDisconnectData, LPINT lpErrno) {
    if (lpOutboundDisconnectData && lpOutboundDisconnectData->len > 0) return fail(lpErrno, WSAEOPNOTSUPP);
    return WSPShutdown(s, SD_SEND, lpErrno);
}

int WSPAPI WSPRecvDisconnect(SOCKET s, LPWSABUF lpInboundDisconnectData, LPINT lpErrno) {
    if (lpInboundDisconnectData) lpInboundDisconnectData->len = 0;  // TCP/IP carries no disconnect data
    return WSPShutdown(s, SD_RECEIVE, lpErrno);
}

int WSPAPI WSPGetPeerName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    int error = on_descriptor(*socket, [&](int fd) -> int {
        settle_connect(*socket, true);
        int result = kn_peer_name(fd, name, namelen);
        if (result == WSAENOTCONN && socket->peerKnown && socket->connected) {
            // Shut down: the peer the connection had.
            if (!name || !namelen || *namelen < static_cast<int>(sizeof(socket->peerName))) return WSAEFAULT;
            std::memcpy(name, &socket->peerName, sizeof(socket->peerName));
            *namelen = sizeof(socket->peerName);
            return 0;
        }
        return result;
    });
    if (error) return fail(lpErrno, error);
    return 0;
}

int WSPAPI WSPGetSockName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if (!name || !namelen) return fail(lpErrno, WSAEFAULT);
    sockaddr_in local;
    int length = sizeof(local);
    if (int error = on_descriptor(*socket, [&](int fd) { return kn_local_name(fd, &local, &length); }))
        return fail(lpErrno, error);
    if (local.sin_port == 0 && local.sin_addr.s_addr == 0) return fail(lpErrno, WSAEINVAL);  // not bound yet
    if (*namelen < length) return fail(lpErrno, WSAEFAULT);
    std::memcpy(name, &local, length);
    *namelen = length;
    return 0;
}

// Joins a datagram socket to a multicast group: as a receiver the group is joined, as a sender
// the group becomes the default destination. The socket itself is the leaf.
SOCKET WSPAPI WSPJoinLeaf(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                          LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS, DWORD dwFlags, LPINT lpErrno) {
    (void)lpSQOS;
    (void)lpGQOS;
    (void)lpCalleeData;
    auto socket = find_socket(s);
    if (!socket) {
        fail(lpErrno, WSAENOTSOCK);
        return INVALID_SOCKET;
    }
    int error = check_address(name, namelen);
    sockaddr_in group{};
    if (!error) std::memcpy(&group, name, sizeof(group));
    if (!error && (socket->stream() || !is_multicast(group) || (lpCallerData && lpCallerData->len > 0)))
        error = WSAEOPNOTSUPP;
    if (!error && (dwFlags & (JL_RECEIVER_ONLY | JL_BOTH))) {
        ip_mreq request{};
        request.imr_multiaddr = group.sin_addr;
        error = on_descriptor(*socket, [&](int fd) {
            return kn_set_option(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof(request));
        });
    }
    if (!error && (dwFlags & (JL_SENDER_ONLY | JL_BOTH)))
        error = on_descriptor(*socket, [&](int fd) { return kn_connect(fd, name, namelen); });
    if (error) {
        fail(lpErrno, error);
        return INVALID_SOCKET;
    }
    return s;
}

// Offers the socket to the target process alone; the copy of the protocol information carries the
// token under which WSPSocket there takes it.
int WSPAPI WSPDuplicateSocket(SOCKET s, DWORD dwProcessId, LPWSAPROTOCOL_INFOW lpProtocolInfo, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if (!lpProtocolInfo) return fail(lpErrno, WSAEFAULT);
    uint32_t token = 0;
    int listener = -1, copy = -1;
    if (int error = on_descriptor(*socket, [&](int fd) { return handoff_open(fd, dwProcessId, token, listener, copy); }))
        return fail(lpErrno, error);
    if (!offer_descriptor(listener, copy, dwProcessId)) {
        kn_close(listener);
        kn_close(copy);
        return fail(lpErrno, WSANOTINITIALISED);
    }
    *lpProtocolInfo = socket->info;
    lpProtocolInfo->dwProviderReserved = token;
    return 0;
}

}  // namespace qf::afd
