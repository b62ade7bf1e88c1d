// The DNS messages of the runtime's own resolver (RFC 1035): the query it sends for a host name's
// IPv4 addresses and the reading of the answer. Answers are hostile input: every read is checked
// against the length, compression pointers are followed a bounded number of times.
#pragma once

#include "name_tables.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qf::ws2 {

// A query (recursion desired) for the A records of name, a host name of dot-separated labels
// (a final dot allowed). False when the name cannot be put in a query: empty labels, a label over
// 63 bytes, a name over 253.
bool dns_build_query(uint16_t id, const char* name, std::string& query);

enum class DnsAnswer {
    Found,          // record holds the name's addresses
    NoSuchName,     // the server knows no such name, or answered for another name than asked
    NoAddress,      // the name exists but has no IPv4 address
    ServerFailure,  // the server could not answer now (server failure, a truncated answer)
    Refused,        // the server will not answer (refused, not implemented, a format error)
    NotAnAnswer,    // not a well-formed answer to query id: to be ignored
};

// Reads an answer to the query id for name. On Found, record.name is the name the CNAME chain
// leads to, record.aliases the names before it, record.addresses the A records (class IN) owned
// by that name, at most kMaxHostAddresses, in message order.
DnsAnswer dns_read_answer(const unsigned char* data, size_t length, uint16_t id, const char* name,
                          HostRecord& record);

}  // namespace qf::ws2
