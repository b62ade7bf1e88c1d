// GetOverlappedResult and CancelIo on socket handles (ioapiset.h): the socket's provider answers,
// as for WSAGetOverlappedResult.
#include "cancel_io.h"
#include "dispatch.h"

using namespace qf::ws2;

namespace {

// The provider of a socket handle; false with ERROR_INVALID_HANDLE for any other handle.
bool resolve_handle(HANDLE hFile, Target& target) {
    SocketRecord record;
    if (!ws2_started() || !table_find(reinterpret_cast<SOCKET>(hFile), record)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return resolve(reinterpret_cast<SOCKET>(hFile), target);
}

}  // namespace

// TRUE with the bytes of a completed request; FALSE with its error (the bytes still given), or
// with ERROR_IO_INCOMPLETE while it is pending and bWait is FALSE. bWait TRUE waits for it.
extern "C" BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                           BOOL bWait) {
    Target t;
    if (!resolve_handle(hFile, t)) return FALSE;
    if (!lpOverlapped || !lpNumberOfBytesTransferred) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD flags = 0;
    int error = 0;
    if (t.provider->procs.lpWSPGetOverlappedResult(reinterpret_cast<SOCKET>(hFile), lpOverlapped,
                                                   lpNumberOfBytesTransferred, bWait, &flags, &error))
        return TRUE;
    SetLastError(static_cast<DWORD>(error));  // WSA_IO_INCOMPLETE is ERROR_IO_INCOMPLETE
    return FALSE;
}

// Completes the calling thread's pending overlapped requests on the socket with
// ERROR_OPERATION_ABORTED (WSA_OPERATION_ABORTED); requests of other threads go on.
extern "C" BOOL WINAPI CancelIo(HANDLE hFile) {
    Target t;
    if (!resolve_handle(hFile, t)) return FALSE;
    DWORD returned = 0;
    int error = 0;
    if (t.provider->procs.lpWSPIoctl(reinterpret_cast<SOCKET>(hFile), qf::ws::kSioCancelIo, nullptr, 0, nullptr, 0,
                                     &returned, nullptr, nullptr, nullptr, &error) != 0) {
        SetLastError(static_cast<DWORD>(error));
        return FALSE;
    }
    return TRUE;
}
