// Errors, cancellation, address texts.
#include "dispatch.h"

#include <cstdio>
#include <cstring>
#include <vector>

using namespace qf::ws2;
using qf::wscat::CatalogEntry;

namespace {

const DWORD kMaxAddressText = 1024;  // longer texts are never addresses; bounds the conversions

// The entry whose provider converts addresses of a family: the caller's, else the first one an
// application could open a socket on.
int entry_for_family(int family, const WSAPROTOCOL_INFOW* info, CatalogEntry& chosen) {
    if (!ws2_started()) return WSANOTINITIALISED;
    auto catalog = ws2_catalog();
    for (const CatalogEntry& entry : catalog->entries) {
        if (info ? entry.info.dwCatalogEntryId == info->dwCatalogEntryId
                 : (entry.info.iAddressFamily == family && !(entry.info.dwProviderFlags & PFL_HIDDEN) &&
                    entry.info.ProtocolChain.ChainLen != LAYERED_PROTOCOL)) {
            chosen = entry;
            return 0;
        }
    }
    return info ? WSAEINVAL : WSAEAFNOSUPPORT;
}

void widen_info(const WSAPROTOCOL_INFOA& from, WSAPROTOCOL_INFOW& to) {
    std::memcpy(&to, &from, offsetof(WSAPROTOCOL_INFOA, szProtocol));
    for (size_t i = 0; i <= WSAPROTOCOL_LEN; ++i) to.szProtocol[i] = static_cast<unsigned char>(from.szProtocol[i]);
    to.szProtocol[WSAPROTOCOL_LEN] = 0;
}

}  // namespace

extern "C" int WSAAPI WSAGetLastError(void) { return static_cast<int>(GetLastError()); }
extern "C" void WSAAPI WSASetLastError(int iError) { SetLastError(static_cast<DWORD>(iError)); }

// Cancels the blocking call the calling thread is in (from an APC or a blocking hook). The
// provider the thread called last answers, with WSAEINVAL when it has nothing to cancel.
extern "C" int WSAAPI WSACancelBlockingCall(void) {
    if (!ws2_started()) return fail(WSANOTINITIALISED);
    std::shared_ptr<LoadedProvider> provider = cancel_target();
    if (!provider) return fail(WSAEINVAL);
    int error = 0;
    if (provider->procs.lpWSPCancelBlockingCall(&error) != 0) return fail(error);
    return 0;
}

extern "C" INT WSAAPI WSAAddressToStringW(LPSOCKADDR lpsaAddress, DWORD dwAddressLength,
                                          LPWSAPROTOCOL_INFOW lpProtocolInfo, LPWSTR lpszAddressString,
                                          LPDWORD lpdwAddressStringLength) {
    if (!ws2_started()) return fail(WSANOTINITIALISED);
    if (!lpsaAddress || !lpdwAddressStringLength || dwAddressLength < sizeof(u_short)) return fail(WSAEFAULT);
    CatalogEntry entry;
    if (int error = entry_for_family(lpsaAddress->sa_family, lpProtocolInfo, entry)) return fail(error);
    std::shared_ptr<LoadedProvider> provider;
    if (int error = ws2_provider_for(entry, provider)) return fail(error);
    WSAPROTOCOL_INFOW info = entry.info;
    int error = 0;
    if (provider->procs.lpWSPAddressToString(lpsaAddress, dwAddressLength, &info, lpszAddressString,
                                             lpdwAddressStringLength, &error) != 0)
        return fail(error);
    return 0;
}

extern "C" INT WSAAPI WSAAddressToStringA(LPSOCKADDR lpsaAddress, DWORD dwAddressLength,
                                          LPWSAPROTOCOL_INFOA lpProtocolInfo, LPSTR lpszAddressString,
                                          LPDWORD lpdwAddressStringLength) {
    if (!lpdwAddressStringLength) return fail(WSAEFAULT);
    WSAPROTOCOL_INFOW info;
    if (lpProtocolInfo) widen_info(*lpProtocolInfo, info);
    DWORD capacity = *lpdwAddressStringLength < kMaxAddressText ? *lpdwAddressStringLength : kMaxAddressText;
    std::vector<WCHAR> wide(capacity + 1);
    DWORD length = lpszAddressString ? capacity : 0;
    if (WSAAddressToStringW(lpsaAddress, dwAddressLength, lpProtocolInfo ? &info : nullptr,
                            lpszAddressString ? wide.data() : nullptr, &length) != 0) {
        if (GetLastError() == WSAEFAULT) *lpdwAddressStringLength = length;
        return SOCKET_ERROR;
    }
    for (DWORD i = 0; i < length; ++i) lpszAddressString[i] = wide[i] < 0x80 ? static_cast<char>(wide[i]) : '?';
    *lpdwAddressStringLength = length;
    return 0;
}

extern "C" INT WSAAPI WSAStringToAddressW(LPWSTR AddressString, INT AddressFamily, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                                          LPSOCKADDR lpAddress, LPINT lpAddressLength) {
    if (!ws2_started()) return fail(WSANOTINITIALISED);
    if (!AddressString || !lpAddress || !lpAddressLength) return fail(WSAEFAULT);
    CatalogEntry entry;
    if (int error = entry_for_family(AddressFamily, lpProtocolInfo, entry)) return fail(error);
    std::shared_ptr<LoadedProvider> provider;
    if (int error = ws2_provider_for(entry, provider)) return fail(error);
    WSAPROTOCOL_INFOW info = entry.info;
    int error = 0;
    if (provider->procs.lpWSPStringToAddress(AddressString, AddressFamily, &info, lpAddress, lpAddressLength,
                                             &error) != 0)
        return fail(error);
    return 0;
}

extern "C" INT WSAAPI WSAStringToAddressA(LPSTR AddressString, INT AddressFamily, LPWSAPROTOCOL_INFOA lpProtocolInfo,
                                          LPSOCKADDR lpAddress, LPINT lpAddressLength) {
    if (!AddressString) return fail(WSAEFAULT);
    size_t length = strnlen(AddressString, kMaxAddressText + 1);
    if (length > kMaxAddressText) return fail(WSAEINVAL);
    std::vector<WCHAR> wide(length + 1);
    for (size_t i = 0; i < length; ++i) wide[i] = static_cast<unsigned char>(AddressString[i]);
    WSAPROTOCOL_INFOW info;
    if (lpProtocolInfo) widen_info(*lpProtocolInfo, info);
    return WSAStringToAddressW(wide.data(), AddressFamily, lpProtocolInfo ? &info : nullptr, lpAddress,
                               lpAddressLength);
}

// "a.b.c.d" with one to four parts, each decimal, octal (leading 0) or hexadecimal (0x), the last
// part filling the remaining bytes, as BSD's inet_addr reads it. INADDR_NONE for anything else.
u_long WSAAPI inet_addr(const char* cp) {
    if (!cp) return INADDR_NONE;
    uint32_t parts[4];
    int count = 0;
    const char* p = cp;
    while (*p == ' ') ++p;
    for (;;) {
        if (count == 4) return INADDR_NONE;
        uint64_t value = 0;
        int base = 10;
        if (*p == '0' && (p[1] == 'x' || p[1] == 'X')) {
            base = 16;
            p += 2;
        } else if (*p == '0') {
            base = 8;
        }
        const char* start = p;
        for (;; ++p) {
            int digit;
            if (*p >= '0' && *p <= '9') digit = *p - '0';
            else if (base == 16 && *p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
            else if (base == 16 && *p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
            else break;
            if (digit >= base) return INADDR_NONE;
            value = value * base + digit;
            if (value > 0xffffffffu) return INADDR_NONE;
        }
        if (p == start && base != 8) return INADDR_NONE;
        parts[count++] = static_cast<uint32_t>(value);
        if (*p == '.') {
            ++p;
            continue;
        }
        break;
    }
    while (*p == ' ') ++p;
    if (*p != '\0') return INADDR_NONE;
    uint32_t host = 0;
    switch (count) {
    case 1: host = parts[0]; break;
    case 2:
        if (parts[0] > 0xff || parts[1] > 0xffffff) return INADDR_NONE;
        host = (parts[0] << 24) | parts[1];
        break;
    case 3:
        if (parts[0] > 0xff || parts[1] > 0xff || parts[2] > 0xffff) return INADDR_NONE;
        host = (parts[0] << 24) | (parts[1] << 16) | parts[2];
        break;
    default:
        for (int i = 0; i < 4; ++i)
            if (parts[i] > 0xff) return INADDR_NONE;
        host = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
        break;
    }
    return htonl(host);
}

char* WSAAPI inet_ntoa(struct in_addr in) {
    static thread_local char text[16];  // one buffer per thread, as Winsock keeps it
    const u_char* b = reinterpret_cast<const u_char*>(&in.s_addr);
    snprintf(text, sizeof(text), "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}
