// The interposed name look-ups: getaddrinfo and the gethostbyname family. glibc's resolver talks
// to the name server with its own internal socket calls, which a preload library never sees; so
// while filtering is on, a host name is looked up here instead: in the Linux machine's /etc/hosts
// first, then by the stand-in, whose queries travel over Winsock datagram sockets through the
// installed chains, where the filter inspects them. Numeric addresses, look-ups without a host
// name and every look-up while filtering is off stay glibc's own.
#include "live_next.h"
#include "live_winsock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace qf::live;

namespace {

const char kHostsFile[] = "/etc/hosts";
const size_t kMaxHostsFile = 4 * 1024 * 1024;  // read this far at most, as the stand-in reads its own
const size_t kMaxHostName = 253;

std::string read_hosts_file() {
    std::string text;
    int fd = open(kHostsFile, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char chunk[16384];
    for (;;) {
        ssize_t got = next::read(fd, chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        text.append(chunk, static_cast<size_t>(got));
        if (text.size() > kMaxHostsFile) {
            const size_t end = text.rfind('\n', kMaxHostsFile);  // the last whole line within the limit
            text.resize(end == std::string::npos ? 0 : end);
            break;
        }
    }
    next::close(fd);
    return text;
}

bool numeric_address(const char* name) {
    unsigned char bytes[16];
    return inet_pton(AF_INET, name, bytes) == 1 || inet_pton(AF_INET6, name, bytes) == 1;
}

// Whether the look-up of name is ours: a host name (not a number) while filtering is on.
bool ours(const char* name) {
    if (!name || !*name || numeric_address(name) || std::strlen(name) > kMaxHostName) return false;
    return lw_filtering_on();
}

LwLookup look_up(const char* name, LwHost& host) {
    const std::string hosts = read_hosts_file();
    if (lw_hosts_lookup(hosts.data(), hosts.size(), name, host)) return LwLookup::Found;
    return lw_resolve(name, host);
}

int addrinfo_error(LwLookup outcome) {
    switch (outcome) {
        case LwLookup::Found: return 0;
        case LwLookup::NoSuchName: return EAI_NONAME;
        case LwLookup::NoAddress: return EAI_NODATA;
        case LwLookup::TryAgain: return EAI_AGAIN;
        case LwLookup::Failed: break;
    }
    return EAI_FAIL;
}

int host_error(LwLookup outcome) {
    switch (outcome) {
        case LwLookup::Found: return 0;
        case LwLookup::NoSuchName: return HOST_NOT_FOUND;
        case LwLookup::NoAddress: return NO_DATA;
        case LwLookup::TryAgain: return TRY_AGAIN;
        case LwLookup::Failed: break;
    }
    return NO_RECOVERY;
}

// Lays host out as a hostent in buffer: the pointer arrays first, then the addresses, then the
// names. ERANGE when the buffer is too small.
int fill_host_entry(const LwHost& host, hostent* entry, char* buffer, size_t length) {
    const size_t pointers = (host.aliases.size() + 1 + host.addresses.size() + 1) * sizeof(char*);
    size_t needed = pointers + host.addresses.size() * sizeof(uint32_t) + host.name.size() + 1;
    for (const std::string& alias : host.aliases) needed += alias.size() + 1;
    const size_t misalignment = reinterpret_cast<uintptr_t>(buffer) % alignof(char*);
    const size_t skip = misalignment ? alignof(char*) - misalignment : 0;
    if (length < skip || length - skip < needed) return ERANGE;
    buffer += skip;
    char** aliasPointers = reinterpret_cast<char**>(buffer);
    char** addressPointers = aliasPointers + host.aliases.size() + 1;
    char* at = buffer + pointers;
    for (size_t i = 0; i < host.addresses.size(); ++i, at += sizeof(uint32_t)) {
        std::memcpy(at, &host.addresses[i], sizeof(uint32_t));
        addressPointers[i] = at;
    }
    addressPointers[host.addresses.size()] = nullptr;
    auto put = [&at](const std::string& text) {
        char* start = at;
        std::memcpy(at, text.c_str(), text.size() + 1);
        at += text.size() + 1;
        return start;
    };
    entry->h_name = put(host.name);
    for (size_t i = 0; i < host.aliases.size(); ++i) aliasPointers[i] = put(host.aliases[i]);
    aliasPointers[host.aliases.size()] = nullptr;
    entry->h_aliases = aliasPointers;
    entry->h_addrtype = AF_INET;
    entry->h_length = sizeof(uint32_t);
    entry->h_addr_list = addressPointers;
    return 0;
}

// The reentrant look-up both gethostbyname2_r and the non-reentrant calls answer from.
int host_by_name_r(const char* name, int family, hostent* entry, char* buffer, size_t length, hostent** result,
                   int* hostError) {
    *result = nullptr;
    if (family != AF_INET) {
        // IPv6 sockets are refused while filtering is on: no IPv6 address is handed out.
        *hostError = NO_DATA;
        return 0;
    }
    LwHost host;
    const LwLookup outcome = look_up(name, host);
    if (outcome != LwLookup::Found) {
        *hostError = host_error(outcome);
        return outcome == LwLookup::TryAgain ? EAGAIN : 0;
    }
    if (int error = fill_host_entry(host, entry, buffer, length)) {
        *hostError = NETDB_INTERNAL;
        return error;
    }
    *hostError = 0;
    *result = entry;
    return 0;
}

// The host entry of the calling thread, valid until its next non-reentrant call, as glibc's own
// static entry is until the next call.
hostent* host_by_name(const char* name, int family) {
    static thread_local hostent entry;
    static thread_local std::string buffer(1024, '\0');
    for (;;) {
        hostent* result = nullptr;
        int hostError = 0;
        const int error = host_by_name_r(name, family, &entry, &buffer[0], buffer.size(), &result, &hostError);
        if (error == ERANGE && buffer.size() < 1024 * 1024) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        h_errno = hostError;
        return result;
    }
}

// The entries glibc makes for one numeric IPv4 address and the program's service and hints.
int entries_for(uint32_t address, const char* service, const addrinfo* hints, addrinfo** out) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, text, sizeof(text));
    addrinfo numeric{};
    if (hints) {
        numeric.ai_socktype = hints->ai_socktype;
        numeric.ai_protocol = hints->ai_protocol;
        numeric.ai_flags = hints->ai_flags & (AI_PASSIVE | AI_NUMERICSERV);
    }
    numeric.ai_family = AF_INET;
    numeric.ai_flags |= AI_NUMERICHOST;
    return next::getaddrinfo(text, service, &numeric, out);
}

}  // namespace

extern "C" {

int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
    if (!result || (hints && (hints->ai_flags & AI_NUMERICHOST)) || !ours(node))
        return next::getaddrinfo(node, service, hints, result);
    *result = nullptr;
    const int family = hints ? hints->ai_family : AF_UNSPEC;
    if (family != AF_UNSPEC && family != AF_INET) {
        if (family != AF_INET6) return next::getaddrinfo(node, service, hints, result);  // glibc's own error
        return EAI_ADDRFAMILY;  // IPv6 sockets are refused while filtering is on
    }
    LwHost host;
    const LwLookup outcome = look_up(node, host);
    if (outcome != LwLookup::Found) return addrinfo_error(outcome);

    // Each address as glibc lists a numeric one (its socket types, its service's port), one
    // list after the other; glibc's freeaddrinfo frees every entry and the canonical name.
    addrinfo* head = nullptr;
    addrinfo** tail = &head;
    for (uint32_t address : host.addresses) {
        addrinfo* entries = nullptr;
        if (int error = entries_for(address, service, hints, &entries)) {
            if (head) freeaddrinfo(head);
            return error;
        }
        *tail = entries;
        while (*tail) tail = &(*tail)->ai_next;
    }
    if (head && hints && (hints->ai_flags & AI_CANONNAME)) {
        head->ai_canonname = strdup(host.name.c_str());
        if (!head->ai_canonname) {
            freeaddrinfo(head);
            return EAI_MEMORY;
        }
    }
    *result = head;
    return head ? 0 : EAI_NONAME;
}

hostent* gethostbyname(const char* name) {
    return gethostbyname2(name, AF_INET);
}

hostent* gethostbyname2(const char* name, int family) {
    if (!ours(name)) return next::gethostbyname2(name, family);
    return host_by_name(name, family);
}

int gethostbyname_r(const char* name, hostent* entry, char* buffer, size_t length, hostent** result, int* hostError) {
    return gethostbyname2_r(name, AF_INET, entry, buffer, length, result, hostError);
}

int gethostbyname2_r(const char* name, int family, hostent* entry, char* buffer, size_t length, hostent** result,
                     int* hostError) {
    if (!ours(name)) return next::gethostbyname2_r(name, family, entry, buffer, length, result, hostError);
    return host_by_name_r(name, family, entry, buffer, length, result, hostError);
}

}  // extern "C"
