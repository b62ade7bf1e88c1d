// The control code by which ws2_32 carries CancelIo on a socket handle to the socket's provider:
// the provider completes the calling thread's pending overlapped requests on the socket with
// WSA_OPERATION_ABORTED. A layered provider passes it down as it passes other control codes, and
// the base provider cancels what the calling thread issued on its socket. (A vendor code of the
// stand-in's own; Windows cancels socket requests in its kernel.)
#pragma once

#include <winsock2.h>

namespace qf::ws {

constexpr DWORD kSioCancelIo = _WSAIO(IOC_VENDOR, 0x0C10);

}  // namespace qf::ws
