// The machine's name server, where the runtime's resolver sends its queries: the registry value
// NameServer under SYSTEM\CurrentControlSet\Services\Tcpip\Parameters, as on Windows, holding one
// IPv4 address, optionally with a port: "192.0.2.53" or "127.0.0.1:5353".
#pragma once

#include <cstddef>
#include <cstdint>

namespace qf {

extern const char kTcpipParametersKey[];  // "SYSTEM\CurrentControlSet\Services\Tcpip\Parameters"
extern const char kNameServerValue[];     // "NameServer"
constexpr uint16_t kNameServerDefaultPort = 53;

// Reads text[0..length): a dotted IPv4 address (four decimal parts of 0-255), optionally followed
// by ":PORT" (1-65535, digits only). address is in network order, port in host order (53 when
// none is given). False when the text is not one.
bool parse_name_server(const char* text, size_t length, uint32_t& address, uint16_t& port);

}  // namespace qf
