// How an overlapped operation on a socket handle is reported done when the application gave no
// completion routine: the outcome goes into Internal (the error) and InternalHigh (the bytes), the
// event is signalled, and a packet goes to the completion port the handle is associated with
// unless the event handle has its lowest bit set, or the operation succeeded within its call
// (atOnce) on a handle that skips the port then (FILE_SKIP_COMPLETION_PORT_ON_SUCCESS). ws2_32
// does this for the handles of layered providers (WPUCompleteOverlappedRequest); the base provider
// does it for its own sockets, as the kernel does for installable file system handles on Windows.
#pragma once

#include <winsock2.h>

namespace qf::ws {

void complete_overlapped(SOCKET s, LPWSAOVERLAPPED overlapped, DWORD error, DWORD bytes, bool atOnce = false);

}  // namespace qf::ws
