/* I/O completion ports of the Win32 stand-in. */
#ifndef QF_IOAPISET_H
#define QF_IOAPISET_H

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

/* With FileHandle INVALID_HANDLE_VALUE and no ExistingCompletionPort: a new port. With a file or
 * socket handle and a port: associates the handle with the port under CompletionKey and returns the
 * port (a handle can be associated once; the association ends when the handle is closed). A handle
 * that is not open gives ERROR_INVALID_HANDLE. NumberOfConcurrentThreads is accepted and not
 * enforced. */
HANDLE WINAPI CreateIoCompletionPort(HANDLE FileHandle, HANDLE ExistingCompletionPort, ULONG_PTR CompletionKey,
                                     DWORD NumberOfConcurrentThreads);
/* TRUE with a packet; FALSE with *lpOverlapped set when the packet reports a failed operation (the
 * error is the last error); FALSE with *lpOverlapped NULL on timeout (WAIT_TIMEOUT) or when the port
 * was closed while waiting (ERROR_ABANDONED_WAIT_0). */
BOOL WINAPI GetQueuedCompletionStatus(HANDLE CompletionPort, LPDWORD lpNumberOfBytesTransferred,
                                      PULONG_PTR lpCompletionKey, LPOVERLAPPED* lpOverlapped,
                                      DWORD dwMilliseconds);
BOOL WINAPI PostQueuedCompletionStatus(HANDLE CompletionPort, DWORD dwNumberOfBytesTransferred,
                                       ULONG_PTR dwCompletionKey, LPOVERLAPPED lpOverlapped);

/* FILE_SKIP_COMPLETION_PORT_ON_SUCCESS: an overlapped request on the handle that succeeds within
 * its call (the call returns success) queues no packet to the handle's port; one that is pending
 * still does. FILE_SKIP_SET_EVENT_ON_HANDLE is accepted (the stand-in never signals a handle
 * itself). The modes hold until the handle is closed. Other flags: ERROR_INVALID_PARAMETER; a
 * handle that is not open: ERROR_INVALID_HANDLE. */
#define FILE_SKIP_COMPLETION_PORT_ON_SUCCESS 0x1
#define FILE_SKIP_SET_EVENT_ON_HANDLE 0x2
BOOL WINAPI SetFileCompletionNotificationModes(HANDLE FileHandle, UCHAR Flags);

/* Overlapped requests on socket handles (implemented by ws2_32; other handles: ERROR_INVALID_HANDLE).
 * GetOverlappedResult: TRUE with the bytes of a completed request, FALSE with its error, or with
 * ERROR_IO_INCOMPLETE while it is pending and bWait is FALSE (bWait TRUE waits for it). CancelIo:
 * the calling thread's pending requests on the handle complete with ERROR_OPERATION_ABORTED. */
BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                BOOL bWait);
BOOL WINAPI CancelIo(HANDLE hFile);

#ifdef __cplusplus
}
#endif

#endif
