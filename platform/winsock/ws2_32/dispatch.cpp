// Socket handle -> provider, for every application call.
#include "dispatch.h"

namespace qf::ws2 {
namespace {
thread_local LoadedProvider* inBlockingCall = nullptr;
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

BlockingCall::BlockingCall(LoadedProvider* provider) : previous_(inBlockingCall) { inBlockingCall = provider; }
BlockingCall::~BlockingCall() { inBlockingCall = previous_; }
LoadedProvider* blocking_provider() { return inBlockingCall; }

}  // namespace qf::ws2
