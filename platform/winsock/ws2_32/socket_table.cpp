// The handle table: handle -> record, plus the base socket last registered on each thread.
#include "socket_table.h"

#include "fd_ops.h"
#include "providers.h"

#include <qf/completion_port.h>

#include <mutex>
#include <unordered_map>
#include <vector>

namespace qf::ws2 {
namespace {

struct Table {
    std::mutex lock;
    std::unordered_map<SOCKET, SocketRecord> records;
    uint64_t nextGeneration = 1;
};

Table& table() {
    static Table* instance = new Table;  // outlives static destructors that may still close sockets
    return *instance;
}

// The base socket most recently registered on this thread, and the depth of creation scopes.
struct LastBase {
    SOCKET handle = INVALID_SOCKET;
    uint64_t generation = 0;
};
thread_local LastBase lastBase;
thread_local int scopeDepth = 0;

bool valid_handle_value(SOCKET handle) { return handle != INVALID_SOCKET && handle <= 0x7fffffff; }

// Forgets a handle's completion port association as its descriptor goes away.
void forget_port(SOCKET handle) { qf::completion_port_forget(reinterpret_cast<HANDLE>(handle)); }

}  // namespace

SOCKET table_register_base(DWORD catalogEntryId, SOCKET handle, int& error) {
    if (!valid_handle_value(handle) || !fd_is_open(static_cast<int>(handle))) {
        error = WSAENOTSOCK;
        return INVALID_SOCKET;
    }
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.records.find(handle);
    if (it != t.records.end() && !it->second.layered && it->second.catalogEntryId == catalogEntryId) {
        // The same base socket again: its kernel socket was replaced. Re-point its duplicates.
        uint64_t generation = it->second.generation;
        for (auto& [other, record] : t.records) {
            if (record.layered && record.base == handle && record.baseGeneration == generation) {
                int result = fd_redirect(static_cast<int>(handle), static_cast<int>(other));
                if (result < 0) {
                    error = -result;
                    return INVALID_SOCKET;
                }
            }
        }
        return handle;
    }
    // A new socket. A record left for this number belongs to a descriptor that was closed behind
    // the runtime's back; the kernel has given the number out again, so the old record goes. So
    // does a port association of the number, whatever it was made for: a new socket has none.
    SocketRecord record;
    record.catalogEntryId = catalogEntryId;
    record.generation = t.nextGeneration++;
    forget_port(handle);
    if (it != t.records.end()) {
        it->second = record;
    } else {
        t.records.emplace(handle, record);
    }
    lastBase.handle = handle;
    lastBase.generation = record.generation;
    return handle;
}

SOCKET table_create_layered(DWORD catalogEntryId, DWORD_PTR context, int& error) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    SocketRecord record;
    record.layered = true;
    record.catalogEntryId = catalogEntryId;
    record.context = context;
    int fd = -WSAENOTSOCK;
    auto base = t.records.find(lastBase.handle);
    if (base != t.records.end() && !base->second.layered && base->second.generation == lastBase.generation) {
        fd = fd_duplicate(static_cast<int>(lastBase.handle));
        record.base = lastBase.handle;
        record.baseGeneration = lastBase.generation;
    } else {
        fd = fd_placeholder();
    }
    if (fd < 0) {
        error = -fd;
        return INVALID_SOCKET;
    }
    SOCKET handle = static_cast<SOCKET>(fd);
    record.generation = t.nextGeneration++;
    forget_port(handle);
    t.records[handle] = record;  // any stale record for this number describes a closed descriptor
    return handle;
}

int table_query_context(SOCKET handle, DWORD_PTR& context) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.records.find(handle);
    if (it == t.records.end() || !it->second.layered) return WSAENOTSOCK;
    context = it->second.context;
    return 0;
}

int table_close(SOCKET handle) {
    std::shared_ptr<LoadedProvider> owner;  // released after the lock
    {
        Table& t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.records.find(handle);
        if (it == t.records.end()) return WSAENOTSOCK;
        owner = std::move(it->second.owner);
        t.records.erase(it);
        if (lastBase.handle == handle) lastBase = LastBase();
        forget_port(handle);
        // Closed while the lock is held: a descriptor number the kernel hands out again can
        // only be registered after the old record is gone.
        fd_close(static_cast<int>(handle));
    }
    return 0;
}

bool table_find(SOCKET handle, SocketRecord& record) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.records.find(handle);
    if (it == t.records.end()) return false;
    record = it->second;
    return true;
}

void table_set_owner(SOCKET handle, uint64_t generation, const std::shared_ptr<LoadedProvider>& owner) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.records.find(handle);
    if (it != t.records.end() && it->second.generation == generation) it->second.owner = owner;
}

void table_forget_closed(SOCKET handle, uint64_t generation) {
    std::shared_ptr<LoadedProvider> owner;
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.records.find(handle);
    if (it == t.records.end() || it->second.generation != generation) return;
    owner = std::move(it->second.owner);
    bool ownDescriptor = it->second.layered;
    t.records.erase(it);
    forget_port(handle);
    if (ownDescriptor) fd_close(static_cast<int>(handle));
}

void table_clear() {
    std::vector<std::shared_ptr<LoadedProvider>> owners;
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto& [handle, record] : t.records) {
        forget_port(handle);
        if (record.layered) fd_close(static_cast<int>(handle));
        if (record.owner) owners.push_back(std::move(record.owner));
    }
    t.records.clear();
    lastBase = LastBase();
}

CreationScope::CreationScope() {
    if (scopeDepth++ == 0) lastBase = LastBase();
}

CreationScope::~CreationScope() {
    if (--scopeDepth == 0) lastBase = LastBase();
}

}  // namespace qf::ws2
