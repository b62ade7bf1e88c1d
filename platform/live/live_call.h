// Small helpers the interposed calls share (Linux side).
#pragma once

#include "live_errno.h"

#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace qf::live {

// -1 with errno set, as a failed C library call answers.
inline int fail_errno(int errnoValue) {
    errno = errnoValue;
    return -1;
}
inline int fail_ws(int wsError) { return fail_errno(errno_from_ws_error(wsError)); }

// An address the stand-in wrote, handed to the program as the kernel hands addresses out: as
// much as fits, and the full length in *length.
inline void copy_address_out(const sockaddr_in& address, sockaddr* out, socklen_t* length) {
    if (!out || !length) return;
    size_t n = *length < sizeof(address) ? *length : sizeof(address);
    sockaddr_in copy = address;
    copy.sin_family = AF_INET;
    std::memcpy(out, &copy, n);
    *length = sizeof(address);
}

}  // namespace qf::live
