// DNS messages in their wire format (RFC 1035), put together byte by byte for the tests.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace filter_test {

inline void put16(std::string& m, uint16_t v) {
    m += static_cast<char>(v >> 8);
    m += static_cast<char>(v & 0xff);
}

inline void put_name(std::string& m, const std::string& dotted) {
    size_t start = 0;
    while (start < dotted.size()) {
        size_t dot = dotted.find('.', start);
        if (dot == std::string::npos) dot = dotted.size();
        m += static_cast<char>(dot - start);
        m += dotted.substr(start, dot - start);
        start = dot + 1;
    }
    m += '\0';
}

// Header (id, flags, QDCOUNT, ANCOUNT, NSCOUNT 0, ARCOUNT 0) and one question of type A, class IN.
inline std::string dns_head(uint16_t id, uint16_t flags, uint16_t answers, const std::string& name) {
    std::string m;
    put16(m, id);
    put16(m, flags);
    put16(m, 1);
    put16(m, answers);
    put16(m, 0);
    put16(m, 0);
    put_name(m, name);
    put16(m, 1);  // A
    put16(m, 1);  // IN
    return m;
}

// A standard query with recursion desired.
inline std::string dns_query(const std::string& name, uint16_t id = 0x1234) { return dns_head(id, 0x0100, 0, name); }

// A response with one A record per address (dotted quads), each owned by the question's name
// through a compression pointer to offset 12.
inline std::string dns_answer(const std::string& name, const std::vector<std::string>& addresses,
                              uint16_t id = 0x1234) {
    std::string m = dns_head(id, 0x8180, static_cast<uint16_t>(addresses.size()), name);
    for (const std::string& a : addresses) {
        put16(m, 0xC00C);
        put16(m, 1);  // A
        put16(m, 1);  // IN
        put16(m, 0);  // TTL 300
        put16(m, 300);
        put16(m, 4);
        unsigned b[4] = {};
        sscanf(a.c_str(), "%u.%u.%u.%u", &b[0], &b[1], &b[2], &b[3]);
        for (unsigned byte : b) m += static_cast<char>(byte);
    }
    return m;
}

}  // namespace filter_test
