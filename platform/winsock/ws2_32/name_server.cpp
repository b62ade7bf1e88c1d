// The name server value: its place in the registry and its text.
#include "winsock_name_server.h"

#include <cstring>

namespace qf {

const char kTcpipParametersKey[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
const char kNameServerValue[] = "NameServer";

namespace {

// A decimal number of 1 to maxDigits digits, no sign, no blank, no leading zero.
bool read_decimal(const char* text, size_t length, size_t maxDigits, unsigned& value) {
    if (length == 0 || length > maxDigits || (length > 1 && text[0] == '0')) return false;
    value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

bool read_ipv4(const char* text, size_t length, uint32_t& address) {
    unsigned char bytes[4];
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        size_t end = at;
        while (end < length && text[end] != '.') ++end;
        unsigned value = 0;
        if (!read_decimal(text + at, end - at, 3, value) || value > 255) return false;
        bytes[part] = static_cast<unsigned char>(value);
        if (part < 3 && end == length) return false;
        at = end + 1;
    }
    if (at != length + 1) return false;  // something after the fourth part
    std::memcpy(&address, bytes, 4);
    return true;
}

}  // namespace

bool parse_name_server(const char* text, size_t length, uint32_t& address, uint16_t& port) {
    const void* colon = std::memchr(text, ':', length);
    const size_t host = colon ? static_cast<size_t>(static_cast<const char*>(colon) - text) : length;
    if (!read_ipv4(text, host, address)) return false;
    port = kNameServerDefaultPort;
    if (!colon) return true;
    unsigned value = 0;
    if (!read_decimal(text + host + 1, length - host - 1, 5, value) || value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace qf
