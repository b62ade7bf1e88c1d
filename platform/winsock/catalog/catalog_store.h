// The Winsock catalog as the machine keeps it: an ordered list of entries, each a provider library
// path and a WSAPROTOCOL_INFOW, stored in HKEY_LOCAL_MACHINE so that every process sees the same
// catalog. Shared by ws2_32 (enumeration, install, deinstall) and sporder (reordering).
#pragma once

#include <winsock2.h>

#include <functional>
#include <vector>

namespace qf::wscat {

struct CatalogEntry {
    WCHAR path[MAX_PATH];  // the provider library, unexpanded, zero-terminated
    WSAPROTOCOL_INFOW info;
};

struct Catalog {
    std::vector<CatalogEntry> entries;  // in catalog order
    DWORD nextEntryId = 1001;           // the id the next installed entry gets
    DWORD serial = 0;                   // counts the changes, so a reader can tell a new catalog
};

// The first catalog entry id handed out, as on Windows.
constexpr DWORD kFirstCatalogEntryId = 1001;

// Reads the catalog (an empty one when none was ever written). Returns 0 or a Winsock error:
// WSANO_RECOVERY when the stored catalog is damaged, WSASYSCALLFAILURE when the registry fails.
int catalog_read(Catalog& catalog);

// Reads the catalog, lets change() edit it and writes it back when change() returns 0, all under
// the machine-wide catalog lock, so concurrent installers never lose each other's entries.
// Returns change()'s error, or an error of the read or the write.
int catalog_update(const std::function<int(Catalog&)>& change);

// Packs and unpacks the stored form (exposed for tests). unpack refuses anything malformed.
std::vector<BYTE> catalog_pack(const Catalog& catalog);
bool catalog_unpack(const BYTE* data, size_t length, Catalog& catalog);

// Wide-string helpers for the catalog's WCHAR texts.
size_t wide_length(const WCHAR* text, size_t limit);

}  // namespace qf::wscat
