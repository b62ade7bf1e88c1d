// The extension functions: AcceptEx, GetAcceptExSockaddrs and TransmitFile.
#include "afd.h"

#include "afd_engine.h"
#include "kernel_socket.h"

#include <cstring>

namespace qf::afd {
namespace {

// Each address area of an AcceptEx buffer holds the address length and then the address.
const DWORD kAddressArea = sizeof(sockaddr_in) + 16;

BOOL fail_with(int error) {
    SetLastError(static_cast<DWORD>(error));
    return FALSE;
}

void write_area(BYTE* area, const sockaddr_in& address) {
    INT length = sizeof(address);
    std::memcpy(area, &length, sizeof(length));
    std::memcpy(area + sizeof(length), &address, sizeof(address));
}

// Sends everything, waiting for room whatever the socket's mode (TransmitFile does not stop half-way).
int send_all(const std::shared_ptr<BaseSocket>& socket, const char* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        IoBuffer buffer{const_cast<char*>(data) + done, length - done};
        size_t sent = 0;
        int error = on_descriptor(*socket, [&](int fd) { return kn_send(fd, &buffer, 1, 0, nullptr, 0, sent); });
        if (error == WSAENOTSOCK) return WSAEINTR;  // closed meanwhile
        if (error == WSAEWOULDBLOCK) {
            DWORD timeout;
            {
                std::lock_guard<std::mutex> guard(socket->lock);
                timeout = socket->sendTimeout;
            }
            if (int waitError = wait_for(socket, kWritable, timeout)) return waitError;
            continue;
        }
        if (error) return error;
        done += sent;
    }
    return 0;
}

}  // namespace

void write_accept_addresses(BYTE* output, DWORD receiveLength, DWORD localLength, DWORD remoteLength, int fd) {
    (void)localLength;
    (void)remoteLength;
    sockaddr_in local{}, remote{};
    int length = sizeof(local);
    kn_local_name(fd, &local, &length);
    length = sizeof(remote);
    kn_peer_name(fd, &remote, &length);
    write_area(output + receiveLength, local);
    write_area(output + receiveLength + localLength, remote);
}

BOOL PASCAL AcceptExBase(SOCKET sListenSocket, SOCKET sAcceptSocket, PVOID lpOutputBuffer, DWORD dwReceiveDataLength,
                         DWORD dwLocalAddressLength, DWORD dwRemoteAddressLength, LPDWORD lpdwBytesReceived,
                         LPOVERLAPPED lpOverlapped) {
    auto listening = find_socket(sListenSocket);
    auto accepting = find_socket(sAcceptSocket);
    if (!listening || !accepting) return fail_with(WSAENOTSOCK);
    if (!lpOutputBuffer) return fail_with(WSAEFAULT);
    if (dwLocalAddressLength < kAddressArea || dwRemoteAddressLength < kAddressArea) return fail_with(WSAEINVAL);
    {
        std::lock_guard<std::mutex> guard(listening->lock);
        if (!listening->listening) return fail_with(WSAEINVAL);
    }
    {
        std::lock_guard<std::mutex> guard(accepting->lock);
        if (accepting->connected || accepting->connecting || accepting->listening || !accepting->stream())
            return fail_with(WSAEINVAL);
    }
    BYTE* output = static_cast<BYTE*>(lpOutputBuffer);

    if (lpOverlapped) {
        auto op = std::make_unique<PendingOp>();
        op->kind = OpKind::AcceptEx;
        op->completionHandle = sListenSocket;  // an AcceptEx completes on the listening socket
        op->overlapped = lpOverlapped;
        op->acceptSocket = accepting;
        op->output = output;
        op->receiveLength = dwReceiveDataLength;
        op->localLength = dwLocalAddressLength;
        op->remoteLength = dwRemoteAddressLength;
        lpOverlapped->InternalHigh = 0;
        __atomic_store_n(&lpOverlapped->Internal, static_cast<ULONG_PTR>(WSS_OPERATION_IN_PROGRESS), __ATOMIC_RELEASE);
        std::lock_guard<std::mutex> guard(listening->lock);
        if (listening->closing) return fail_with(WSAENOTSOCK);  // nothing would ever complete it
        listening->reads.push_back(std::move(op));
        process_reads(*listening);
        watch_socket(*listening);
        return fail_with(WSA_IO_PENDING);
    }

    // Without an overlapped structure: wait for the connection (and its first data) here.
    int accepted = -1;
    for (;;) {
        int error = on_descriptor(*listening, [&](int fd) { return kn_accept(fd, accepted, nullptr, nullptr); });
        if (error == WSAENOTSOCK) error = WSAEINTR;  // closed meanwhile
        if (error == 0) break;
        if (error != WSAEWOULDBLOCK) return fail_with(error);
        if (int waitError = wait_for(listening, kReadable, 0)) return fail_with(waitError);
    }
    {
        std::lock_guard<std::mutex> guard(accepting->lock);
        if (int error = take_connection(*accepting, accepted)) return fail_with(error);
    }
    size_t received = 0;
    while (dwReceiveDataLength > 0) {
        IoBuffer buffer{output, dwReceiveDataLength};
        int flags = 0;
        int error = on_descriptor(*accepting, [&](int fd) {
            return kn_recv(fd, &buffer, 1, &flags, nullptr, nullptr, received);
        });
        if (error == 0) break;
        if (error == WSAENOTSOCK) return fail_with(WSAEINTR);  // closed meanwhile
        if (error != WSAEWOULDBLOCK) return fail_with(error);
        if (int waitError = wait_for(accepting, kReadable, 0)) return fail_with(waitError);
    }
    int closed = on_descriptor(*accepting, [&](int fd) {
        write_accept_addresses(output, dwReceiveDataLength, dwLocalAddressLength, dwRemoteAddressLength, fd);
        return 0;
    });
    if (closed) return fail_with(WSAEINTR);
    if (lpdwBytesReceived) *lpdwBytesReceived = static_cast<DWORD>(received);
    return TRUE;
}

VOID PASCAL GetAcceptExSockaddrsBase(PVOID lpOutputBuffer, DWORD dwReceiveDataLength, DWORD dwLocalAddressLength,
                                     DWORD dwRemoteAddressLength, struct sockaddr** LocalSockaddr,
                                     LPINT LocalSockaddrLength, struct sockaddr** RemoteSockaddr,
                                     LPINT RemoteSockaddrLength) {
    BYTE* output = static_cast<BYTE*>(lpOutputBuffer);
    auto read_area = [](BYTE* area, DWORD areaLength, struct sockaddr** address, LPINT length) {
        INT stored = 0;
        if (areaLength >= sizeof(INT)) std::memcpy(&stored, area, sizeof(stored));
        // A length that does not fit its area is not believed.
        if (stored < 0 || static_cast<DWORD>(stored) > areaLength - sizeof(INT)) stored = 0;
        if (address) *address = reinterpret_cast<struct sockaddr*>(area + sizeof(INT));
        if (length) *length = stored;
    };
    if (!output) return;
    read_area(output + dwReceiveDataLength, dwLocalAddressLength, LocalSockaddr, LocalSockaddrLength);
    read_area(output + dwReceiveDataLength + dwLocalAddressLength, dwRemoteAddressLength, RemoteSockaddr,
              RemoteSockaddrLength);
}

int finish_transmission(BaseSocket& socket, DWORD flags) {
    if (!(flags & (TF_DISCONNECT | TF_REUSE_SOCKET))) return 0;
    if (socket.closing) return WSAEINTR;
    if (int error = kn_shutdown(socket.fd, SD_SEND)) return error;
    if (!(flags & TF_REUSE_SOCKET)) return 0;
    // A fresh kernel socket under the same handle, ready for the next AcceptEx.
    int fresh = -1;
    if (int error = kn_socket(socket.info.iAddressFamily, socket.info.iSocketType, socket.info.iProtocol, fresh))
        return error;
    unwatch_socket(socket);
    if (int error = kn_replace(fresh, socket.fd)) return error;
    socket.connected = false;
    socket.sendShutdown = socket.receiveShutdown = false;
    socket.resetError = 0;
    socket.endSeen = false;
    socket.closeWaitsForData = false;
    int upcallError = 0;
    provider().upcalls.lpWPUModifyIFSHandle(socket.info.dwCatalogEntryId, socket.handle, &upcallError);
    watch_socket(socket);
    return 0;
}

int transmit_some(BaseSocket& socket, PendingOp& op) {
    Transmission& t = *op.transmission;
    for (;;) {
        if (t.offset == t.pending.size()) {
            // The next piece: a chunk of the file, else the tail, else the end.
            t.pending.clear();
            t.offset = 0;
            if (t.file && !t.fileDone) {
                DWORD want = t.chunk;
                if (!t.wholeFile && t.remaining < want) want = t.remaining;
                DWORD got = 0;
                if (want > 0) {
                    t.pending.resize(want);
                    if (!ReadFile(t.file, t.pending.data(), want, &got, nullptr)) return WSAEINVAL;
                }
                t.pending.resize(got);
                if (!t.wholeFile) t.remaining -= got;
                if (got == 0) t.fileDone = true;
                continue;
            }
            if (!t.tailQueued) {
                t.tailQueued = true;
                t.pending.swap(t.tail);
                continue;
            }
            return finish_transmission(socket, t.flags);
        }
        IoBuffer buffer{t.pending.data() + t.offset, t.pending.size() - t.offset};
        size_t sent = 0;
        if (int error = kn_send(socket.fd, &buffer, 1, 0, nullptr, 0, sent)) return error;  // WSAEWOULDBLOCK: later
        t.offset += sent;
        op.done += sent;
    }
}

// Sends head, file and tail. Without an overlapped structure the work is done within the call;
// with one the call returns FALSE with WSA_IO_PENDING and the engine sends as the socket takes the
// data, then completes the request (event, completion port) with the bytes sent.
BOOL PASCAL TransmitFileBase(SOCKET hSocket, HANDLE hFile, DWORD nNumberOfBytesToWrite, DWORD nNumberOfBytesPerSend,
                             LPOVERLAPPED lpOverlapped, LPTRANSMIT_FILE_BUFFERS lpTransmitBuffers, DWORD dwReserved) {
    auto socket = find_socket(hSocket);
    if (!socket) return fail_with(WSAENOTSOCK);
    {
        std::lock_guard<std::mutex> guard(socket->lock);
        if (socket->closing) return fail_with(WSAENOTSOCK);
        settle_connect(*socket, true);
        if (!socket->stream() || !socket->connected) return fail_with(WSAENOTCONN);
    }
    if (lpOverlapped && hFile) {
        LONG high = static_cast<LONG>(lpOverlapped->OffsetHigh);
        if (SetFilePointer(hFile, static_cast<LONG>(lpOverlapped->Offset), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR)
            return fail_with(WSAEINVAL);
    }
    const DWORD kChunk = 65536;
    DWORD chunk = nNumberOfBytesPerSend && nNumberOfBytesPerSend < kChunk ? nNumberOfBytesPerSend : kChunk;
    const char* head = nullptr;
    const char* tail = nullptr;
    DWORD headLength = 0, tailLength = 0;
    if (lpTransmitBuffers && lpTransmitBuffers->Head && lpTransmitBuffers->HeadLength) {
        head = static_cast<const char*>(lpTransmitBuffers->Head);
        headLength = lpTransmitBuffers->HeadLength;
    }
    if (lpTransmitBuffers && lpTransmitBuffers->Tail && lpTransmitBuffers->TailLength) {
        tail = static_cast<const char*>(lpTransmitBuffers->Tail);
        tailLength = lpTransmitBuffers->TailLength;
    }

    if (lpOverlapped) {
        auto op = std::make_unique<PendingOp>();
        op->kind = OpKind::TransmitFile;
        op->completionHandle = hSocket;
        op->overlapped = lpOverlapped;
        op->transmission = std::make_unique<Transmission>();
        Transmission& t = *op->transmission;
        if (head) t.pending.assign(head, head + headLength);
        if (tail) t.tail.assign(tail, tail + tailLength);
        t.file = hFile;
        t.wholeFile = nNumberOfBytesToWrite == 0;
        t.remaining = nNumberOfBytesToWrite;
        t.chunk = chunk;
        t.fileDone = hFile == nullptr;
        t.flags = dwReserved;
        lpOverlapped->InternalHigh = 0;
        __atomic_store_n(&lpOverlapped->Internal, static_cast<ULONG_PTR>(WSS_OPERATION_IN_PROGRESS), __ATOMIC_RELEASE);
        std::lock_guard<std::mutex> guard(socket->lock);
        if (socket->closing) return fail_with(WSAENOTSOCK);  // nothing would ever complete it
        socket->writes.push_back(std::move(op));
        watch_socket(*socket);
        return fail_with(WSA_IO_PENDING);
    }

    if (head) {
        if (int error = send_all(socket, head, headLength)) return fail_with(error);
    }
    if (hFile) {
        std::vector<char> buffer(chunk);
        DWORD remaining = nNumberOfBytesToWrite;  // 0: the whole file
        for (;;) {
            DWORD want = chunk;
            if (nNumberOfBytesToWrite && remaining < want) want = remaining;
            if (want == 0) break;
            DWORD got = 0;
            if (!ReadFile(hFile, buffer.data(), want, &got, nullptr)) return fail_with(WSAEINVAL);
            if (got == 0) break;
            if (int error = send_all(socket, buffer.data(), got)) return fail_with(error);
            if (nNumberOfBytesToWrite) remaining -= got;
        }
    }
    if (tail) {
        if (int error = send_all(socket, tail, tailLength)) return fail_with(error);
    }
    std::lock_guard<std::mutex> guard(socket->lock);
    if (int error = finish_transmission(*socket, dwReserved)) return fail_with(error);
    return TRUE;
}

}  // namespace qf::afd
