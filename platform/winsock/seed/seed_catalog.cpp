// The base catalog of a new machine: TCP, UDP and raw IPv4 over the base provider.
#include "winsock_seed.h"

#include <wide_text.h>
#include <ws2spi.h>

#include <cstring>
#include <vector>

namespace qf {

const GUID kBaseProviderId = {0x5a1d0e5b, 0x7c2e, 0x4f43, {0x9e, 0x1a, 0x3f, 0x0a, 0xfd, 0x00, 0x00, 0x01}};
const WCHAR kBaseProviderPath[32] = QF_WTEXT("%SystemRoot%\\system32\\qfafd.dll");

namespace {

WSAPROTOCOL_INFOW base_entry(DWORD serviceFlags, int type, int protocol, int protocolMaxOffset, DWORD messageSize,
                             const char* name) {
    WSAPROTOCOL_INFOW info{};
    info.dwServiceFlags1 = serviceFlags;
    info.dwProviderFlags = PFL_MATCHES_PROTOCOL_ZERO;
    info.ProviderId = kBaseProviderId;
    info.ProtocolChain.ChainLen = BASE_PROTOCOL;
    info.iVersion = 2;
    info.iAddressFamily = AF_INET;
    info.iMaxSockAddr = sizeof(sockaddr_in);
    info.iMinSockAddr = sizeof(sockaddr_in);
    info.iSocketType = type;
    info.iProtocol = protocol;
    info.iProtocolMaxOffset = protocolMaxOffset;
    info.iNetworkByteOrder = BIGENDIAN;
    info.iSecurityScheme = SECURITY_PROTOCOL_NONE;
    info.dwMessageSize = messageSize;
    for (size_t i = 0; name[i] && i < WSAPROTOCOL_LEN; ++i) info.szProtocol[i] = static_cast<unsigned char>(name[i]);
    return info;
}

}  // namespace

bool seed_winsock_catalog(std::string& error) {
    DWORD size = 0;
    int wsError = 0;
    if (WSCEnumProtocols(nullptr, nullptr, &size, &wsError) == SOCKET_ERROR && wsError != WSAENOBUFS) {
        error = "the Winsock catalog cannot be read (error " + std::to_string(wsError) + ")";
        return false;
    }
    std::vector<WSAPROTOCOL_INFOW> entries(size / sizeof(WSAPROTOCOL_INFOW) + 1);
    DWORD length = static_cast<DWORD>(entries.size() * sizeof(WSAPROTOCOL_INFOW));
    int count = WSCEnumProtocols(nullptr, entries.data(), &length, &wsError);
    if (count == SOCKET_ERROR) {
        error = "the Winsock catalog cannot be read (error " + std::to_string(wsError) + ")";
        return false;
    }
    for (int i = 0; i < count; ++i)
        if (std::memcmp(&entries[i].ProviderId, &kBaseProviderId, sizeof(GUID)) == 0) return true;  // seeded already

    const DWORD stream = XP1_GUARANTEED_DELIVERY | XP1_GUARANTEED_ORDER | XP1_GRACEFUL_CLOSE | XP1_EXPEDITED_DATA |
                         XP1_IFS_HANDLES;
    const DWORD datagram = XP1_CONNECTIONLESS | XP1_MESSAGE_ORIENTED | XP1_SUPPORT_BROADCAST |
                           XP1_SUPPORT_MULTIPOINT | XP1_IFS_HANDLES;
    WSAPROTOCOL_INFOW base[] = {
        base_entry(stream, SOCK_STREAM, IPPROTO_TCP, 0, 0, "MSAFD Tcpip [TCP/IP]"),
        base_entry(datagram, SOCK_DGRAM, IPPROTO_UDP, 0, 65527, "MSAFD Tcpip [UDP/IP]"),
        base_entry(datagram, SOCK_RAW, 0, 255, 32768, "MSAFD Tcpip [RAW/IP]"),
    };
    GUID id = kBaseProviderId;
    if (WSCInstallProvider(&id, kBaseProviderPath, base, 3, &wsError) != 0) {
        error = "the base Winsock entries cannot be installed (error " + std::to_string(wsError) + ")";
        return false;
    }
    return true;
}

}  // namespace qf
