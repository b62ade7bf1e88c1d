// The catalog functions: enumerate, install, deinstall, provider path; WSAEnumProtocols.
#include "catalog_store.h"

#include <ws2spi.h>

#include <cstring>
#include <set>

using qf::wscat::Catalog;
using qf::wscat::CatalogEntry;

namespace {

int fail(LPINT lpErrno, int error) {
    if (lpErrno) *lpErrno = error;
    return SOCKET_ERROR;
}

bool same_guid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// Whether an entry carries one of the protocols of a zero-terminated list (null: every entry).
bool matches_protocols(const WSAPROTOCOL_INFOW& info, const INT* protocols) {
    if (!protocols) return true;
    for (const INT* p = protocols; *p; ++p)
        if (*p >= info.iProtocol && *p <= info.iProtocol + info.iProtocolMaxOffset) return true;
    return false;
}

// Copies the entries that pass filter() into buffer, as WSAEnumProtocols and WSCEnumProtocols do:
// the size query (or a short buffer) answers WSAENOBUFS with the size needed.
template <class Info, class Convert, class Filter>
int enumerate(LPINT protocols, Info* buffer, LPDWORD bufferLength, int& error, Convert convert, Filter filter) {
    if (!bufferLength) {
        error = WSAEFAULT;
        return SOCKET_ERROR;
    }
    Catalog catalog;
    if (int readError = qf::wscat::catalog_read(catalog)) {
        error = readError;
        return SOCKET_ERROR;
    }
    DWORD count = 0;
    for (const CatalogEntry& entry : catalog.entries)
        if (filter(entry.info) && matches_protocols(entry.info, protocols)) ++count;
    DWORD needed = count * static_cast<DWORD>(sizeof(Info));
    if (!buffer || *bufferLength < needed) {
        *bufferLength = needed;
        error = WSAENOBUFS;
        return SOCKET_ERROR;
    }
    DWORD index = 0;
    for (const CatalogEntry& entry : catalog.entries)
        if (filter(entry.info) && matches_protocols(entry.info, protocols)) convert(entry.info, buffer[index++]);
    return static_cast<int>(count);
}

void copy_info(const WSAPROTOCOL_INFOW& from, WSAPROTOCOL_INFOW& to) { to = from; }

void narrow_info(const WSAPROTOCOL_INFOW& from, WSAPROTOCOL_INFOA& to) {
    std::memcpy(&to, &from, offsetof(WSAPROTOCOL_INFOW, szProtocol));
    for (size_t i = 0; i <= WSAPROTOCOL_LEN; ++i)
        to.szProtocol[i] = from.szProtocol[i] < 0x80 ? static_cast<CHAR>(from.szProtocol[i]) : '?';
    to.szProtocol[WSAPROTOCOL_LEN] = 0;
}

// What an application sees: neither hidden entries nor the layered entries that chains name.
bool visible_to_applications(const WSAPROTOCOL_INFOW& info) {
    return !(info.dwProviderFlags & PFL_HIDDEN) && info.ProtocolChain.ChainLen != LAYERED_PROTOCOL;
}

bool any_entry(const WSAPROTOCOL_INFOW&) { return true; }

}  // namespace

extern "C" int WSPAPI WSCEnumProtocols(LPINT lpiProtocols, LPWSAPROTOCOL_INFOW lpProtocolBuffer,
                                       LPDWORD lpdwBufferLength, LPINT lpErrno) {
    int error = 0;
    int result = enumerate(lpiProtocols, lpProtocolBuffer, lpdwBufferLength, error, copy_info, any_entry);
    if (result == SOCKET_ERROR) return fail(lpErrno, error);
    return result;
}

extern "C" int WSAAPI WSAEnumProtocolsW(LPINT lpiProtocols, LPWSAPROTOCOL_INFOW lpProtocolBuffer,
                                        LPDWORD lpdwBufferLength) {
    int error = 0;
    int result = enumerate(lpiProtocols, lpProtocolBuffer, lpdwBufferLength, error, copy_info,
                           visible_to_applications);
    if (result == SOCKET_ERROR) SetLastError(error);
    return result;
}

extern "C" int WSAAPI WSAEnumProtocolsA(LPINT lpiProtocols, LPWSAPROTOCOL_INFOA lpProtocolBuffer,
                                        LPDWORD lpdwBufferLength) {
    int error = 0;
    int result = enumerate(lpiProtocols, lpProtocolBuffer, lpdwBufferLength, error, narrow_info,
                           visible_to_applications);
    if (result == SOCKET_ERROR) SetLastError(error);
    return result;
}

// Installs the entries of one provider at the end of the catalog. Each entry gets the next catalog
// entry id; a base or layered entry also names itself as the first link of its chain, which is the
// id that chains over it name. A chain must name entries that exist. A provider identifier that is
// installed already is refused with WSANO_RECOVERY, as Windows refuses it, and nothing changes.
extern "C" int WSPAPI WSCInstallProvider(LPGUID lpProviderId, const WCHAR* lpszProviderDllPath,
                                         const LPWSAPROTOCOL_INFOW lpProtocolInfoList, DWORD dwNumberOfEntries,
                                         LPINT lpErrno) {
    if (!lpProviderId || !lpszProviderDllPath || !lpProtocolInfoList) return fail(lpErrno, WSAEFAULT);
    size_t pathLength = qf::wscat::wide_length(lpszProviderDllPath, MAX_PATH);
    if (dwNumberOfEntries == 0 || pathLength == 0 || pathLength >= MAX_PATH) return fail(lpErrno, WSAEINVAL);
    for (DWORD i = 0; i < dwNumberOfEntries; ++i) {
        int chainLength = lpProtocolInfoList[i].ProtocolChain.ChainLen;
        if (chainLength < 0 || chainLength > MAX_PROTOCOL_CHAIN) return fail(lpErrno, WSAEINVAL);
    }
    GUID providerId = *lpProviderId;
    int error = qf::wscat::catalog_update([&](Catalog& catalog) -> int {
        std::set<DWORD> ids;
        for (const CatalogEntry& entry : catalog.entries) {
            if (same_guid(entry.info.ProviderId, providerId)) return WSANO_RECOVERY;  // already installed
            ids.insert(entry.info.dwCatalogEntryId);
        }
        for (DWORD i = 0; i < dwNumberOfEntries; ++i) {
            const WSAPROTOCOLCHAIN& chain = lpProtocolInfoList[i].ProtocolChain;
            if (chain.ChainLen > BASE_PROTOCOL)
                for (int link = 0; link < chain.ChainLen; ++link)
                    if (!ids.count(chain.ChainEntries[link])) return WSAEINVAL;
        }
        for (DWORD i = 0; i < dwNumberOfEntries; ++i) {
            CatalogEntry entry{};
            std::memcpy(entry.path, lpszProviderDllPath, pathLength * sizeof(WCHAR));
            entry.info = lpProtocolInfoList[i];
            entry.info.szProtocol[WSAPROTOCOL_LEN] = 0;
            entry.info.ProviderId = providerId;
            entry.info.dwCatalogEntryId = catalog.nextEntryId++;
            if (entry.info.ProtocolChain.ChainLen <= BASE_PROTOCOL)
                entry.info.ProtocolChain.ChainEntries[0] = entry.info.dwCatalogEntryId;
            catalog.entries.push_back(entry);
        }
        return 0;
    });
    if (error) return fail(lpErrno, error);
    return 0;
}

extern "C" int WSPAPI WSCDeinstallProvider(LPGUID lpProviderId, LPINT lpErrno) {
    if (!lpProviderId) return fail(lpErrno, WSAEFAULT);
    GUID providerId = *lpProviderId;
    int error = qf::wscat::catalog_update([&](Catalog& catalog) -> int {
        size_t before = catalog.entries.size();
        std::vector<CatalogEntry> kept;
        for (const CatalogEntry& entry : catalog.entries)
            if (!same_guid(entry.info.ProviderId, providerId)) kept.push_back(entry);
        if (kept.size() == before) return WSAEINVAL;  // no such provider
        catalog.entries.swap(kept);
        return 0;
    });
    if (error) return fail(lpErrno, error);
    return 0;
}

// The library path of a provider, unexpanded, in characters including the terminating zero; a
// short buffer answers WSAEFAULT with the length needed.
extern "C" int WSPAPI WSCGetProviderPath(LPGUID lpProviderId, WCHAR* lpszProviderDllPath, LPINT lpProviderDllPathLen,
                                         LPINT lpErrno) {
    if (!lpProviderId || !lpProviderDllPathLen) return fail(lpErrno, WSAEFAULT);
    Catalog catalog;
    if (int error = qf::wscat::catalog_read(catalog)) return fail(lpErrno, error);
    for (const CatalogEntry& entry : catalog.entries) {
        if (!same_guid(entry.info.ProviderId, *lpProviderId)) continue;
        int needed = static_cast<int>(qf::wscat::wide_length(entry.path, MAX_PATH)) + 1;
        if (!lpszProviderDllPath || *lpProviderDllPathLen < needed) {
            *lpProviderDllPathLen = needed;
            return fail(lpErrno, WSAEFAULT);
        }
        std::memcpy(lpszProviderDllPath, entry.path, needed * sizeof(WCHAR));
        return 0;
    }
    return fail(lpErrno, WSAEINVAL);
}
