#include "vtlsp_install.h"

#include <sporder.h>
#include <string.h>

#include <wide_text.h>

namespace vtlsp_install {

const GUID kVtlspId = {0x64C92200, 0xC857, 0x11D4, {0x95, 0x07, 0x00, 0x00, 0xE8, 0x70, 0x8F, 0xED}};
const GUID kChainId = {0x64C92201, 0xC857, 0x11D4, {0x95, 0x07, 0x00, 0x00, 0xE8, 0x70, 0x8F, 0xED}};

namespace {

void copy_name(WCHAR* target, const char* prefix, const WCHAR* rest) {
    size_t n = 0;
    for (; prefix[n]; ++n) target[n] = prefix[n];
    for (size_t i = 0; rest && rest[i] && n < WSAPROTOCOL_LEN; ++i) target[n++] = rest[i];
    target[n] = 0;
}

}  // namespace

bool same_id(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }

std::vector<WSAPROTOCOL_INFOW> enumerate_catalog() {
    DWORD size = 0;
    int error = 0;
    WSCEnumProtocols(nullptr, nullptr, &size, &error);
    std::vector<WSAPROTOCOL_INFOW> entries(size / sizeof(WSAPROTOCOL_INFOW));
    int count = WSCEnumProtocols(nullptr, entries.data(), &size, &error);
    entries.resize(count > 0 ? count : 0);
    return entries;
}

bool install_vtlsp(WSAPROTOCOL_INFOW& base, std::string& error) {
    WSAPROTOCOL_INFOW layered{};
    layered.dwProviderFlags = PFL_HIDDEN;
    layered.ProviderId = kVtlspId;
    layered.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    layered.iAddressFamily = AF_INET;
    layered.iMaxSockAddr = layered.iMinSockAddr = sizeof(sockaddr_in);
    layered.iSocketType = SOCK_RAW;
    copy_name(layered.szProtocol, "LAYERED_VTLSP", nullptr);
    GUID id = kVtlspId;
    int code = 0;
    if (WSCInstallProvider(&id, QF_WTEXT("vtlsp.dll"), &layered, 1, &code) != 0) {
        error = "the layered entry was not installed: " + std::to_string(code);
        return false;
    }
    DWORD layeredId = 0;
    base = WSAPROTOCOL_INFOW{};
    for (const auto& entry : enumerate_catalog()) {
        if (same_id(entry.ProviderId, kVtlspId)) layeredId = entry.dwCatalogEntryId;
        if (entry.ProtocolChain.ChainLen == BASE_PROTOCOL && entry.iSocketType == SOCK_STREAM) base = entry;
    }
    if (layeredId == 0 || base.dwCatalogEntryId == 0) {
        error = "the catalog has no layered entry or no base TCP entry";
        return false;
    }
    WSAPROTOCOL_INFOW chain = base;
    chain.ProviderId = kChainId;
    chain.ProtocolChain.ChainLen = 2;
    chain.ProtocolChain.ChainEntries[0] = layeredId;
    chain.ProtocolChain.ChainEntries[1] = base.dwCatalogEntryId;
    copy_name(chain.szProtocol, "LAYERED ", base.szProtocol);
    GUID chainId = kChainId;
    if (WSCInstallProvider(&chainId, QF_WTEXT("vtlsp.dll"), &chain, 1, &code) != 0) {
        error = "the chain was not installed: " + std::to_string(code);
        return false;
    }
    std::vector<DWORD> order;
    auto entries = enumerate_catalog();
    for (const auto& entry : entries)
        if (same_id(entry.ProviderId, kChainId)) order.push_back(entry.dwCatalogEntryId);
    for (const auto& entry : entries)
        if (!same_id(entry.ProviderId, kChainId)) order.push_back(entry.dwCatalogEntryId);
    if (WSCWriteProviderOrder(order.data(), static_cast<DWORD>(order.size())) != 0) {
        error = "the provider order was not written";
        return false;
    }
    return true;
}

}  // namespace vtlsp_install
