#include "dprovide.h"

#include <string.h>

#include <new>

#include "spi_assert.h"
#include "spi_state.h"

namespace {

const int kEntryCount = sizeof(WSPPROC_TABLE) / sizeof(void*);

// Every entry of the table the next provider filled is set.
bool table_complete(const WSPPROC_TABLE* table) {
    void* entries[kEntryCount];
    memcpy(entries, table, sizeof(entries));
    for (int i = 0; i < kEntryCount; ++i)
        if (!entries[i]) return false;
    return true;
}

}  // namespace

LowerProvider::LowerProvider()
    : m_TransmitFile(nullptr), m_AcceptEx(nullptr), m_proctable(nullptr), m_library(nullptr), m_libraryName(nullptr),
      m_started(false) {}

LowerProvider::~LowerProvider() {
    Cleanup();
    delete m_proctable;
    delete[] m_libraryName;
}

void LowerProvider::Cleanup() {
    if (m_started && m_proctable->lpWSPCleanup) {
        INT error = 0;
        m_proctable->lpWSPCleanup(&error);
    }
    m_started = false;
    if (m_library) FreeLibrary(m_library);
    m_library = nullptr;
}

int LowerProvider::Initialize(const WCHAR* path, LPWSAPROTOCOL_INFOW info) {
    m_proctable = new (std::nothrow) WSPPROC_TABLE;
    if (!m_proctable) return WSA_NOT_ENOUGH_MEMORY;
    memset(m_proctable, 0, sizeof(*m_proctable));

    char narrow[MAX_PATH];
    size_t n = 0;
    for (; n + 1 < sizeof(narrow) && path[n]; ++n) narrow[n] = static_cast<char>(path[n]);
    narrow[n] = 0;
    char expanded[MAX_PATH];
    DWORD needed = ExpandEnvironmentStringsA(narrow, expanded, sizeof(expanded));
    if (needed == 0 || needed > sizeof(expanded)) return WSASYSCALLFAILURE;
    size_t length = strlen(expanded);
    m_libraryName = new (std::nothrow) char[length + 1];
    if (!m_libraryName) return WSA_NOT_ENOUGH_MEMORY;
    memcpy(m_libraryName, expanded, length + 1);

    m_library = LoadLibraryA(m_libraryName);
    if (!m_library) return WSAEPROVIDERFAILEDINIT;
    LPWSPSTARTUP startup = reinterpret_cast<LPWSPSTARTUP>(reinterpret_cast<void*>(GetProcAddress(m_library, "WSPStartup")));
    if (!startup) {
        Cleanup();
        return WSAEPROVIDERFAILEDINIT;
    }
    WSPDATA data;
    memset(&data, 0, sizeof(data));
    int result = startup(MAKEWORD(2, 2), &data, info, g_vtlsp.upcalls, m_proctable);
    if (result != 0) {
        Cleanup();
        return result;
    }
    m_started = true;
    if (!table_complete(m_proctable)) {
        Cleanup();
        return WSAEINVALIDPROCTABLE;
    }
    if (data.wVersion != MAKEWORD(2, 2)) {
        INT error = 0;
        int cleanup = m_proctable->lpWSPCleanup(&error);
        m_started = false;
        Cleanup();
        return cleanup != 0 ? WSAVERNOTSUPPORTED : WSAEINVALIDPROVIDER;
    }
    return 0;
}

SOCKET LowerProvider::WSPSocket(int af, int type, int protocol, LPWSAPROTOCOL_INFOW lpProtocolInfo, GROUP g,
                                DWORD dwFlags, LPINT lpErrno) {
    VTLSP_ASSERT(m_proctable->lpWSPSocket, "m_proctable->lpWSPSocket", "dprovide");
    return m_proctable->lpWSPSocket(af, type, protocol, lpProtocolInfo, g, dwFlags, lpErrno);
}
