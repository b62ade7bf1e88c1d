// The name server: seeded from the Linux machine's /etc/resolv.conf, or set by the administrator.
#include "machine.h"
#include "machine_seeding.h"
#include "name_server.h"
#include "seed_steps.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace qf {

namespace {

bool valid_ipv4(const char* text, size_t length) {
    uint32_t address;
    uint16_t port;
    return !memchr(text, ':', length) && parse_name_server(text, length, address, port);
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

bool valid_name_server(const char* text, size_t length) {
    uint32_t address;
    uint16_t port;
    return parse_name_server(text, length, address, port);
}

std::string first_ipv4_name_server(const char* text, size_t length) {
    const char kKeyword[] = "nameserver";
    const size_t keywordLength = sizeof(kKeyword) - 1;
    for (size_t at = 0; at < length;) {
        const void* newline = memchr(text + at, '\n', length - at);
        const size_t end = newline ? static_cast<const char*>(newline) - text : length;
        size_t i = at;
        while (i < end && is_blank(text[i])) ++i;
        if (end - i > keywordLength && memcmp(text + i, kKeyword, keywordLength) == 0 &&
            is_blank(text[i + keywordLength])) {
            i += keywordLength;
            while (i < end && is_blank(text[i])) ++i;
            size_t last = i;
            while (last < end && !is_blank(text[last]) && text[last] != '#' && text[last] != ';') ++last;
            if (valid_ipv4(text + i, last - i)) return std::string(text + i, last - i);
        }
        at = end + 1;
    }
    return {};
}

// Nothing is seeded when the file cannot be read or names no IPv4 name server.
bool seed_name_server(std::string& error) {
    std::ifstream in("/etc/resolv.conf", std::ios::binary);
    if (!in) return true;
    std::ostringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    const std::string server = first_ipv4_name_server(text.data(), text.size());
    if (server.empty()) return true;
    return seed_string_value(kTcpipParametersKey, kNameServerValue, server.c_str(), error);
}

bool machine_set_name_server(const std::string& server, std::string& error) {
    if (!valid_name_server(server.data(), server.size())) {
        error = "'" + server + "' is not an IPv4 address with an optional :PORT";
        return false;
    }
    HKEY handle = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTcpipParametersKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(handle, kNameServerValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                                static_cast<DWORD>(server.size() + 1));
        RegCloseKey(handle);
    }
    if (status != ERROR_SUCCESS) {
        error = std::string("cannot set the registry value ") + kTcpipParametersKey + "\\" + kNameServerValue + " (" +
                win32_error_text(status) + ")";
        return false;
    }
    return true;
}

}  // namespace qf
