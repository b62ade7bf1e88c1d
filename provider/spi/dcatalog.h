// Catalog: the Winsock catalog as read at start-up, this provider's own entry among it, and the
// next provider of each of its chains, loaded on first need.
#ifndef VTLSP_DCATALOG_H
#define VTLSP_DCATALOG_H

#include <ws2spi.h>

#include "dcatitem.h"

class LowerProvider;

// This provider's identifier: its own (hidden, layered) catalog entry carries it.
extern const GUID kVtlspProviderId;

class Catalog {
public:
    Catalog();
    // Destroys every item and every next provider loaded for them.
    ~Catalog();

    // Reads the Winsock catalog; 0 or a Winsock error.
    int Initialize();

    // The next provider below this provider in the chain of info, loaded on first use. nextItem
    // is that provider's item when it is a base provider, else null. 0 or a Winsock error.
    int FindNextProviderInChain(LPWSAPROTOCOL_INFOW info, LowerProvider** NextProvider, CatalogItem** nextItem);
    // 0 and the first item with this catalog entry id, or WSASYSNOTREADY.
    int GetCatalogItemFromCatalogEntryId(DWORD catalogEntryId, CatalogItem** item);
    CatalogItem* GetLocalItem() const { return m_local_item; }

private:
    void AppendItem(CatalogItem* item);
    int FindItemLocked(DWORD catalogEntryId, CatalogItem** item);

    CatalogItem m_list;  // the list's head; never an entry
    DWORD m_num_items;
    CRITICAL_SECTION m_lock;
    CatalogItem* m_local_item;
};

#endif
