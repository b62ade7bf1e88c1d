// The catalog read in one piece, and entry names as text.
#include "protocol_catalog.h"

#include <ws2spi.h>

#include <stdio.h>

#include <new>

namespace {

// The catalog may grow between the size query and the enumeration (another installer at work);
// the size is asked again a few times before giving up.
const int kReadAttempts = 3;

void append_utf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

int ReadProtocolCatalog(std::vector<WSAPROTOCOL_INFOW>& entries, const char* announce) {
    entries.clear();
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD size = 0;
        int error = 0;
        if (WSCEnumProtocols(nullptr, nullptr, &size, &error) != SOCKET_ERROR) return 0;  // an empty catalog
        if (error != WSAENOBUFS) return error;
        try {
            entries.assign(size / sizeof(WSAPROTOCOL_INFOW), WSAPROTOCOL_INFOW{});
        } catch (const std::bad_alloc&) {
            return WSA_NOT_ENOUGH_MEMORY;
        }
        if (announce && attempt == 0) printf("%s", announce);
        if (entries.empty()) return 0;
        DWORD length = static_cast<DWORD>(entries.size() * sizeof(WSAPROTOCOL_INFOW));
        int count = WSCEnumProtocols(nullptr, entries.data(), &length, &error);
        if (count != SOCKET_ERROR) {
            entries.resize(static_cast<size_t>(count));
            return 0;
        }
        entries.clear();
        if (error != WSAENOBUFS) return error;
    }
    return WSAENOBUFS;
}

std::string ProtocolNameText(const WSAPROTOCOL_INFOW& info) {
    std::string text;
    const size_t capacity = sizeof(info.szProtocol) / sizeof(info.szProtocol[0]);
    for (size_t i = 0; i < capacity && info.szProtocol[i]; ++i) {
        unsigned long code = info.szProtocol[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < capacity && info.szProtocol[i + 1] >= 0xDC00 &&
            info.szProtocol[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (info.szProtocol[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;  // a lone surrogate
        }
        append_utf8(text, code);
    }
    return text;
}
