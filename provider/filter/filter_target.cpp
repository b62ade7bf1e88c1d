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

    result.family = family;
    u_short port;
    memcpy(&port, bytes + kPortOffset, sizeof port);
    result.port = ntohs(port);
    if (family == AF_INET)
        memcpy(&result.address, bytes + kAddressOffset, sizeof result.address);
    else
        memcpy(result.address6, bytes + kAddress6Offset, sizeof result.address6);
    return result;
}

void filter_target_text(const FilterTarget& target, char* text) {
    if (target.family == AF_INET)
        filter_address_text(target.address, text);
    else if (target.family == AF_INET6)
        filter_address6_text(target.address6, text);
    else
        text[0] = 0;
}
