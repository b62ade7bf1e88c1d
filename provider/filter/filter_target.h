// The remote end of a connect or a datagram send, read from the caller's socket address.
#pragma once

#include <winsock2.h>

#include "filter_report.h"

struct FilterTarget {
    u_short family;    // AF_INET, AF_INET6, or 0 for anything else and for no target
    WORD port;         // host order; 0 when the family carries none
    DWORD address;     // AF_INET: the address, network order
    BYTE address6[16]; // AF_INET6: the address
    bool ipv4() const { return family == AF_INET; }
};

// Reads an AF_INET target (its first 8 bytes) or an AF_INET6 one (a whole sockaddr_in6); other
// families, and a null target, give no port and no address.
FilterTarget filter_read_target(const struct sockaddr* target);

// The target's address as text (FILTER_ADDRESS_TEXT_SIZE bytes); empty for other families.
void filter_target_text(const FilterTarget& target, char* text);
