// Sending and receiving: blocking, non-blocking and overlapped.
#include "afd.h"

#include "afd_engine.h"
#include "kernel_socket.h"

#include <cstring>

namespace qf::afd {
namespace {

std::vector<IoBuffer> io_buffers(LPWSABUF buffers, DWORD count, size_t skip) {
    std::vector<IoBuffer> out;
    for (DWORD i = 0; i < count; ++i) {
        if (skip >= buffers[i].len) {
            skip -= buffers[i].len;
            continue;
        }
        out.push_back(IoBuffer{buffers[i].buf + skip, buffers[i].len - skip});
        skip = 0;
    }
    return out;
}

size_t total_length(LPWSABUF buffers, DWORD count) {
    size_t total = 0;
    for (DWORD i = 0; i < count; ++i) total += buffers[i].len;
    return total;
}

std::unique_ptr<PendingOp> make_op(OpKind kind, SOCKET s, LPWSABUF buffers, DWORD count, LPWSAOVERLAPPED overlapped,
                                   LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread) {
    auto op = std::make_unique<PendingOp>();
    op->kind = kind;
    op->completionHandle = s;
    op->overlapped = overlapped;
    op->routine = routine;
    if (thread) {
        op->thread = *thread;
        op->hasThread = true;
    }
    op->buffers.assign(buffers, buffers + count);
    return op;
}

void mark_pending(LPWSAOVERLAPPED overlapped) {
    overlapped->InternalHigh = 0;
    __atomic_store_n(&overlapped->Internal, static_cast<ULONG_PTR>(WSS_OPERATION_IN_PROGRESS), __ATOMIC_RELEASE);
}

int receive(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd, LPDWORD lpFlags,
            struct sockaddr* lpFrom, LPINT lpFromlen, LPWSAOVERLAPPED lpOverlapped,
            LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if ((!lpBuffers && dwBufferCount) || !lpFlags) return fail(lpErrno, WSAEFAULT);
    if (lpFrom && (!lpFromlen || *lpFromlen < static_cast<int>(sizeof(sockaddr_in)))) return fail(lpErrno, WSAEFAULT);
    if (lpCompletionRoutine && !lpThreadId) return fail(lpErrno, WSAEINVAL);
    DWORD flags = *lpFlags;
    bool waitAll = (flags & MSG_WAITALL) != 0;
    size_t total = total_length(lpBuffers, dwBufferCount);

    std::unique_lock<std::mutex> lock(socket->lock);
    if (socket->closing) return fail(lpErrno, WSAENOTSOCK);
    settle_connect(*socket, true);
    if (socket->stream() && !socket->connected) return fail(lpErrno, WSAENOTCONN);
    if (socket->receiveShutdown) return fail(lpErrno, WSAESHUTDOWN);
    if (socket->resetError) return fail(lpErrno, socket->resetError);
    if (socket->info.iSocketType == SOCK_DGRAM) {
        // A datagram socket receives only once it has an address (bound, connected or sent from).
        sockaddr_in local;
        int localLength = sizeof(local);
        if (kn_local_name(socket->fd, &local, &localLength) != 0 || local.sin_port == 0)
            return fail(lpErrno, WSAEINVAL);
    }
    // Any receive call enables the next FD_READ.
    socket->armed |= FD_READ | FD_OOB;
    socket->closeWaitsForData = false;

    if (lpOverlapped) {
        if (socket->reads.empty()) {
            std::vector<IoBuffer> buffers = io_buffers(lpBuffers, dwBufferCount, 0);
            int outFlags = static_cast<int>(flags);
            size_t received = 0;
            int error = kn_recv(socket->fd, buffers.data(), static_cast<int>(buffers.size()), &outFlags, lpFrom,
                                lpFromlen, received);
            if (error != WSAEWOULDBLOCK) {
                note_reset(*socket, error);
                if (socket->stream() && !error && received == 0 && total > 0) socket->endSeen = true;
                watch_socket(*socket);
                if (lpNumberOfBytesRecvd) *lpNumberOfBytesRecvd = static_cast<DWORD>(received);
                if (error) return fail(lpErrno, error);  // a failure at once is not completed later
                // Done at once: reported now and, as on Windows, through the completion as well.
                *lpFlags = 0;
                mark_pending(lpOverlapped);
                complete_request(s, lpOverlapped, lpCompletionRoutine, lpThreadId, 0, static_cast<DWORD>(received), 0,
                                 true);
                return 0;
            }
        }
        auto op = make_op(OpKind::Recv, s, lpBuffers, dwBufferCount, lpOverlapped, lpCompletionRoutine, lpThreadId);
        op->flags = flags & ~static_cast<DWORD>(MSG_WAITALL);
        op->from = lpFrom;
        op->fromLength = lpFromlen;
        mark_pending(lpOverlapped);
        socket->reads.push_back(std::move(op));
        watch_socket(*socket);
        return fail(lpErrno, WSA_IO_PENDING);
    }

    size_t done = 0;
    for (;;) {
        std::vector<IoBuffer> buffers = io_buffers(lpBuffers, dwBufferCount, done);
        int outFlags = static_cast<int>(flags & ~static_cast<DWORD>(MSG_WAITALL));
        size_t received = 0;
        int error = kn_recv(socket->fd, buffers.data(), static_cast<int>(buffers.size()), &outFlags, lpFrom,
                            lpFromlen, received);
        if (error != WSAEWOULDBLOCK) {
            note_reset(*socket, error);
            done += received;
            bool end = socket->stream() && !error && received == 0 && total > 0;
            if (end) socket->endSeen = true;
            if (!error && waitAll && socket->stream() && !end && done < total && !(flags & MSG_PEEK)) continue;
            watch_socket(*socket);
            *lpFlags = 0;
            if (lpNumberOfBytesRecvd) *lpNumberOfBytesRecvd = static_cast<DWORD>(done);
            if (error) return fail(lpErrno, error);
            return 0;
        }
        watch_socket(*socket);
        if (socket->nonBlocking) {
            if (done > 0) {
                *lpFlags = 0;
                if (lpNumberOfBytesRecvd) *lpNumberOfBytesRecvd = static_cast<DWORD>(done);
                return 0;
            }
            return fail(lpErrno, WSAEWOULDBLOCK);
        }
        DWORD timeout = socket->receiveTimeout;
        lock.unlock();
        int waitError = wait_for(socket, (flags & MSG_OOB) ? kPriority : kReadable, timeout);
        lock.lock();
        if (waitError) return fail(lpErrno, waitError);
        if (socket->closing) return fail(lpErrno, WSAEINTR);
    }
}

int transmit(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
             const struct sockaddr* lpTo, int iTolen, LPWSAOVERLAPPED lpOverlapped,
             LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if (!lpBuffers && dwBufferCount) return fail(lpErrno, WSAEFAULT);
    if (lpTo) {
        if (int error = check_address(lpTo, iTolen)) return fail(lpErrno, error);
    }
    if (lpCompletionRoutine && !lpThreadId) return fail(lpErrno, WSAEINVAL);
    size_t total = total_length(lpBuffers, dwBufferCount);

    std::unique_lock<std::mutex> lock(socket->lock);
    if (socket->closing) return fail(lpErrno, WSAENOTSOCK);
    settle_connect(*socket, true);
    if (socket->stream() && !socket->connected && !(lpOverlapped && socket->connecting))
        return fail(lpErrno, WSAENOTCONN);
    if (socket->sendShutdown) return fail(lpErrno, WSAESHUTDOWN);
    if (!socket->stream() && !lpTo && !socket->connected) {
        sockaddr_in peer;
        int peerLength = sizeof(peer);
        if (kn_peer_name(socket->fd, &peer, &peerLength) != 0) return fail(lpErrno, WSAENOTCONN);
        socket->connected = true;
    }
    const void* to = socket->stream() ? nullptr : lpTo;  // a stream socket ignores the address, as on Windows

    if (lpOverlapped) {
        auto op = make_op(OpKind::Send, s, lpBuffers, dwBufferCount, lpOverlapped, lpCompletionRoutine, lpThreadId);
        op->flags = dwFlags;
        if (to) op->to.assign(reinterpret_cast<const BYTE*>(to), reinterpret_cast<const BYTE*>(to) + iTolen);
        if (socket->writes.empty() && socket->connected) {
            // Send what the kernel takes now; what it does not take waits for the engine.
            for (;;) {
                std::vector<IoBuffer> buffers = io_buffers(lpBuffers, dwBufferCount, op->done);
                size_t sent = 0;
                int error = kn_send(socket->fd, buffers.data(), static_cast<int>(buffers.size()), static_cast<int>(dwFlags),
                                    to, iTolen, sent);
                if (error == WSAEWOULDBLOCK) break;
                if (error) return fail(lpErrno, error);
                op->done += sent;
                if (!socket->stream() || op->done >= total) {
                    if (lpNumberOfBytesSent) *lpNumberOfBytesSent = static_cast<DWORD>(op->done);
                    mark_pending(lpOverlapped);
                    complete_request(s, lpOverlapped, lpCompletionRoutine, lpThreadId, 0,
                                     static_cast<DWORD>(op->done), 0, true);
                    return 0;
                }
            }
        }
        mark_pending(lpOverlapped);
        socket->writes.push_back(std::move(op));
        watch_socket(*socket);
        return fail(lpErrno, WSA_IO_PENDING);
    }

    size_t done = 0;
    for (;;) {
        std::vector<IoBuffer> buffers = io_buffers(lpBuffers, dwBufferCount, done);
        size_t sent = 0;
        int error = kn_send(socket->fd, buffers.data(), static_cast<int>(buffers.size()), static_cast<int>(dwFlags), to,
                            iTolen, sent);
        if (error != WSAEWOULDBLOCK) {
            if (error) return fail(lpErrno, error);
            done += sent;
            if (socket->stream() && done < total) continue;
            if (lpNumberOfBytesSent) *lpNumberOfBytesSent = static_cast<DWORD>(done);
            return 0;
        }
        if (socket->nonBlocking) {
            // The next FD_WRITE reports when there is room again.
            socket->writeBlocked = true;
            socket->armed |= FD_WRITE;
            watch_socket(*socket);
            if (done > 0) {
                if (lpNumberOfBytesSent) *lpNumberOfBytesSent = static_cast<DWORD>(done);
                return 0;
            }
            return fail(lpErrno, WSAEWOULDBLOCK);
        }
        DWORD timeout = socket->sendTimeout;
        lock.unlock();
        int waitError = wait_for(socket, kWritable, timeout);
        lock.lock();
        if (waitError) return fail(lpErrno, waitError);
        if (socket->closing) return fail(lpErrno, WSAEINTR);
    }
}

}  // namespace

int WSPAPI WSPRecv(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd, LPDWORD lpFlags,
                   LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine,
                   LPWSATHREADID lpThreadId, LPINT lpErrno) {
    return receive(s, lpBuffers, dwBufferCount, lpNumberOfBytesRecvd, lpFlags, nullptr, nullptr, lpOverlapped,
                   lpCompletionRoutine, lpThreadId, lpErrno);
}

int WSPAPI WSPRecvFrom(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd,
                       LPDWORD lpFlags, struct sockaddr* lpFrom, LPINT lpFromlen, LPWSAOVERLAPPED lpOverlapped,
                       LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId,
                       LPINT lpErrno) {
    return receive(s, lpBuffers, dwBufferCount, lpNumberOfBytesRecvd, lpFlags, lpFrom, lpFromlen, lpOverlapped,
                   lpCompletionRoutine, lpThreadId, lpErrno);
}

int WSPAPI WSPSend(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
                   LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine,
                   LPWSATHREADID lpThreadId, LPINT lpErrno) {
    return transmit(s, lpBuffers, dwBufferCount, lpNumberOfBytesSent, dwFlags, nullptr, 0, lpOverlapped,
                    lpCompletionRoutine, lpThreadId, lpErrno);
}

int WSPAPI WSPSendTo(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
                     const struct sockaddr* lpTo, int iTolen, LPWSAOVERLAPPED lpOverlapped,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId,
                     LPINT lpErrno) {
    return transmit(s, lpBuffers, dwBufferCount, lpNumberOfBytesSent, dwFlags, lpTo, iTolen, lpOverlapped,
                    lpCompletionRoutine, lpThreadId, lpErrno);
}

}  // namespace qf::afd
