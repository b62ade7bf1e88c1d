// The name look-ups of the runtime that need no network: the hosts file, the well-known
// services. Lists of this kind are read as text of (pointer, length), never past the length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qf::ws2 {

// What a name stands for: its official name, its other names, its IPv4 addresses (network order).
struct HostRecord {
    std::string name;
    std::vector<std::string> aliases;
    std::vector<uint32_t> addresses;
};

// The most addresses and aliases one look-up reports (as Winsock's own hostent holds).
constexpr size_t kMaxHostAddresses = 35;
constexpr size_t kMaxHostAliases = 35;

// Looks name up in a hosts file ("address name alias ..." per line, '#' to the end of a line):
// every line that carries the name (in any case) gives its address; the first such line gives
// the official name and aliases. False when no line carries it.
bool names_hosts_lookup(const char* data, size_t length, const char* name, HostRecord& record);

struct ServiceRecord {
    const char* name;
    const char* alias;  // null when none
    uint16_t port;      // host order
    const char* protocol;
};

// The well-known service of this name (or alias) and protocol ("tcp", "udp"; null: either).
const ServiceRecord* names_find_service(const char* name, const char* protocol);

// Whether two names are the same, compared without regard to ASCII case.
bool names_equal(const char* a, const char* b);

}  // namespace qf::ws2
