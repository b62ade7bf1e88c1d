// WSCWriteProviderOrder: rewrites the order of the catalog.
#include "catalog_store.h"

#include <sporder.h>

#include <algorithm>
#include <vector>

// The array must hold every current catalog entry id exactly once. The new order is in force for
// every process that starts Winsock afterwards.
extern "C" int WSPAPI WSCWriteProviderOrder(LPDWORD lpwdCatalogEntryId, DWORD dwNumberOfEntries) {
    if (!lpwdCatalogEntryId) return WSAEFAULT;
    return qf::wscat::catalog_update([&](qf::wscat::Catalog& catalog) -> int {
        // The count is checked before the array is read: a count beyond the caller's array is refused.
        if (dwNumberOfEntries != catalog.entries.size()) return WSAEINVAL;
        std::vector<DWORD> order(lpwdCatalogEntryId, lpwdCatalogEntryId + dwNumberOfEntries);
        std::vector<DWORD> current;
        for (const auto& entry : catalog.entries) current.push_back(entry.info.dwCatalogEntryId);
        std::vector<DWORD> sortedOrder = order;
        std::sort(current.begin(), current.end());
        std::sort(sortedOrder.begin(), sortedOrder.end());
        if (sortedOrder != current) return WSAEINVAL;  // not a permutation of the current ids
        std::vector<qf::wscat::CatalogEntry> reordered;
        reordered.reserve(order.size());
        for (DWORD id : order)
            for (const auto& entry : catalog.entries)
                if (entry.info.dwCatalogEntryId == id) reordered.push_back(entry);
        catalog.entries.swap(reordered);
        return 0;
    });
}
