#include <qf/completion_port.h>
#include <qf/handle_table.h>

#include <mutex>
#include <unordered_map>

namespace qf {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x1000;  // multiples of 4, as Windows hands them out; never 0 or -1
};

HandleTable& table() {
    static HandleTable* instance = new HandleTable;  // outlives every static destructor
    return *instance;
}

// The table's key for a handle: the low two bits are tag bits that callers may set (an event handle
// with its lowest bit set asks for no completion packet), and Windows ignores them in a look-up.
uintptr_t key_of(HANDLE handle) { return reinterpret_cast<uintptr_t>(handle) & ~static_cast<uintptr_t>(3); }

}  // namespace

HANDLE handle_insert(std::shared_ptr<KernelObject> object) {
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> handle_lookup(HANDLE handle) {
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(key_of(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool handle_remove(HANDLE handle) {
    std::shared_ptr<KernelObject> object;
    {
        HandleTable& t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(key_of(handle));
        if (it == t.objects.end()) return false;
        object = std::move(it->second);
        t.objects.erase(it);
    }
    // A port association goes with the handle.
    completion_port_forget(reinterpret_cast<HANDLE>(key_of(handle)));
    return true;  // the object dies here unless a call still holds it
}

}  // namespace qf
