// Data transfer entry points, I/O control with the extension functions, and overlapped results.
#include <string.h>

#include <filter.h>
#include <qfatomic.h>

#include "dprovide.h"
#include "dworker.h"
#include "spi_entries.h"
#include "spi_state.h"

namespace {

// The first buffer's share of what a receive brought.
DWORD first_buffer_bytes(LPWSABUF buffers, DWORD count, DWORD bytes) {
    if (!buffers || count == 0) return 0;
    return bytes < buffers[0].len ? bytes : buffers[0].len;
}

char* first_data(LPWSABUF buffers, DWORD count) { return buffers && count ? buffers[0].buf : nullptr; }
DWORD first_length(LPWSABUF buffers, DWORD count) { return buffers && count ? buffers[0].len : 0; }

// A destination the hooks may read: its family's whole address. 0 or WSAEFAULT.
int check_address_length(const struct sockaddr* name, int namelen) {
    if (namelen < static_cast<int>(sizeof(u_short))) return WSAEFAULT;
    u_short family;
    memcpy(&family, name, sizeof(family));
    if ((family == AF_INET && namelen < 16) || (family == AF_INET6 && namelen < 24)) return WSAEFAULT;
    return 0;
}

// An overlapped request's start: the caller's event reset, the worker and a record. Null with
// *lpErrno set when the request cannot be made.
InternalOverlappedStruct* begin_request(SocketContext* context, DWORD kind, LPWSAOVERLAPPED overlapped,
                                        LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread,
                                        Worker** worker, LPINT lpErrno) {
    if (!routine && overlapped->hEvent) {
        HANDLE event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(overlapped->hEvent) & ~static_cast<ULONG_PTR>(1));
        if (!ResetEvent(event)) {
            spi_fail(lpErrno, WSA_INVALID_PARAMETER);
            return nullptr;
        }
    }
    *worker = spi_get_worker();
    if (!*worker) {
        spi_fail(lpErrno, WSAENOBUFS);
        return nullptr;
    }
    InternalOverlappedStruct* record = (*worker)->NewRecord(context, kind, overlapped, routine, thread, lpErrno);
    if (!record) return nullptr;
    overlapped->Internal = WSS_OPERATION_IN_PROGRESS;
    overlapped->InternalHigh = 0;
    return record;
}

// A receive or send request with its buffer arrays copied into the record.
int queue_transfer(SocketContext* context, DWORD kind, LPWSABUF buffers, DWORD count, DWORD flags, ULONG_PTR extra1,
                   ULONG_PTR extra2, LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                   LPWSATHREADID thread, LPINT lpErrno) {
    Worker* worker = nullptr;
    InternalOverlappedStruct* record = begin_request(context, kind, overlapped, routine, thread, &worker, lpErrno);
    if (!record) return SOCKET_ERROR;
    LPWSABUF lowerBuffers = nullptr;
    DWORD lowerCount = 0;
    BufferHandOff::Allocate(buffers, count, &lowerBuffers, &lowerCount);
    bool stored = area_store(record->first.buffers, buffers, count);
    record->firstCount = stored ? count : 0;
    if (stored && (kind == kRequestRecv || kind == kRequestRecvFrom)) {
        stored = area_store(record->second.buffers, lowerBuffers, lowerCount);
        record->secondCount = stored ? lowerCount : 0;
    }
    if (!stored) {
        area_free(record->first.buffers, record->firstCount);
        worker->DropRecord(record);
        return spi_fail(lpErrno, WSAENOBUFS);
    }
    record->flags.value = flags;
    record->extra1 = extra1;
    record->extra2 = extra2;
    return worker->Queue(record, context, lpErrno);
}

}  // namespace

int WSPAPI WSPRecv(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd, LPDWORD lpFlags,
                   LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine,
                   LPWSATHREADID lpThreadId, LPINT lpErrno) {
    int result = SOCKET_ERROR;
    DWORD received = 0;
    SocketContext* context = spi_context(s, lpErrno);
    if (context && lpOverlapped) {
        // Inspected when it completes, before the application is told.
        return queue_transfer(context, kRequestRecv, lpBuffers, dwBufferCount, lpFlags ? *lpFlags : 0, 0, 0,
                              lpOverlapped, lpCompletionRoutine, lpThreadId, lpErrno);
    }
    if (context) {
        LPWSABUF lowerBuffers = nullptr;
        DWORD lowerCount = 0;
        BufferHandOff::Allocate(lpBuffers, dwBufferCount, &lowerBuffers, &lowerCount);
        spi_enter_blocking(context->provider);
        result = context->provider->Procs().lpWSPRecv(context->lowerSocket, lowerBuffers, lowerCount,
                                                      lpNumberOfBytesRecvd, lpFlags, nullptr, nullptr, nullptr,
                                                      lpErrno);
        spi_leave_blocking();
        if (result == 0) {
            BufferHandOff::Deliver();
            if (lpNumberOfBytesRecvd) received = *lpNumberOfBytesRecvd;
        }
        BufferHandOff::Release();
    }
    if (!filter_inspect_recv(s, first_data(lpBuffers, dwBufferCount),
                             first_buffer_bytes(lpBuffers, dwBufferCount, received)))
        return spi_fail(lpErrno, WSAESHUTDOWN);
    // A single empty buffer received nothing.
    if (result == 0 && dwBufferCount == 1 && lpBuffers && lpBuffers[0].len == 0 && lpNumberOfBytesRecvd)
        *lpNumberOfBytesRecvd = 0;
    return result;
}

int WSPAPI WSPRecvFrom(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd,
                       LPDWORD lpFlags, struct sockaddr* lpFrom, LPINT lpFromlen, LPWSAOVERLAPPED lpOverlapped,
                       LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId,
                       LPINT lpErrno) {
    int result = SOCKET_ERROR;
    DWORD received = 0;
    SocketContext* context = spi_context(s, lpErrno);
    if (context && lpOverlapped) {
        return queue_transfer(context, kRequestRecvFrom, lpBuffers, dwBufferCount, lpFlags ? *lpFlags : 0,
                              reinterpret_cast<ULONG_PTR>(lpFrom), reinterpret_cast<ULONG_PTR>(lpFromlen),
                              lpOverlapped, lpCompletionRoutine, lpThreadId, lpErrno);
    }
    if (context) {
        LPWSABUF lowerBuffers = nullptr;
        DWORD lowerCount = 0;
        BufferHandOff::Allocate(lpBuffers, dwBufferCount, &lowerBuffers, &lowerCount);
        spi_enter_blocking(context->provider);
        result = context->provider->Procs().lpWSPRecvFrom(context->lowerSocket, lowerBuffers, lowerCount,
                                                          lpNumberOfBytesRecvd, lpFlags, lpFrom, lpFromlen, nullptr,
                                                          nullptr, nullptr, lpErrno);
        spi_leave_blocking();
        if (result == 0) {
            BufferHandOff::Deliver();
            if (lpNumberOfBytesRecvd) received = *lpNumberOfBytesRecvd;
        }
        BufferHandOff::Release();
    }
    filter_inspect_recvfrom(s, first_data(lpBuffers, dwBufferCount),
                            first_buffer_bytes(lpBuffers, dwBufferCount, received), result == 0 ? lpFrom : nullptr);
    return result;
}

int WSPAPI WSPSend(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
                   LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine,
                   LPWSATHREADID lpThreadId, LPINT lpErrno) {
    SocketContext* context = spi_context(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    LPWSABUF lowerBuffers = nullptr;
    DWORD lowerCount = 0;
    BufferHandOff::Allocate(lpBuffers, dwBufferCount, &lowerBuffers, &lowerCount);
    if (!filter_inspect_send(s, first_data(lpBuffers, dwBufferCount), first_length(lpBuffers, dwBufferCount)))
        return spi_fail(lpErrno, WSAESHUTDOWN);
    if (lpOverlapped)
        return queue_transfer(context, kRequestSend, lowerBuffers, lowerCount, dwFlags, 0, 0, lpOverlapped,
                              lpCompletionRoutine, lpThreadId, lpErrno);
    spi_enter_blocking(context->provider);
    int result = context->provider->Procs().lpWSPSend(context->lowerSocket, lowerBuffers, lowerCount,
                                                      lpNumberOfBytesSent, dwFlags, nullptr, nullptr, nullptr, lpErrno);
    spi_leave_blocking();
    BufferHandOff::Release();
    return result;
}

int WSPAPI WSPSendTo(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
                     const struct sockaddr* lpTo, int iTolen, LPWSAOVERLAPPED lpOverlapped,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId,
                     LPINT lpErrno) {
    SocketContext* context = spi_context(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (lpTo) {
        if (int error = check_address_length(lpTo, iTolen)) return spi_fail(lpErrno, error);
    }
    LPWSABUF lowerBuffers = nullptr;
    DWORD lowerCount = 0;
    BufferHandOff::Allocate(lpBuffers, dwBufferCount, &lowerBuffers, &lowerCount);
    filter_inspect_sendto(s, first_data(lpBuffers, dwBufferCount), first_length(lpBuffers, dwBufferCount), lpTo);
    if (lpOverlapped)
        return queue_transfer(context, kRequestSendTo, lowerBuffers, lowerCount, dwFlags,
                              reinterpret_cast<ULONG_PTR>(lpTo), static_cast<ULONG_PTR>(iTolen), lpOverlapped,
                              lpCompletionRoutine, lpThreadId, lpErrno);
    spi_enter_blocking(context->provider);
    int result = context->provider->Procs().lpWSPSendTo(context->lowerSocket, lowerBuffers, lowerCount,
                                                        lpNumberOfBytesSent, dwFlags, lpTo, iTolen, nullptr, nullptr,
                                                        nullptr, lpErrno);
    spi_leave_blocking();
    BufferHandOff::Release();
    return result;
}

int WSPAPI WSPIoctl(SOCKET s, DWORD dwIoControlCode, LPVOID lpvInBuffer, DWORD cbInBuffer, LPVOID lpvOutBuffer,
                    DWORD cbOutBuffer, LPDWORD lpcbBytesReturned, LPWSAOVERLAPPED lpOverlapped,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId, LPINT lpErrno) {
    SocketContext* context = spi_context(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (lpOverlapped) {
        Worker* worker = nullptr;
        InternalOverlappedStruct* record =
            begin_request(context, kRequestIoctl, lpOverlapped, lpCompletionRoutine, lpThreadId, &worker, lpErrno);
        if (!record) return SOCKET_ERROR;
        record->flags.value = dwIoControlCode;
        record->first.input = lpvInBuffer;
        record->firstCount = cbInBuffer;
        record->second.output = lpvOutBuffer;
        record->secondCount = cbOutBuffer;
        return worker->Queue(record, context, lpErrno);
    }
    int result = context->provider->Procs().lpWSPIoctl(context->lowerSocket, dwIoControlCode, lpvInBuffer, cbInBuffer,
                                                       lpvOutBuffer, cbOutBuffer, lpcbBytesReturned, nullptr, nullptr,
                                                       nullptr, lpErrno);
    if (result == 0 && dwIoControlCode == SIO_GET_EXTENSION_FUNCTION_POINTER) {
        if (int error = spi_intercept_extension(context->provider, lpvInBuffer, cbInBuffer, lpvOutBuffer, cbOutBuffer))
            return spi_fail(lpErrno, error);
    }
    return result;
}

int spi_intercept_extension(LowerProvider* provider, const void* input, DWORD inputLength, void* output,
                            DWORD outputLength) {
    static const GUID transmitFile = WSAID_TRANSMITFILE;
    static const GUID acceptEx = WSAID_ACCEPTEX;
    static const GUID acceptExAddresses = WSAID_GETACCEPTEXSOCKADDRS;
    if (!input || inputLength < sizeof(GUID) || !output || outputLength < sizeof(void*)) return WSAEOPNOTSUPP;
    void* replacement = nullptr;
    if (memcmp(input, &transmitFile, sizeof(GUID)) == 0) {
        memcpy(&provider->m_TransmitFile, output, sizeof(void*));
        replacement = reinterpret_cast<void*>(&VtlspTransmitFile);
    } else if (memcmp(input, &acceptEx, sizeof(GUID)) == 0) {
        memcpy(&provider->m_AcceptEx, output, sizeof(void*));
        replacement = reinterpret_cast<void*>(&VtlspAcceptEx);
    } else if (memcmp(input, &acceptExAddresses, sizeof(GUID)) != 0) {
        return WSAEOPNOTSUPP;
    }
    if (replacement) memcpy(output, &replacement, sizeof(void*));
    return 0;
}

BOOL PASCAL VtlspAcceptEx(SOCKET sListenSocket, SOCKET sAcceptSocket, PVOID lpOutputBuffer, DWORD dwReceiveDataLength,
                          DWORD dwLocalAddressLength, DWORD dwRemoteAddressLength, LPDWORD lpdwBytesReceived,
                          LPOVERLAPPED lpOverlapped) {
    INT error = 0;
    SocketContext* listening = spi_context(sListenSocket, &error);
    SocketContext* accepting = listening ? spi_context(sAcceptSocket, &error) : nullptr;
    if (!listening || !accepting) {
        SetLastError(static_cast<DWORD>(error));
        return FALSE;
    }
    LPFN_ACCEPTEX lower = listening->provider->m_AcceptEx;
    if (!lower) {
        SetLastError(WSAEOPNOTSUPP);
        return FALSE;
    }
    if (!lpOverlapped) {
        spi_enter_blocking(listening->provider);
        BOOL done = lower(listening->lowerSocket, accepting->lowerSocket, lpOutputBuffer, dwReceiveDataLength,
                          dwLocalAddressLength, dwRemoteAddressLength, lpdwBytesReceived, nullptr);
        spi_leave_blocking();
        return done;
    }
    Worker* worker = nullptr;
    InternalOverlappedStruct* record =
        begin_request(listening, kRequestAcceptEx, lpOverlapped, nullptr, nullptr, &worker, &error);
    if (!record) {
        SetLastError(static_cast<DWORD>(error));
        return FALSE;
    }
    record->second.output = lpOutputBuffer;
    record->secondCount = dwReceiveDataLength;
    record->extra1 = dwLocalAddressLength;
    record->extra2 = dwRemoteAddressLength;
    record->flags.acceptSocket = accepting->lowerSocket;
    worker->Queue(record, listening, &error);
    SetLastError(WSA_IO_PENDING);
    return FALSE;
}

BOOL PASCAL VtlspTransmitFile(SOCKET hSocket, HANDLE hFile, DWORD nNumberOfBytesToWrite, DWORD nNumberOfBytesPerSend,
                              LPOVERLAPPED lpOverlapped, LPTRANSMIT_FILE_BUFFERS lpTransmitBuffers, DWORD dwReserved) {
    INT error = 0;
    SocketContext* context = spi_context(hSocket, &error);
    if (!context) {
        SetLastError(static_cast<DWORD>(error));
        return FALSE;
    }
    LPFN_TRANSMITFILE lower = context->provider->m_TransmitFile;
    if (!lower) {
        SetLastError(WSAEOPNOTSUPP);
        return FALSE;
    }
    if (!lpOverlapped)
        return lower(context->lowerSocket, hFile, nNumberOfBytesToWrite, nNumberOfBytesPerSend, nullptr,
                     lpTransmitBuffers, dwReserved);
    Worker* worker = nullptr;
    InternalOverlappedStruct* record =
        begin_request(context, kRequestTransmitFile, lpOverlapped, nullptr, nullptr, &worker, &error);
    if (!record) {
        SetLastError(static_cast<DWORD>(error));
        return FALSE;
    }
    if (lpTransmitBuffers) record->first.transmit = *lpTransmitBuffers;
    // The file is read from the position the caller's structure names.
    record->lowerOverlapped.Offset = lpOverlapped->Offset;
    record->lowerOverlapped.OffsetHigh = lpOverlapped->OffsetHigh;
    record->flags.file = hFile;
    record->extra1 = nNumberOfBytesToWrite;
    record->extra2 = nNumberOfBytesPerSend;
    record->transmitFlags = dwReserved;
    worker->Queue(record, context, &error);
    SetLastError(WSA_IO_PENDING);
    return FALSE;
}

BOOL WSPAPI WSPGetOverlappedResult(SOCKET s, LPWSAOVERLAPPED lpOverlapped, LPDWORD lpcbTransfer, BOOL fWait,
                                   LPDWORD lpdwFlags, LPINT lpErrno) {
    (void)s;
    if (!lpOverlapped || !lpcbTransfer || !lpdwFlags) {
        spi_fail(lpErrno, WSAEFAULT);
        return FALSE;
    }
    // Internal is written last, by the thread that completes the request.
    if (qf_atomic_load(&lpOverlapped->Internal) == WSS_OPERATION_IN_PROGRESS) {
        if (!fWait) {
            spi_fail(lpErrno, WSA_IO_PENDING);
            return FALSE;
        }
        HANDLE event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(lpOverlapped->hEvent) & ~static_cast<ULONG_PTR>(1));
        if (WaitForSingleObject(event, INFINITE) == WAIT_FAILED ||
            qf_atomic_load(&lpOverlapped->Internal) == WSS_OPERATION_IN_PROGRESS) {
            spi_fail(lpErrno, WSASYSCALLFAILURE);
            return FALSE;
        }
    }
    *lpcbTransfer = static_cast<DWORD>(lpOverlapped->InternalHigh);
    *lpdwFlags = lpOverlapped->OffsetHigh;
    if (lpErrno) *lpErrno = static_cast<INT>(lpOverlapped->Offset);
    return lpOverlapped->Offset == 0 ? TRUE : FALSE;
}
