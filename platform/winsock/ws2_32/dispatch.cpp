// Socket handle -> provider, for every application call.
#include "dispatch.h"

namespace qf::ws2 {
namespace {
thread_local std::weak_ptr<LoadedProvider> lastCalled;
}

bool resolve(SOCKET s, Target& target) {
    if (!ws2_started()) {
        fail(WSANOTINITIALISED);
        return false;
    }
    if (!table_find(s, target.record)) {
        fail(WSAENOTSOCK);
        return false;
    }
    if (target.record.owner) {
        target.provider = target.record.owner;
        note_called(target.provider);
        return true;
    }
    wscat::CatalogEntry entry;
    if (!ws2_find_entry(target.record.catalogEntryId, entry)) {
        fail(WSAENOTSOCK);
        return false;
    }
    if (int error = ws2_provider_for(entry, target.provider)) {
        fail(error);
        return false;
    }
    note_called(target.provider);
    return true;
}

void adopt(SOCKET s, const std::shared_ptr<LoadedProvider>& provider, DWORD catalogEntryId) {
    SocketRecord record;
    if (!table_find(s, record)) {
        int ignored = 0;
        if (table_register_base(catalogEntryId, s, ignored) == INVALID_SOCKET || !table_find(s, record)) return;
    }
    table_set_owner(s, record.generation, provider);
}

void note_called(const std::shared_ptr<LoadedProvider>& provider) { lastCalled = provider; }

// Inside a blocking call (an APC or a hook on this thread) that call's provider; otherwise the
// provider this thread called last.
std::shared_ptr<LoadedProvider> cancel_target() { return lastCalled.lock(); }

}  // namespace qf::ws2
