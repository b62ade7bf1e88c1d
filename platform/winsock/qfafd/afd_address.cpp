// Address texts: "a.b.c.d" or "a.b.c.d:port".
#include "afd.h"

#include <cstdio>
#include <cstring>

namespace qf::afd {

INT WSPAPI WSPAddressToString(LPSOCKADDR lpsaAddress, DWORD dwAddressLength, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                              LPWSTR lpszAddressString, LPDWORD lpdwAddressStringLength, LPINT lpErrno) {
    (void)lpProtocolInfo;
    if (!lpsaAddress || !lpdwAddressStringLength) return fail(lpErrno, WSAEFAULT);
    if (dwAddressLength < sizeof(sockaddr_in)) return fail(lpErrno, WSAEFAULT);
    if (lpsaAddress->sa_family != AF_INET) return fail(lpErrno, WSAEINVAL);
    sockaddr_in address;
    std::memcpy(&address, lpsaAddress, sizeof(address));
    const u_char* b = reinterpret_cast<const u_char*>(&address.sin_addr.s_addr);
    char text[32];
    int length = address.sin_port
                     ? snprintf(text, sizeof(text), "%u.%u.%u.%u:%u", b[0], b[1], b[2], b[3], ntohs(address.sin_port))
                     : snprintf(text, sizeof(text), "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    DWORD needed = static_cast<DWORD>(length) + 1;
    if (!lpszAddressString || *lpdwAddressStringLength < needed) {
        *lpdwAddressStringLength = needed;
        return fail(lpErrno, WSAEFAULT);
    }
    for (DWORD i = 0; i < needed; ++i) lpszAddressString[i] = static_cast<unsigned char>(text[i]);
    *lpdwAddressStringLength = needed;
    return 0;
}

// Reads "a.b.c.d" with an optional ":port", each part decimal; nothing else is accepted.
INT WSPAPI WSPStringToAddress(LPWSTR AddressString, INT AddressFamily, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                              LPSOCKADDR lpAddress, LPINT lpAddressLength, LPINT lpErrno) {
    (void)lpProtocolInfo;
    if (!AddressString || !lpAddress || !lpAddressLength) return fail(lpErrno, WSAEFAULT);
    if (AddressFamily != AF_INET) return fail(lpErrno, WSAEINVAL);
    if (*lpAddressLength < static_cast<int>(sizeof(sockaddr_in))) {
        *lpAddressLength = sizeof(sockaddr_in);
        return fail(lpErrno, WSAEFAULT);
    }
    const size_t kLimit = 32;  // longer than any such text; bounds the reading
    unsigned parts[5] = {0, 0, 0, 0, 0};
    int count = 0;
    bool digits = false;
    bool port = false;
    size_t i = 0;
    for (; i < kLimit && AddressString[i]; ++i) {
        WCHAR c = AddressString[i];
        if (c >= '0' && c <= '9') {
            parts[count] = parts[count] * 10 + (c - '0');
            if (parts[count] > (port ? 65535u : 255u)) return fail(lpErrno, WSAEINVAL);
            digits = true;
        } else if (c == '.' && !port && digits && count < 3) {
            ++count;
            digits = false;
        } else if (c == ':' && !port && digits && count == 3) {
            ++count;
            digits = false;
            port = true;
        } else {
            return fail(lpErrno, WSAEINVAL);
        }
    }
    if (i == kLimit || !digits || count < 3) return fail(lpErrno, WSAEINVAL);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = port ? htons(static_cast<u_short>(parts[4])) : 0;
    address.sin_addr.s_addr = htonl((parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3]);
    std::memcpy(lpAddress, &address, sizeof(address));
    *lpAddressLength = sizeof(address);
    return 0;
}

}  // namespace qf::afd
