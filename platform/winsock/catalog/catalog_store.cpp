// The Winsock catalog in the registry: one binary value holds the whole ordered catalog, so every
// write is a single registry transaction and a reader never sees half a change.
#include "catalog_store.h"

#include "catalog_lock.h"

#include <cstring>

namespace qf::wscat {
namespace {

const char kCatalogKey[] = "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9";
const char kCatalogValue[] = "Catalog_Entries";

// Stored form: magic, version, entry count, next entry id, serial, then the entries.
const BYTE kMagic[8] = {'Q', 'F', 'W', 'S', 'C', 'A', 'T', '1'};
const DWORD kVersion = 1;
const size_t kHeaderSize = sizeof(kMagic) + 4 * sizeof(DWORD);
const size_t kEntrySize = sizeof(WCHAR) * MAX_PATH + sizeof(WSAPROTOCOL_INFOW);
const DWORD kMaxEntries = 4096;  // far beyond any real catalog; bounds what a damaged value can ask for

void put_dword(std::vector<BYTE>& out, DWORD value) {
    BYTE bytes[4];
    std::memcpy(bytes, &value, 4);
    out.insert(out.end(), bytes, bytes + 4);
}

DWORD get_dword(const BYTE* at) {
    DWORD value;
    std::memcpy(&value, at, 4);
    return value;
}

}  // namespace

size_t wide_length(const WCHAR* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n]) ++n;
    return n;
}

std::vector<BYTE> catalog_pack(const Catalog& catalog) {
    std::vector<BYTE> out;
    out.reserve(kHeaderSize + catalog.entries.size() * kEntrySize);
    out.insert(out.end(), kMagic, kMagic + sizeof(kMagic));
    put_dword(out, kVersion);
    put_dword(out, static_cast<DWORD>(catalog.entries.size()));
    put_dword(out, catalog.nextEntryId);
    put_dword(out, catalog.serial);
    for (const CatalogEntry& entry : catalog.entries) {
        const BYTE* path = reinterpret_cast<const BYTE*>(entry.path);
        out.insert(out.end(), path, path + sizeof(entry.path));
        const BYTE* info = reinterpret_cast<const BYTE*>(&entry.info);
        out.insert(out.end(), info, info + sizeof(entry.info));
    }
    return out;
}

bool catalog_unpack(const BYTE* data, size_t length, Catalog& catalog) {
    if (!data || length < kHeaderSize) return false;
    if (std::memcmp(data, kMagic, sizeof(kMagic)) != 0) return false;
    const BYTE* at = data + sizeof(kMagic);
    if (get_dword(at) != kVersion) return false;
    DWORD count = get_dword(at + 4);
    DWORD nextId = get_dword(at + 8);
    DWORD serial = get_dword(at + 12);
    if (count > kMaxEntries || length != kHeaderSize + count * kEntrySize) return false;
    Catalog result;
    result.nextEntryId = nextId;
    result.serial = serial;
    result.entries.resize(count);
    at = data + kHeaderSize;
    for (CatalogEntry& entry : result.entries) {
        std::memcpy(entry.path, at, sizeof(entry.path));
        std::memcpy(&entry.info, at + sizeof(entry.path), sizeof(entry.info));
        at += kEntrySize;
        // Texts are cut at their buffers' ends; chains longer than the array are refused.
        entry.path[MAX_PATH - 1] = 0;
        entry.info.szProtocol[WSAPROTOCOL_LEN] = 0;
        if (entry.info.ProtocolChain.ChainLen < 0 || entry.info.ProtocolChain.ChainLen > MAX_PROTOCOL_CHAIN)
            return false;
        if (entry.info.dwCatalogEntryId == 0 || entry.info.dwCatalogEntryId >= nextId) return false;
    }
    catalog = std::move(result);
    return true;
}

int catalog_read(Catalog& catalog) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCatalogKey, 0, KEY_QUERY_VALUE, &key);
    if (status == ERROR_FILE_NOT_FOUND) {
        catalog = Catalog();
        return 0;
    }
    if (status != ERROR_SUCCESS) return WSASYSCALLFAILURE;
    // The value may grow between the size query and the read (another process installing); retry.
    std::vector<BYTE> data;
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        status = RegQueryValueExA(key, kCatalogValue, nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) break;
        data.resize(size ? size : 1);
        status = RegQueryValueExA(key, kCatalogValue, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status == ERROR_SUCCESS) {
            data.resize(size);
            if (type != REG_BINARY) status = ERROR_INVALID_DATA;
        }
        break;
    }
    RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND) {
        catalog = Catalog();
        return 0;
    }
    if (status == ERROR_INVALID_DATA) return WSANO_RECOVERY;
    if (status != ERROR_SUCCESS) return WSASYSCALLFAILURE;
    return catalog_unpack(data.data(), data.size(), catalog) ? 0 : WSANO_RECOVERY;
}

int catalog_update(const std::function<int(Catalog&)>& change) {
    CatalogLock lock;
    if (!lock.held()) return WSASYSCALLFAILURE;
    Catalog catalog;
    if (int error = catalog_read(catalog)) return error;
    if (int error = change(catalog)) return error;
    catalog.serial++;
    std::vector<BYTE> data = catalog_pack(catalog);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kCatalogKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return WSASYSCALLFAILURE;
    LONG status = RegSetValueExA(key, kCatalogValue, 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : WSASYSCALLFAILURE;
}

}  // namespace qf::wscat
