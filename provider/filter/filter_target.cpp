#include "filter_target.h"

#include <string.h>

namespace {

// Offsets in sockaddr_in and sockaddr_in6.
const size_t kPortOffset = 2;
const size_t kAddressOffset = 4;
const size_t kAddress6Offset = 8;

}  // namespace

FilterTarget filter_read_target(const struct sockaddr* target) {
    FilterTarget result = {};
    if (!target) return result;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(target);
    u_short family;
    memcpy(&family, bytes, sizeof family);
    if (family != AF_INET && family != AF_INET6) return result;

    u_short port;
    memcpy(&port, bytes + kPortOffset, sizeof port);
    result.port = ntohs(port);
    if (family == AF_INET) {
        result.ipv4 = true;
        memcpy(&result.address, bytes + kAddressOffset, sizeof result.address);
        filter_address_text(result.address, result.text);
    } else {
        filter_address6_text(bytes + kAddress6Offset, result.text);
    }
    return result;
}
