// The runtime's resolver: host names that neither the hosts file nor the machine itself answers
// are asked of the machine's name server, over a datagram socket made through the catalog, so
// that the protocol chains installed for UDP see the exchange as they see a program's own.
#pragma once

#include "name_tables.h"

namespace qf::ws2 {

// 0 with record filled, or WSAHOST_NOT_FOUND (no such name, or no name server to ask),
// WSANO_DATA (the name has no IPv4 address), WSATRY_AGAIN (no answer in time, a server failure),
// WSANO_RECOVERY (the server refuses, or no socket could be made).
int dns_resolve(const char* name, HostRecord& record);

}  // namespace qf::ws2
