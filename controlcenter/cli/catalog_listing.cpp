// CatalogListingLine: an entry as `quillfence status` lists it.
#include "catalog_listing.h"

#include <protocol_catalog.h>

#include <stdio.h>

std::string CatalogListingLine(const WSAPROTOCOL_INFOW& entry) {
    std::string line = std::to_string(entry.dwCatalogEntryId) + " \"";
    for (char c : ProtocolNameText(entry)) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            line += '\\';
            line += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            snprintf(escaped, sizeof(escaped), "\\x%02x", byte);
            line += escaped;
        } else {
            line += c;
        }
    }
    line += "\"";
    const WSAPROTOCOLCHAIN& chain = entry.ProtocolChain;
    if (chain.ChainLen == LAYERED_PROTOCOL) return line + " layered";
    line += " chain";
    const int links = chain.ChainLen < MAX_PROTOCOL_CHAIN ? chain.ChainLen : MAX_PROTOCOL_CHAIN;
    for (int i = 0; i < links; ++i) line += " " + std::to_string(chain.ChainEntries[i]);
    return line;
}
