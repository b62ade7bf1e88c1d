// The machine's name server: where the stand-in sends the name look-ups it makes over Winsock.
// It is the registry value NameServer under SYSTEM\CurrentControlSet\Services\Tcpip\Parameters,
// as on Windows, holding one IPv4 address, optionally with a port: "192.0.2.53" or "127.0.0.1:5353".
#pragma once

#include "winsock_name_server.h"

#include <cstddef>
#include <string>

namespace qf {

// True when text[0..length) is a dotted IPv4 address, optionally followed by ":PORT" (1-65535,
// digits only).
bool valid_name_server(const char* text, size_t length);

// The first "nameserver" line of a resolv.conf text whose address is IPv4; empty when there is none.
std::string first_ipv4_name_server(const char* text, size_t length);

}  // namespace qf
