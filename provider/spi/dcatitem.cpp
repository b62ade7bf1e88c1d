#include "dcatitem.h"

#include <string.h>

#include "spi_assert.h"
#include "spi_state.h"

CatalogItem::CatalogItem() : m_next(nullptr), m_prev(nullptr), m_Provider(nullptr), m_NextItem(nullptr) {
    m_LibraryPath[0] = 0;
    memset(&m_ProtocolInfo, 0, sizeof(m_ProtocolInfo));
}

CatalogItem::~CatalogItem() {}

int CatalogItem::Initialize(const WSAPROTOCOL_INFOW* info) {
    memcpy(&m_ProtocolInfo, info, sizeof(m_ProtocolInfo));
    INT length = MAX_PATH;
    INT error = 0;
    if (g_vtlsp.upcalls.lpWPUGetProviderPath(&m_ProtocolInfo.ProviderId, m_LibraryPath, &length, &error) != 0) {
        m_LibraryPath[0] = 0;
        return error ? error : WSASYSNOTREADY;
    }
    m_LibraryPath[MAX_PATH - 1] = 0;
    return 0;
}

const WCHAR* CatalogItem::GetLibraryPath() {
    VTLSP_ASSERT(m_LibraryPath[0] != '\0', "m_LibraryPath[0] != '\\0'", "dcatitem");
    return m_LibraryPath;
}

LPWSAPROTOCOL_INFOW CatalogItem::GetProtocolInfo() {
    VTLSP_ASSERT(m_LibraryPath[0] != '\0', "m_LibraryPath[0] != '\\0'", "dcatitem");
    return &m_ProtocolInfo;
}

void CatalogItem::SetProvider(LowerProvider* provider, CatalogItem* nextItem) {
    m_Provider = provider;
    m_NextItem = nextItem;
}
