// Chain identifiers and the text form the provider key's subkeys are named with.
#include "chain_guid.h"

#include <stdio.h>
#include <string.h>

const GUID kLayeredProviderId = {0x64C92200, 0xC857, 0x11D4, {0x95, 0x07, 0x00, 0x00, 0xE8, 0x70, 0x8F, 0xED}};

namespace {

const WORD kChainData2 = 0xE0AF;
const WORD kChainData3 = 0x11D4;
const BYTE kChainData4[8] = {0x95, 0x08, 0x00, 0x00, 0xE8, 0x70, 0x8F, 0xED};

const size_t kGuidTextLength = 36;
const size_t kGuidBufferSize = 38;

// Positions of the dashes in the text form; every other position holds one hex digit.
bool is_dash_position(size_t i) { return i == 8 || i == 13 || i == 18 || i == 23; }

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void MakeChainGuid(GUID& guid, DWORD& counter) {
    guid.Data1 = counter++;
    guid.Data2 = kChainData2;
    guid.Data3 = kChainData3;
    memcpy(guid.Data4, kChainData4, sizeof(kChainData4));
}

bool IsChainGuid(const GUID& guid) {
    return guid.Data2 == kChainData2 && guid.Data3 == kChainData3 &&
           memcmp(guid.Data4, kChainData4, sizeof(kChainData4)) == 0;
}

char* FormatGuid(const GUID& guid) {
    char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kGuidBufferSize));
    if (!text) return nullptr;
    snprintf(text, kGuidBufferSize, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", (unsigned)guid.Data1,
             (unsigned)guid.Data2, (unsigned)guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
             guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

void FreeGuidText(char* text) {
    if (text) HeapFree(GetProcessHeap(), 0, text);
}

bool ParseGuid(const char* text, size_t length, GUID& guid) {
    if (!text || length != kGuidTextLength) return false;
    // The 32 hex digits in order, two per byte of the 16-byte value as written.
    BYTE bytes[16];
    size_t digit = 0;
    for (size_t i = 0; i < kGuidTextLength; ++i) {
        if (is_dash_position(i)) {
            if (text[i] != '-') return false;
            continue;
        }
        int value = hex_value(text[i]);
        if (value < 0) return false;
        if (digit % 2 == 0)
            bytes[digit / 2] = static_cast<BYTE>(value << 4);
        else
            bytes[digit / 2] |= static_cast<BYTE>(value);
        ++digit;
    }
    GUID parsed;
    parsed.Data1 = (DWORD)bytes[0] << 24 | (DWORD)bytes[1] << 16 | (DWORD)bytes[2] << 8 | bytes[3];
    parsed.Data2 = static_cast<WORD>(bytes[4] << 8 | bytes[5]);
    parsed.Data3 = static_cast<WORD>(bytes[6] << 8 | bytes[7]);
    memcpy(parsed.Data4, bytes + 8, 8);
    guid = parsed;
    return true;
}
