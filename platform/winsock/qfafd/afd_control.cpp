// Control: ioctls with the extension functions, socket options, overlapped results, QOS.
#include "afd.h"

#include "cancel_io.h"
#include "kernel_socket.h"

#include <cstring>

namespace qf::afd {
namespace {

const GUID kAcceptEx = WSAID_ACCEPTEX;
const GUID kGetAcceptExSockaddrs = WSAID_GETACCEPTEXSOCKADDRS;
const GUID kTransmitFile = WSAID_TRANSMITFILE;
const GUID kConnectEx = WSAID_CONNECTEX;
const GUID kDisconnectEx = WSAID_DISCONNECTEX;
const GUID kWSARecvMsg = WSAID_WSARECVMSG;

bool same_guid(const void* a, const GUID& b) { return std::memcmp(a, &b, sizeof(GUID)) == 0; }

int put_value(char* optval, LPINT optlen, const void* value, int size) {
    if (!optval || !optlen) return WSAEFAULT;
    if (*optlen < size) return WSAEFAULT;
    std::memcpy(optval, value, size);
    *optlen = size;
    return 0;
}

int get_dword(const char* optval, int optlen, DWORD& value) {
    if (!optval || optlen < static_cast<int>(sizeof(DWORD))) return WSAEFAULT;
    std::memcpy(&value, optval, sizeof(DWORD));
    return 0;
}

// Completes the calling thread's pending overlapped requests on the socket with
// WSA_OPERATION_ABORTED (CancelIo).
int cancel_requests(BaseSocket& socket) {
    std::lock_guard<std::mutex> guard(socket.lock);
    if (socket.closing) return WSAENOTSOCK;
    DWORD self = GetCurrentThreadId();
    for (auto* queue : {&socket.reads, &socket.writes}) {
        for (auto it = queue->begin(); it != queue->end();) {
            PendingOp& op = **it;
            if (op.issuer != self) {
                ++it;
                continue;
            }
            complete_request(op.completionHandle, op.overlapped, op.routine, op.hasThread ? &op.thread : nullptr,
                             WSA_OPERATION_ABORTED, static_cast<DWORD>(op.done), 0);
            it = queue->erase(it);
        }
    }
    watch_socket(socket);
    return 0;
}

// The ioctl itself; out/returned describe the answer.
int control(BaseSocket& socket, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength, DWORD& returned) {
    returned = 0;
    switch (code) {
    case qf::ws::kSioCancelIo:
        return cancel_requests(socket);
    case FIONBIO: {
        if (!in || inLength < sizeof(u_long)) return WSAEFAULT;
        u_long value;
        std::memcpy(&value, in, sizeof(value));
        std::lock_guard<std::mutex> guard(socket.lock);
        if (socket.closing) return WSAENOTSOCK;
        if (!value && socket.selectMask) return WSAEINVAL;  // a selecting socket stays non-blocking
        socket.nonBlocking = value != 0;
        return 0;
    }
    case FIONREAD: {
        if (!out || outLength < sizeof(u_long)) return WSAEFAULT;
        uint32_t bytes = 0;
        if (int error = on_descriptor(socket, [&](int fd) { return kn_bytes_readable(fd, bytes); })) return error;
        u_long value = bytes;
        std::memcpy(out, &value, sizeof(value));
        returned = sizeof(value);
        return 0;
    }
    case SIOCATMARK: {
        if (!out || outLength < sizeof(u_long)) return WSAEFAULT;
        if (!socket.stream()) return WSAEINVAL;
        bool atMark = true;
        if (int error = on_descriptor(socket, [&](int fd) { return kn_at_mark(fd, atMark); })) return error;
        // TRUE when no out-of-band data is waiting, that is unless the urgent mark is next.
        u_long value = atMark ? FALSE : TRUE;
        std::memcpy(out, &value, sizeof(value));
        returned = sizeof(value);
        return 0;
    }
    case SIO_GET_EXTENSION_FUNCTION_POINTER: {
        if (!in || inLength < sizeof(GUID) || !out || outLength < sizeof(void*)) return WSAEFAULT;
        void* function = nullptr;
        if (same_guid(in, kAcceptEx)) function = reinterpret_cast<void*>(&AcceptExBase);
        else if (same_guid(in, kGetAcceptExSockaddrs)) function = reinterpret_cast<void*>(&GetAcceptExSockaddrsBase);
        else if (same_guid(in, kTransmitFile)) function = reinterpret_cast<void*>(&TransmitFileBase);
        else if (same_guid(in, kConnectEx)) function = reinterpret_cast<void*>(&ConnectExBase);
        else if (same_guid(in, kDisconnectEx)) function = reinterpret_cast<void*>(&DisconnectExBase);
        else if (same_guid(in, kWSARecvMsg)) function = reinterpret_cast<void*>(&WSARecvMsgBase);
        else return WSAEINVAL;
        std::memcpy(out, &function, sizeof(function));
        returned = sizeof(function);
        return 0;
    }
    default:
        return WSAEINVAL;
    }
}

}  // namespace

int WSPAPI WSPIoctl(SOCKET s, DWORD dwIoControlCode, LPVOID lpvInBuffer, DWORD cbInBuffer, LPVOID lpvOutBuffer,
                    DWORD cbOutBuffer, LPDWORD lpcbBytesReturned, LPWSAOVERLAPPED lpOverlapped,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if (!lpOverlapped && !lpcbBytesReturned) return fail(lpErrno, WSAEFAULT);
    DWORD returned = 0;
    int error = control(*socket, dwIoControlCode, lpvInBuffer, cbInBuffer, lpvOutBuffer, cbOutBuffer, returned);
    if (lpcbBytesReturned) *lpcbBytesReturned = returned;
    if (error) return fail(lpErrno, error);
    if (lpOverlapped) {
        // Every control completes at once; an overlapped caller hears of it through its completion too.
        lpOverlapped->InternalHigh = 0;
        lpOverlapped->Internal = WSS_OPERATION_IN_PROGRESS;
        complete_request(s, lpOverlapped, lpCompletionRoutine, lpThreadId, 0, returned, 0, true);
    }
    return 0;
}

int WSPAPI WSPGetSockOpt(SOCKET s, int level, int optname, char* optval, LPINT optlen, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if (!optval || !optlen) return fail(lpErrno, WSAEFAULT);
    std::lock_guard<std::mutex> guard(socket->lock);
    if (socket->closing) return fail(lpErrno, WSAENOTSOCK);
    int error = 0;
    if (level == SOL_SOCKET) {
        switch (optname) {
        case SO_PROTOCOL_INFOW:
            error = put_value(optval, optlen, &socket->info, sizeof(socket->info));
            return error ? fail(lpErrno, error) : 0;
        case SO_RCVTIMEO:
            error = put_value(optval, optlen, &socket->receiveTimeout, sizeof(DWORD));
            return error ? fail(lpErrno, error) : 0;
        case SO_SNDTIMEO:
            error = put_value(optval, optlen, &socket->sendTimeout, sizeof(DWORD));
            return error ? fail(lpErrno, error) : 0;
        case SO_MAX_MSG_SIZE: {
            DWORD size = socket->stream() ? 0xFFFFFFFFu : socket->info.dwMessageSize;
            error = put_value(optval, optlen, &size, sizeof(size));
            return error ? fail(lpErrno, error) : 0;
        }
        case SO_EXCLUSIVEADDRUSE:
            error = put_value(optval, optlen, &socket->exclusiveAddressUse, sizeof(BOOL));
            return error ? fail(lpErrno, error) : 0;
        case SO_CONDITIONAL_ACCEPT:
            error = put_value(optval, optlen, &socket->conditionalAccept, sizeof(BOOL));
            return error ? fail(lpErrno, error) : 0;
        case SO_GROUP_ID:
        case SO_GROUP_PRIORITY: {
            int zero = 0;
            error = put_value(optval, optlen, &zero, sizeof(zero));
            return error ? fail(lpErrno, error) : 0;
        }
        case SO_CONNECT_TIME: {
            settle_connect(*socket, true);
            DWORD seconds = socket->connected ? (GetTickCount() - socket->connectedAt) / 1000 : 0xFFFFFFFFu;
            error = put_value(optval, optlen, &seconds, sizeof(seconds));
            return error ? fail(lpErrno, error) : 0;
        }
        case SO_SNDBUF:
        case SO_RCVBUF: {
            int stored = optname == SO_SNDBUF ? socket->sendBufferSize : socket->receiveBufferSize;
            if (stored < 0) break;  // never set: the kernel's figure
            error = put_value(optval, optlen, &stored, sizeof(stored));
            return error ? fail(lpErrno, error) : 0;
        }
        case SO_LINGER:
        case SO_DONTLINGER:
            if (!socket->stream()) return fail(lpErrno, WSAENOPROTOOPT);  // lingering is a stream's
            break;
        case SO_ERROR:
            if (socket->connectError) {
                // A failed connection is reported once.
                error = put_value(optval, optlen, &socket->connectError, sizeof(int));
                if (!error) socket->connectError = 0;
                return error ? fail(lpErrno, error) : 0;
            }
            break;
        default:
            break;
        }
    }
    if (int optionError = kn_get_option(socket->fd, level, optname, optval, optlen)) return fail(lpErrno, optionError);
    return 0;
}

int WSPAPI WSPSetSockOpt(SOCKET s, int level, int optname, const char* optval, int optlen, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    // After ConnectEx: the kernel socket already carries its connected state; no value is taken.
    if (level == SOL_SOCKET && optname == SO_UPDATE_CONNECT_CONTEXT) return 0;
    if (!optval) return fail(lpErrno, WSAEFAULT);
    std::lock_guard<std::mutex> guard(socket->lock);
    if (socket->closing) return fail(lpErrno, WSAENOTSOCK);
    if (level == SOL_SOCKET) {
        DWORD value = 0;
        switch (optname) {
        case SO_RCVTIMEO:
            if (int error = get_dword(optval, optlen, value)) return fail(lpErrno, error);
            socket->receiveTimeout = value;
            return 0;
        case SO_SNDTIMEO:
            if (int error = get_dword(optval, optlen, value)) return fail(lpErrno, error);
            socket->sendTimeout = value;
            return 0;
        case SO_EXCLUSIVEADDRUSE:
            if (int error = get_dword(optval, optlen, value)) return fail(lpErrno, error);
            socket->exclusiveAddressUse = value ? TRUE : FALSE;
            return 0;
        case SO_CONDITIONAL_ACCEPT:
            if (int error = get_dword(optval, optlen, value)) return fail(lpErrno, error);
            socket->conditionalAccept = value ? TRUE : FALSE;
            return 0;
        case SO_SNDBUF:
        case SO_RCVBUF: {
            if (int error = get_dword(optval, optlen, value)) return fail(lpErrno, error);
            if (int error = kn_set_option(socket->fd, level, optname, optval, optlen)) return fail(lpErrno, error);
            (optname == SO_SNDBUF ? socket->sendBufferSize : socket->receiveBufferSize) = static_cast<int>(value);
            return 0;
        }
        case SO_UPDATE_ACCEPT_CONTEXT:
            // The kernel socket already carries its accepted state.
            if (optlen < static_cast<int>(sizeof(SOCKET))) return fail(lpErrno, WSAEFAULT);
            return 0;
        case SO_PROTOCOL_INFOW:
        case SO_MAX_MSG_SIZE:
        case SO_CONNECT_TIME:
        case SO_GROUP_ID:
            return fail(lpErrno, WSAENOPROTOOPT);
        default:
            break;
        }
    }
    if (int error = kn_set_option(socket->fd, level, optname, optval, optlen)) return fail(lpErrno, error);
    return 0;
}

BOOL WSPAPI WSPGetOverlappedResult(SOCKET s, LPWSAOVERLAPPED lpOverlapped, LPDWORD lpcbTransfer, BOOL fWait,
                                   LPDWORD lpdwFlags, LPINT lpErrno) {
    (void)s;
    if (!lpOverlapped || !lpcbTransfer || !lpdwFlags) {
        fail(lpErrno, WSAEFAULT);
        return FALSE;
    }
    auto pending = [&] {
        return __atomic_load_n(&lpOverlapped->Internal, __ATOMIC_ACQUIRE) == WSS_OPERATION_IN_PROGRESS;
    };
    if (pending()) {
        if (!fWait) {
            fail(lpErrno, WSA_IO_INCOMPLETE);
            return FALSE;
        }
        HANDLE event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(lpOverlapped->hEvent) & ~static_cast<ULONG_PTR>(1));
        if (event) WaitForSingleObject(event, INFINITE);
        Provider& p = provider();
        std::unique_lock<std::mutex> lock(p.completionLock);
        p.completed.wait(lock, [&] { return !pending(); });
    }
    *lpcbTransfer = static_cast<DWORD>(lpOverlapped->InternalHigh);
    *lpdwFlags = lpOverlapped->OffsetHigh;
    int error = static_cast<int>(lpOverlapped->Offset);
    if (error) {
        fail(lpErrno, error);
        return FALSE;
    }
    return TRUE;
}

BOOL WSPAPI WSPGetQOSByName(SOCKET s, LPWSABUF lpQOSName, LPQOS lpQOS, LPINT lpErrno) {
    (void)lpQOSName;
    (void)lpQOS;
    if (!find_socket(s)) {
        fail(lpErrno, WSAENOTSOCK);
        return FALSE;
    }
    fail(lpErrno, WSAEINVAL);  // the provider knows no QOS templates
    return FALSE;
}

}  // namespace qf::afd
