// The extension functions of connections and messages: ConnectEx, DisconnectEx and WSARecvMsg.
#include "afd.h"

#include "afd_engine.h"
#include "kernel_socket.h"

namespace qf::afd {
namespace {

BOOL fail_with(int error) {
    SetLastError(static_cast<DWORD>(error));
    return FALSE;
}

INT fail_int(int error) {
    SetLastError(static_cast<DWORD>(error));
    return SOCKET_ERROR;
}

void mark_pending(LPOVERLAPPED overlapped) {
    overlapped->InternalHigh = 0;
    __atomic_store_n(&overlapped->Internal, static_cast<ULONG_PTR>(WSS_OPERATION_IN_PROGRESS), __ATOMIC_RELEASE);
}

}  // namespace

// Connects a bound stream socket and then sends the first data; the connection's outcome and the
// bytes sent complete the overlapped structure.
BOOL PASCAL ConnectExBase(SOCKET s, const struct sockaddr* name, int namelen, PVOID lpSendBuffer,
                          DWORD dwSendDataLength, LPDWORD lpdwBytesSent, LPOVERLAPPED lpOverlapped) {
    (void)lpdwBytesSent;  // the call always completes through the overlapped structure
    auto socket = find_socket(s);
    if (!socket) return fail_with(WSAENOTSOCK);
    if (!lpOverlapped) return fail_with(WSAEINVAL);
    if (int error = check_address(name, namelen)) return fail_with(error);
    if (dwSendDataLength && !lpSendBuffer) return fail_with(WSAEFAULT);
    std::lock_guard<std::mutex> guard(socket->lock);
    if (socket->closing) return fail_with(WSAENOTSOCK);
    if (!socket->stream() || socket->listening) return fail_with(WSAEINVAL);
    settle_connect(*socket, true);
    if (socket->connecting) return fail_with(WSAEALREADY);
    if (socket->connected) return fail_with(WSAEISCONN);
    sockaddr_in local;
    int localLength = sizeof(local);
    if (kn_local_name(socket->fd, &local, &localLength) != 0 || local.sin_port == 0)
        return fail_with(WSAEINVAL);  // ConnectEx takes a bound socket only
    socket->connectError = 0;
    int error = kn_connect(socket->fd, name, namelen);
    if (error && error != WSAEWOULDBLOCK) return fail_with(error);
    if (error == 0) {
        socket->connected = true;
        socket->connectedAt = GetTickCount();
    } else {
        socket->connecting = true;
        socket->armed |= FD_CONNECT;
    }
    // The first data is a send that waits for the connection; a failed connection completes it
    // with the connection's error.
    auto op = std::make_unique<PendingOp>();
    op->kind = OpKind::Send;
    op->completionHandle = s;
    op->overlapped = lpOverlapped;
    if (dwSendDataLength) op->buffers.push_back(WSABUF{dwSendDataLength, static_cast<CHAR*>(lpSendBuffer)});
    mark_pending(lpOverlapped);
    socket->writes.push_back(std::move(op));
    if (socket->connected) process_writes(*socket);
    watch_socket(*socket);
    return fail_with(WSA_IO_PENDING);
}

// Closes the connection (the sending side first, as a graceful close); with TF_REUSE_SOCKET the
// handle gets a fresh kernel socket for the next AcceptEx or ConnectEx.
BOOL PASCAL DisconnectExBase(SOCKET s, LPOVERLAPPED lpOverlapped, DWORD dwFlags, DWORD dwReserved) {
    auto socket = find_socket(s);
    if (!socket) return fail_with(WSAENOTSOCK);
    if (dwReserved != 0 || (dwFlags & ~static_cast<DWORD>(TF_REUSE_SOCKET))) return fail_with(WSAEINVAL);
    std::deque<std::unique_ptr<PendingOp>> aborted;
    {
        std::lock_guard<std::mutex> guard(socket->lock);
        if (socket->closing) return fail_with(WSAENOTSOCK);
        settle_connect(*socket, true);
        if (!socket->stream() || !socket->connected) return fail_with(WSAENOTCONN);
        kn_shutdown(socket->fd, SD_SEND);
        socket->sendShutdown = socket->receiveShutdown = true;
        if (dwFlags & TF_REUSE_SOCKET) {
            int fresh = -1;
            if (int error = kn_socket(socket->info.iAddressFamily, socket->info.iSocketType, socket->info.iProtocol, fresh))
                return fail_with(error);
            unwatch_socket(*socket);
            if (int error = kn_replace(fresh, socket->fd)) return fail_with(error);
            for (auto& op : socket->reads) aborted.push_back(std::move(op));
            for (auto& op : socket->writes) aborted.push_back(std::move(op));
            socket->reads.clear();
            socket->writes.clear();
            socket->connected = false;
            socket->sendShutdown = socket->receiveShutdown = false;
            socket->peerKnown = false;
            socket->resetError = 0;
            socket->endSeen = false;
            socket->closeWaitsForData = false;
            int upcallError = 0;
            provider().upcalls.lpWPUModifyIFSHandle(socket->info.dwCatalogEntryId, socket->handle, &upcallError);
        }
    }
    for (auto& op : aborted)
        complete_request(op->completionHandle, op->overlapped, op->routine, op->hasThread ? &op->thread : nullptr,
                         WSA_OPERATION_ABORTED, static_cast<DWORD>(op->done), 0);
    if (lpOverlapped) {
        // Done within the call; an overlapped caller hears of it through its completion too.
        mark_pending(lpOverlapped);
        complete_request(s, lpOverlapped, nullptr, nullptr, 0, 0, 0, true);
    }
    return TRUE;
}

// Receives a datagram with its sender into the message's buffers. The provider keeps no control
// data (the control buffer comes back empty). A completion routine is not taken: the extension is
// called past ws2_32, which names the caller's thread for the other calls.
INT PASCAL WSARecvMsgBase(SOCKET s, LPWSAMSG lpMsg, LPDWORD lpdwNumberOfBytesRecvd, LPWSAOVERLAPPED lpOverlapped,
                          LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    auto socket = find_socket(s);
    if (!socket) return fail_int(WSAENOTSOCK);
    if (!lpMsg) return fail_int(WSAEFAULT);
    if (socket->stream()) return fail_int(WSAEINVAL);  // datagram and raw sockets only
    if (lpCompletionRoutine) return fail_int(WSAEOPNOTSUPP);
    lpMsg->Control.len = 0;
    DWORD flags = lpMsg->dwFlags;
    int error = 0;
    int result = WSPRecvFrom(s, lpMsg->lpBuffers, lpMsg->dwBufferCount, lpdwNumberOfBytesRecvd, &flags, lpMsg->name,
                             lpMsg->name ? &lpMsg->namelen : nullptr, lpOverlapped, nullptr, nullptr, &error);
    if (result != 0) {
        if (error == WSAEMSGSIZE) lpMsg->dwFlags = MSG_TRUNC;
        SetLastError(static_cast<DWORD>(error));
        return SOCKET_ERROR;
    }
    lpMsg->dwFlags = flags;
    return 0;
}

}  // namespace qf::afd
