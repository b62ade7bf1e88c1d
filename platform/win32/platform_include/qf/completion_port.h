// I/O completion ports for the rest of the platform: the Winsock runtime completes an overlapped
// operation on a socket through the port the socket was associated with (CreateIoCompletionPort).
#pragma once

#include <windows.h>

namespace qf {

// Queues a completion packet for an operation on fileHandle to the port it is associated with,
// under the association's key; error 0 reports success. False when the handle has no port (or
// the port has been closed).
bool completion_port_complete(HANDLE fileHandle, DWORD bytes, LPOVERLAPPED overlapped, DWORD error);

// Whether a successful operation that completes within its call queues no packet for fileHandle
// (SetFileCompletionNotificationModes with FILE_SKIP_COMPLETION_PORT_ON_SUCCESS).
bool completion_port_skips_on_success(HANDLE fileHandle);

// Whether fileHandle is associated with a live port.
bool completion_port_associated(HANDLE fileHandle);

// Drops the association of a handle that is being closed, so a later handle with the same value
// (sockets are file descriptors, which the kernel reuses) starts unassociated. CloseHandle does so
// for the stand-in's own handles; the Winsock runtime for its sockets.
void completion_port_forget(HANDLE fileHandle);

}  // namespace qf
