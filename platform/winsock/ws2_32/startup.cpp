// WSAStartup / WSACleanup and the loading of provider libraries.
#include "providers.h"

#include "socket_table.h"
#include "user_memory.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace qf::ws2 {
namespace {

struct ProcessState {
    std::recursive_mutex lock;  // start-up, clean-up and provider loading
    std::atomic<int> startups{0};
    std::shared_ptr<const wscat::Catalog> catalog;
    std::vector<std::shared_ptr<LoadedProvider>> providers;  // in load order
};

ProcessState& state() {
    static ProcessState* instance = new ProcessState;
    return *instance;
}

bool same_guid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// The library path as LoadLibraryA takes it: narrow, environment strings expanded.
bool expand_path(const WCHAR* wide, char* out, DWORD outSize) {
    char narrow[MAX_PATH];
    size_t n = 0;
    for (; n + 1 < sizeof(narrow) && wide[n]; ++n) narrow[n] = wide[n] < 0x80 ? static_cast<char>(wide[n]) : '?';
    narrow[n] = 0;
    DWORD needed = ExpandEnvironmentStringsA(narrow, out, outSize);
    return needed != 0 && needed <= outSize;
}

int load_provider(const wscat::CatalogEntry& entry, std::shared_ptr<LoadedProvider>& result) {
    char path[MAX_PATH];
    if (!expand_path(entry.path, path, sizeof(path))) return WSAEPROVIDERFAILEDINIT;
    auto provider = std::make_shared<LoadedProvider>();
    provider->providerId = entry.info.ProviderId;
    provider->catalogEntryId = entry.info.dwCatalogEntryId;
    provider->module = LoadLibraryA(path);
    if (!provider->module) return WSAEPROVIDERFAILEDINIT;
    auto startup = reinterpret_cast<LPWSPSTARTUP>(reinterpret_cast<void*>(GetProcAddress(provider->module, "WSPStartup")));
    if (!startup) {
        provider->cleanedUp = true;
        return WSAEPROVIDERFAILEDINIT;
    }
    WSPDATA data{};
    WSAPROTOCOL_INFOW info = entry.info;
    int error = startup(MAKEWORD(2, 2), &data, &info, ws2_upcall_table(), &provider->procs);
    if (error != 0) {
        provider->cleanedUp = true;  // a failed WSPStartup is not matched by WSPCleanup
        return error;
    }
    const void* const* procs = reinterpret_cast<const void* const*>(&provider->procs);
    bool complete = true;
    for (size_t i = 0; i < sizeof(WSPPROC_TABLE) / sizeof(void*); ++i)
        if (!procs[i]) complete = false;
    if (!complete || LOBYTE(data.wVersion) != 2) {
        int ignored = 0;
        if (provider->procs.lpWSPCleanup) provider->procs.lpWSPCleanup(&ignored);
        provider->cleanedUp = true;
        return complete ? WSAVERNOTSUPPORTED : WSAEINVALIDPROCTABLE;
    }
    result = std::move(provider);
    return 0;
}

}  // namespace

LoadedProvider::~LoadedProvider() {
    if (module) FreeLibrary(module);
}

bool ws2_started() { return state().startups.load() > 0; }

std::shared_ptr<const wscat::Catalog> ws2_catalog() {
    ProcessState& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    return s.catalog;
}

bool ws2_find_entry(DWORD catalogEntryId, wscat::CatalogEntry& entry) {
    std::shared_ptr<const wscat::Catalog> catalog = ws2_catalog();
    if (!catalog) return false;
    for (const wscat::CatalogEntry& candidate : catalog->entries) {
        if (candidate.info.dwCatalogEntryId == catalogEntryId) {
            entry = candidate;
            return true;
        }
    }
    return false;
}

int ws2_provider_for(const wscat::CatalogEntry& entry, std::shared_ptr<LoadedProvider>& provider) {
    ProcessState& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.startups.load() == 0) return WSANOTINITIALISED;
    for (const auto& loaded : s.providers) {
        if (same_guid(loaded->providerId, entry.info.ProviderId)) {
            provider = loaded;
            return 0;
        }
    }
    std::shared_ptr<LoadedProvider> loaded;
    if (int error = load_provider(entry, loaded)) return error;
    s.providers.push_back(loaded);
    provider = std::move(loaded);
    return 0;
}

}  // namespace qf::ws2

using namespace qf::ws2;

extern "C" int WSAAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData) {
    BYTE major = LOBYTE(wVersionRequested);
    BYTE minor = HIBYTE(wVersionRequested);
    WORD version = (major > 2 || (major == 2 && minor >= 2)) ? MAKEWORD(2, 2) : wVersionRequested;
    if (!user_writable(lpWSAData, sizeof(*lpWSAData))) return WSAEFAULT;
    std::memset(lpWSAData, 0, sizeof(*lpWSAData));
    lpWSAData->wVersion = version;
    lpWSAData->wHighVersion = MAKEWORD(2, 2);
    std::strcpy(lpWSAData->szDescription, "WinSock 2.0");
    std::strcpy(lpWSAData->szSystemStatus, "Running");
    if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;

    ProcessState& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    // Every start reads the catalog afresh: installs and reorders since the last one take effect.
    auto catalog = std::make_shared<qf::wscat::Catalog>();
    if (qf::wscat::catalog_read(*catalog) != 0) return WSASYSNOTREADY;
    s.catalog = std::move(catalog);
    s.startups++;
    return 0;
}

extern "C" int WSAAPI WSACleanup(void) {
    ProcessState& s = state();
    std::vector<std::shared_ptr<LoadedProvider>> providers;
    {
        std::lock_guard<std::recursive_mutex> guard(s.lock);
        if (s.startups.load() == 0) {
            SetLastError(WSANOTINITIALISED);
            return SOCKET_ERROR;
        }
        if (--s.startups > 0) return 0;
        providers.swap(s.providers);
        // Each provider is cleaned up once for its one WSPStartup, the latest loaded first (a
        // layered provider before the base provider beneath it).
        for (auto it = providers.rbegin(); it != providers.rend(); ++it) {
            int error = 0;
            (*it)->procs.lpWSPCleanup(&error);
            (*it)->cleanedUp = true;
        }
    }
    table_clear();
    // The libraries are freed as the last references go (here, or when a call still inside one returns).
    providers.clear();
    return 0;
}
