#include "dcatalog.h"

#include <string.h>

#include <new>

#include "dprovide.h"
#include "spi_assert.h"

const GUID kVtlspProviderId = {0x64C92200, 0xC857, 0x11D4, {0x95, 0x07, 0x00, 0x00, 0xE8, 0x70, 0x8F, 0xED}};

namespace {

bool same_guid(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }

}  // namespace

Catalog::Catalog() : m_num_items(0), m_local_item(nullptr) {
    m_list.m_next = &m_list;
    m_list.m_prev = &m_list;
    InitializeCriticalSection(&m_lock);
}

Catalog::~Catalog() {
    EnterCriticalSection(&m_lock);
    while (m_list.m_next != &m_list) {
        CatalogItem* item = m_list.m_next;
        item->m_prev->m_next = item->m_next;
        item->m_next->m_prev = item->m_prev;
        VTLSP_ASSERT(m_num_items > 0, "m_num_items > 0", "dcatalog");
        m_num_items--;
        delete item->GetProvider();
        delete item;
    }
    VTLSP_ASSERT(m_num_items == 0, "m_num_items == 0", "dcatalog");
    m_local_item = nullptr;
    LeaveCriticalSection(&m_lock);
    DeleteCriticalSection(&m_lock);
}

void Catalog::AppendItem(CatalogItem* item) {
    EnterCriticalSection(&m_lock);
    item->m_prev = m_list.m_prev;
    item->m_next = &m_list;
    m_list.m_prev->m_next = item;
    m_list.m_prev = item;
    m_num_items++;
    if (same_guid(item->GetProviderId(), kVtlspProviderId)) m_local_item = item;
    LeaveCriticalSection(&m_lock);
}

int Catalog::Initialize() {
    DWORD size = 0;
    INT error = 0;
    WSCEnumProtocols(nullptr, nullptr, &size, &error);
    size_t count = size / sizeof(WSAPROTOCOL_INFOW);
    WSAPROTOCOL_INFOW* entries = new (std::nothrow) WSAPROTOCOL_INFOW[count ? count : 1];
    if (!entries) return WSA_NOT_ENOUGH_MEMORY;
    int returned = WSCEnumProtocols(nullptr, entries, &size, &error);
    int result = 0;
    if (returned == SOCKET_ERROR) {
        result = WSASYSNOTREADY;
    } else {
        for (int i = 0; i < returned && static_cast<size_t>(i) < count; ++i) {
            CatalogItem* item = new (std::nothrow) CatalogItem;
            if (!item) continue;
            result = item->Initialize(&entries[i]);
            if (result != 0) {
                delete item;
                break;
            }
            AppendItem(item);
        }
        if (result == 0 && (returned <= 0 || !m_local_item)) result = WSASYSNOTREADY;
    }
    delete[] entries;
    return result;
}

int Catalog::FindItemLocked(DWORD catalogEntryId, CatalogItem** item) {
    for (CatalogItem* i = m_list.m_next; i != &m_list; i = i->m_next)
        if (i->GetCatalogEntryId() == catalogEntryId) {
            *item = i;
            return 0;
        }
    return WSASYSNOTREADY;
}

int Catalog::GetCatalogItemFromCatalogEntryId(DWORD catalogEntryId, CatalogItem** item) {
    VTLSP_ASSERT(item != NULL, "CatalogItem != NULL", "dcatalog");
    EnterCriticalSection(&m_lock);
    int result = FindItemLocked(catalogEntryId, item);
    LeaveCriticalSection(&m_lock);
    return result;
}

int Catalog::FindNextProviderInChain(LPWSAPROTOCOL_INFOW info, LowerProvider** NextProvider,
                                     CatalogItem** nextItem) {
    VTLSP_ASSERT(NextProvider != NULL, "NextProvider!=NULL", "dcatalog");
    *NextProvider = nullptr;
    if (nextItem) *nextItem = nullptr;
    if (!m_local_item || !info) return WSASYSNOTREADY;
    const DWORD ownId = m_local_item->GetCatalogEntryId();

    EnterCriticalSection(&m_lock);
    CatalogItem* chainItem = nullptr;
    int result = FindItemLocked(info->dwCatalogEntryId, &chainItem);
    if (result == 0 && !chainItem->GetProvider()) {
        const WSAPROTOCOLCHAIN& chain = info->ProtocolChain;
        const int length = chain.ChainLen < MAX_PROTOCOL_CHAIN ? chain.ChainLen : MAX_PROTOCOL_CHAIN;
        int position = -1;
        for (int i = 0; i + 1 < length; ++i)
            if (chain.ChainEntries[i] == ownId) {
                position = i;
                break;
            }
        CatalogItem* next = nullptr;
        if (position < 0) result = WSASYSNOTREADY;
        if (result == 0) result = FindItemLocked(chain.ChainEntries[position + 1], &next);
        if (result == 0) {
            LowerProvider* provider = new (std::nothrow) LowerProvider;
            if (!provider) {
                result = WSA_NOT_ENOUGH_MEMORY;
            } else {
                // The last provider of a chain is started with its own entry, any other with the chain.
                LPWSAPROTOCOL_INFOW startInfo = position + 1 == length - 1 ? next->GetProtocolInfo() : info;
                result = provider->Initialize(next->GetLibraryPath(), startInfo);
                if (result != 0)
                    delete provider;
                else
                    chainItem->SetProvider(provider, next);
            }
        }
    }
    if (result == 0) {
        *NextProvider = chainItem->GetProvider();
        CatalogItem* next = chainItem->GetNextItem();
        if (nextItem && next->GetProtocolInfo()->ProtocolChain.ChainLen == BASE_PROTOCOL) *nextItem = next;
    }
    LeaveCriticalSection(&m_lock);
    return result;
}
