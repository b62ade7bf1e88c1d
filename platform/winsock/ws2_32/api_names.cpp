// Names: gethostbyname, gethostname, getservbyname, inet_ntop, GetAddrInfoW / FreeAddrInfoW.
// Host names are resolved in this order: numeric addresses, the machine's hosts file
// (%SystemRoot%\system32\drivers\etc\hosts), "localhost" and the machine's own name, then the
// machine's name server (dns_resolver.h).
#include "dispatch.h"
#include "dns_resolver.h"
#include "host_name.h"
#include "name_tables.h"
#include "user_memory.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace qf::ws2;

namespace {

const size_t kMaxName = 255;                // the longest host name, as DNS has it
const DWORD kMaxHostsFile = 4 * 1024 * 1024;  // a hosts file is read this far at most

// The hosts file as text; empty when the machine has none.
std::string read_hosts_file() {
    char directory[MAX_PATH];
    UINT length = GetSystemDirectoryA(directory, sizeof(directory));
    if (length == 0 || length >= sizeof(directory)) return {};
    std::string path = std::string(directory, length) + "\\drivers\\etc\\hosts";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char chunk[16384];
    DWORD got = 0;
    while (text.size() < kMaxHostsFile && ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        text.append(chunk, got);
    CloseHandle(file);
    if (text.size() > kMaxHostsFile) {
        // Cut at the last whole line within the limit.
        size_t end = text.rfind('\n', kMaxHostsFile);
        text.resize(end == std::string::npos ? 0 : end);
    }
    return text;
}

// A numeric address as inet_addr reads it ("255.255.255.255" included).
bool numeric_address(const char* name, uint32_t& address) {
    address = inet_addr(name);
    return address != INADDR_NONE || std::strcmp(name, "255.255.255.255") == 0;
}

// The one place host names are resolved. 0 or an error of dns_resolve.
int resolve_host(const char* name, bool numericOnly, HostRecord& record) {
    uint32_t address;
    if (numeric_address(name, address)) {
        record = HostRecord{name, {}, {address}};
        return 0;
    }
    if (numericOnly) return WSAHOST_NOT_FOUND;
    std::string hosts = read_hosts_file();
    if (names_hosts_lookup(hosts.data(), hosts.size(), name, record)) return 0;
    char own[kMaxName + 1];
    if (names_equal(name, "localhost") || (host_name(own, sizeof(own)) && names_equal(name, own))) {
        record = HostRecord{name, {}, {htonl(INADDR_LOOPBACK)}};
        return 0;
    }
    return dns_resolve(name, record);
}

// The hostent of the calling thread, valid until its next gethostbyname, as Winsock keeps it.
struct HostEntryStorage {
    hostent entry{};
    std::string name;
    std::vector<std::string> aliases;
    std::vector<char*> aliasPointers;
    std::vector<uint32_t> addresses;
    std::vector<char*> addressPointers;
};

hostent* fill_host_entry(const HostRecord& record) {
    static thread_local HostEntryStorage storage;
    storage.name = record.name;
    storage.aliases = record.aliases;
    storage.addresses = record.addresses;
    storage.aliasPointers.clear();
    for (std::string& alias : storage.aliases) storage.aliasPointers.push_back(&alias[0]);
    storage.aliasPointers.push_back(nullptr);
    storage.addressPointers.clear();
    for (uint32_t& address : storage.addresses) storage.addressPointers.push_back(reinterpret_cast<char*>(&address));
    storage.addressPointers.push_back(nullptr);
    storage.entry.h_name = &storage.name[0];
    storage.entry.h_aliases = storage.aliasPointers.data();
    storage.entry.h_addrtype = AF_INET;
    storage.entry.h_length = sizeof(uint32_t);
    storage.entry.h_addr_list = storage.addressPointers.data();
    return &storage.entry;
}

// RFC 5952: the longest run of two or more zero groups (the first of equal runs) becomes "::";
// an IPv4-mapped or -compatible address ends in dotted form.
void format_ipv6(const unsigned char* bytes, char* out, size_t size) {
    unsigned groups[8];
    for (int i = 0; i < 8; ++i) groups[i] = (bytes[2 * i] << 8) | bytes[2 * i + 1];
    int bestStart = -1, bestLength = 0;
    for (int i = 0; i < 8;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int start = i;
        while (i < 8 && groups[i] == 0) ++i;
        if (i - start > bestLength && i - start >= 2) {
            bestStart = start;
            bestLength = i - start;
        }
    }
    bool embedsIpv4 = bestStart == 0 && (bestLength == 6 || (bestLength == 5 && groups[5] == 0xffff));
    std::string text;
    char piece[16];
    int last = embedsIpv4 ? 6 : 8;
    for (int i = 0; i < last; ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':') text += ':';
        snprintf(piece, sizeof(piece), "%x", groups[i]);
        text += piece;
    }
    if (embedsIpv4) {
        if (text.back() != ':') text += ':';
        snprintf(piece, sizeof(piece), "%u.%u.%u.%u", bytes[12], bytes[13], bytes[14], bytes[15]);
        text += piece;
    }
    snprintf(out, size, "%s", text.c_str());
}

// Narrows a caller's wide text (ASCII only) of at most max characters; false otherwise.
bool narrow_text(PCWSTR text, size_t max, std::string& out) {
    size_t length = 0;
    if (!user_text_length(text, sizeof(WCHAR), max, length)) return false;
    out.clear();
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == 0 || text[i] >= 0x80) return false;
        out += static_cast<char>(text[i]);
    }
    return true;
}

int fail_names(int error) {
    WSASetLastError(error);
    return error;
}

// The port of a service text: a decimal number, else (unless only numbers are allowed) a service
// name of the protocol of the socket type. -1 with the error when there is none.
int service_port(const char* service, int socketType, bool numericOnly, int& error) {
    char* end = nullptr;
    unsigned long number = std::strtoul(service, &end, 10);
    if (*service && *end == 0 && service[0] >= '0' && service[0] <= '9') {
        if (number > 65535) {
            error = WSATYPE_NOT_FOUND;
            return -1;
        }
        return static_cast<int>(number);
    }
    if (numericOnly) {
        error = WSAHOST_NOT_FOUND;
        return -1;
    }
    const char* protocol = socketType == SOCK_STREAM ? "tcp" : socketType == SOCK_DGRAM ? "udp" : nullptr;
    const ServiceRecord* record = names_find_service(service, protocol);
    if (!record) {
        error = WSATYPE_NOT_FOUND;
        return -1;
    }
    return record->port;
}

}  // namespace

struct hostent* WSAAPI gethostbyname(const char* name) {
    if (!ws2_started()) {
        WSASetLastError(WSANOTINITIALISED);
        return nullptr;
    }
    char own[kMaxName + 1];
    size_t length = 0;
    if (!name || (user_text_length(name, 1, kMaxName, length) && length == 0)) {
        // No name: the machine's own.
        if (!host_name(own, sizeof(own))) {
            WSASetLastError(WSANO_RECOVERY);
            return nullptr;
        }
        name = own;
    } else if (!user_text_length(name, 1, kMaxName, length)) {
        WSASetLastError(user_readable(name, 1) ? WSAHOST_NOT_FOUND : WSAEFAULT);
        return nullptr;
    }
    HostRecord record;
    if (int error = resolve_host(name, false, record)) {
        WSASetLastError(error);
        return nullptr;
    }
    return fill_host_entry(record);
}

int WSAAPI gethostname(char* name, int namelen) {
    if (!ws2_started()) return fail(WSANOTINITIALISED);
    if (namelen <= 0 || !user_writable(name, static_cast<size_t>(namelen))) return fail(WSAEFAULT);
    char own[kMaxName + 1];
    if (!host_name(own, sizeof(own))) return fail(WSANO_RECOVERY);
    if (std::strlen(own) + 1 > static_cast<size_t>(namelen)) return fail(WSAEFAULT);
    std::memcpy(name, own, std::strlen(own) + 1);
    return 0;
}

struct servent* WSAAPI getservbyname(const char* name, const char* proto) {
    if (!ws2_started()) {
        WSASetLastError(WSANOTINITIALISED);
        return nullptr;
    }
    size_t length = 0;
    if (!name || !user_text_length(name, 1, kMaxName, length) ||
        (proto && !user_text_length(proto, 1, kMaxName, length))) {
        WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    const ServiceRecord* record = names_find_service(name, proto);
    if (!record) {
        WSASetLastError(WSANO_DATA);
        return nullptr;
    }
    // The servent of the calling thread, valid until its next call, as Winsock keeps it.
    struct Storage {
        servent entry{};
        char* aliases[2] = {nullptr, nullptr};
    };
    static thread_local Storage storage;
    storage.aliases[0] = const_cast<char*>(record->alias);
    storage.entry.s_name = const_cast<char*>(record->name);
    storage.entry.s_aliases = storage.aliases;
    storage.entry.s_port = static_cast<short>(htons(record->port));
    storage.entry.s_proto = const_cast<char*>(record->protocol);
    return &storage.entry;
}

PCSTR WSAAPI inet_ntop(INT Family, const VOID* pAddr, PSTR pStringBuf, size_t StringBufSize) {
    if (Family != AF_INET && Family != AF_INET6) {
        WSASetLastError(WSAEAFNOSUPPORT);
        return nullptr;
    }
    size_t addressLength = Family == AF_INET ? 4 : 16;
    if (!pStringBuf || StringBufSize == 0 || !user_readable(pAddr, addressLength)) {
        WSASetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    char text[INET6_ADDRSTRLEN];
    const unsigned char* bytes = static_cast<const unsigned char*>(pAddr);
    if (Family == AF_INET) snprintf(text, sizeof(text), "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    else format_ipv6(bytes, text, sizeof(text));
    size_t needed = std::strlen(text) + 1;
    if (StringBufSize < needed || !user_writable(pStringBuf, needed)) {
        WSASetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::memcpy(pStringBuf, text, needed);
    return pStringBuf;
}

extern "C" INT WSAAPI GetAddrInfoW(PCWSTR pNodeName, PCWSTR pServiceName, const ADDRINFOW* pHints,
                                   PADDRINFOW* ppResult) {
    if (!user_writable(ppResult, sizeof(*ppResult))) return fail_names(WSAEINVAL);
    *ppResult = nullptr;
    if (!ws2_started()) return fail_names(WSANOTINITIALISED);
    if (!pNodeName && !pServiceName) return fail_names(WSAHOST_NOT_FOUND);
    ADDRINFOW hints{};
    if (pHints) {
        if (!user_readable(pHints, sizeof(*pHints))) return fail_names(WSAEINVAL);
        hints = *pHints;
        // Only the flags, family, socket type and protocol may be given.
        if (hints.ai_addrlen || hints.ai_canonname || hints.ai_addr || hints.ai_next) return fail_names(WSANO_RECOVERY);
    }
    // The runtime's sockets are IPv4.
    if (hints.ai_family != AF_UNSPEC && hints.ai_family != AF_INET) return fail_names(WSAEAFNOSUPPORT);
    if (hints.ai_socktype != 0 && hints.ai_socktype != SOCK_STREAM && hints.ai_socktype != SOCK_DGRAM &&
        hints.ai_socktype != SOCK_RAW)
        return fail_names(WSAESOCKTNOSUPPORT);

    int port = 0;
    if (pServiceName) {
        std::string service;
        if (!narrow_text(pServiceName, kMaxName, service)) return fail_names(WSATYPE_NOT_FOUND);
        int error = 0;
        port = service_port(service.c_str(), hints.ai_socktype, (hints.ai_flags & AI_NUMERICSERV) != 0, error);
        if (port < 0) return fail_names(error);
    }
    HostRecord record;
    if (pNodeName) {
        std::string node;
        if (!narrow_text(pNodeName, kMaxName, node) || node.empty()) return fail_names(WSAHOST_NOT_FOUND);
        if (int error = resolve_host(node.c_str(), (hints.ai_flags & AI_NUMERICHOST) != 0, record))
            return fail_names(error);
    } else {
        // No node: the wildcard address to bind to, else loopback.
        record.addresses.push_back((hints.ai_flags & AI_PASSIVE) ? htonl(INADDR_ANY) : htonl(INADDR_LOOPBACK));
    }

    // One entry per address, each a single allocation: the entry, its address, its name.
    PADDRINFOW head = nullptr;
    PADDRINFOW* tail = &head;
    for (size_t i = 0; i < record.addresses.size(); ++i) {
        bool named = i == 0 && (hints.ai_flags & AI_CANONNAME) && pNodeName;
        size_t nameChars = named ? record.name.size() + 1 : 0;
        size_t size = sizeof(ADDRINFOW) + sizeof(sockaddr_in) + nameChars * sizeof(WCHAR);
        auto* block = static_cast<unsigned char*>(std::calloc(1, size));
        if (!block) {
            FreeAddrInfoW(head);
            return fail_names(WSA_NOT_ENOUGH_MEMORY);
        }
        auto* entry = reinterpret_cast<ADDRINFOW*>(block);
        auto* address = reinterpret_cast<sockaddr_in*>(block + sizeof(ADDRINFOW));
        address->sin_family = AF_INET;
        address->sin_port = htons(static_cast<u_short>(port));
        address->sin_addr.s_addr = record.addresses[i];
        entry->ai_flags = hints.ai_flags;
        entry->ai_family = AF_INET;
        entry->ai_socktype = hints.ai_socktype;
        entry->ai_protocol = hints.ai_protocol;
        entry->ai_addrlen = sizeof(sockaddr_in);
        entry->ai_addr = reinterpret_cast<sockaddr*>(address);
        if (named) {
            auto* name = reinterpret_cast<WCHAR*>(block + sizeof(ADDRINFOW) + sizeof(sockaddr_in));
            for (size_t c = 0; c < record.name.size(); ++c) name[c] = static_cast<unsigned char>(record.name[c]);
            entry->ai_canonname = name;
        }
        *tail = entry;
        tail = &entry->ai_next;
    }
    *ppResult = head;
    WSASetLastError(0);
    return 0;
}

extern "C" VOID WSAAPI FreeAddrInfoW(PADDRINFOW pAddrInfo) {
    while (pAddrInfo) {
        PADDRINFOW next = pAddrInfo->ai_next;
        std::free(pAddrInfo);
        pAddrInfo = next;
    }
}
