// CatalogItem: one entry of the Winsock catalog as this provider sees it, with the next provider
// loaded for it once a socket of its chain has been made.
#ifndef VTLSP_DCATITEM_H
#define VTLSP_DCATITEM_H

#include <ws2spi.h>

class LowerProvider;

class CatalogItem {
public:
    CatalogItem();
    ~CatalogItem();

    // Copies the entry and asks the runtime for its library path; 0 or the upcall's error (the
    // path is then left empty).
    int Initialize(const WSAPROTOCOL_INFOW* info);

    const WCHAR* GetLibraryPath();
    LPWSAPROTOCOL_INFOW GetProtocolInfo();
    // Read without the path check: the catalog compares these of every item.
    DWORD GetCatalogEntryId() const { return m_ProtocolInfo.dwCatalogEntryId; }
    const GUID& GetProviderId() const { return m_ProtocolInfo.ProviderId; }

    LowerProvider* GetProvider() const { return m_Provider; }
    CatalogItem* GetNextItem() const { return m_NextItem; }
    void SetProvider(LowerProvider* provider, CatalogItem* nextItem);

    // Links of the catalog's item list.
    CatalogItem* m_next;
    CatalogItem* m_prev;

private:
    WCHAR m_LibraryPath[MAX_PATH];
    WSAPROTOCOL_INFOW m_ProtocolInfo;
    LowerProvider* m_Provider;
    CatalogItem* m_NextItem;
};

#endif
