// The remote end of a connect or a datagram send, read from the caller's socket address.
#pragma once

#include <winsock2.h>

#include "filter_report.h"

struct FilterTarget {
    bool ipv4;      // AF_INET: the address below is valid
    WORD port;      // host order; 0 when the family carries none
    DWORD address;  // IPv4, network order; 0 unless ipv4
    char text[FILTER_ADDRESS_TEXT_SIZE];  // the address as text, empty for an unknown family
};

// Reads an AF_INET target (its first 8 bytes) or an AF_INET6 one (a whole sockaddr_in6); other
// families give no port and no address. A null target gives the same.
FilterTarget filter_read_target(const struct sockaddr* target);
