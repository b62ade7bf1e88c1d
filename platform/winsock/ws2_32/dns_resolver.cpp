// Asks the name server stored in the registry, as Windows' resolver does: one query, sent again
// once if no answer comes, each wait bounded; datagrams from elsewhere or for another query are
// ignored.
#include "dns_resolver.h"

#include "dns_message.h"
#include "winsock_name_server.h"

#include <winsock2.h>

#include <atomic>
#include <cstring>
#include <string>

namespace qf::ws2 {
namespace {

const DWORD kAttemptWaitsMs[] = {1000, 2000};
const int kMaxAnswer = 65535;  // the largest datagram

bool read_name_server(sockaddr_in& server) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTcpipParametersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char text[64] = {};
    DWORD size = sizeof(text) - 1;
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, kNameServerValue, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return false;
    uint32_t address = 0;
    uint16_t port = 0;
    if (!parse_name_server(text, strnlen(text, size), address, port)) return false;
    std::memset(&server, 0, sizeof(server));
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = address;
    server.sin_port = htons(port);
    return true;
}

// Query ids differ from query to query and from process to process.
uint16_t next_query_id() {
    static std::atomic<uint32_t> counter{GetTickCount() * 2654435761u ^ (GetCurrentProcessId() << 16)};
    const uint32_t value = counter.fetch_add(0x9E3779B1u);
    return static_cast<uint16_t>(value ^ (value >> 16));
}

int error_of(DnsAnswer answer) {
    switch (answer) {
        case DnsAnswer::Found: return 0;
        case DnsAnswer::NoSuchName: return WSAHOST_NOT_FOUND;
        case DnsAnswer::NoAddress: return WSANO_DATA;
        case DnsAnswer::ServerFailure: return WSATRY_AGAIN;
        case DnsAnswer::Refused: return WSANO_RECOVERY;
        case DnsAnswer::NotAnAnswer: break;
    }
    return WSATRY_AGAIN;
}

bool same_endpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

// Waits up to waitMs for the answer to query id; NotAnAnswer when none came in time.
DnsAnswer await_answer(SOCKET s, const sockaddr_in& server, uint16_t id, const char* name, DWORD waitMs,
                       std::string& buffer, HostRecord& record) {
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < waitMs; elapsed = GetTickCount() - start) {
        const DWORD remaining = waitMs - elapsed;
        if (setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&remaining), sizeof(remaining)) != 0)
            return DnsAnswer::Refused;
        sockaddr_in from{};
        int fromLength = sizeof(from);
        const int got = recvfrom(s, &buffer[0], kMaxAnswer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got == SOCKET_ERROR) {
            const int error = WSAGetLastError();
            if (error == WSAETIMEDOUT) break;
            if (error == WSAEMSGSIZE || error == WSAECONNRESET) continue;  // not an answer of ours
            return DnsAnswer::Refused;
        }
        if (!same_endpoint(from, server)) continue;
        const DnsAnswer answer =
            dns_read_answer(reinterpret_cast<const unsigned char*>(buffer.data()), static_cast<size_t>(got), id, name, record);
        if (answer != DnsAnswer::NotAnAnswer) return answer;
    }
    return DnsAnswer::NotAnAnswer;
}

}  // namespace

int dns_resolve(const char* name, HostRecord& record) {
    sockaddr_in server{};
    if (!read_name_server(server)) return WSAHOST_NOT_FOUND;
    const uint16_t id = next_query_id();
    std::string query;
    if (!dns_build_query(id, name, query)) return WSAHOST_NOT_FOUND;

    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return WSANO_RECOVERY;
    std::string buffer(kMaxAnswer, '\0');
    DnsAnswer answer = DnsAnswer::NotAnAnswer;
    for (DWORD waitMs : kAttemptWaitsMs) {
        if (sendto(s, query.data(), static_cast<int>(query.size()), 0, reinterpret_cast<const sockaddr*>(&server),
                   sizeof(server)) == SOCKET_ERROR) {
            answer = DnsAnswer::Refused;
            break;
        }
        answer = await_answer(s, server, id, name, waitMs, buffer, record);
        if (answer != DnsAnswer::NotAnAnswer) break;
    }
    closesocket(s);
    return error_of(answer);
}

}  // namespace qf::ws2
