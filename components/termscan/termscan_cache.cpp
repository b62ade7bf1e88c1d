#include <deque>
#include <mutex>
#include <unordered_map>

#include "termscan_automaton.h"
#include "termscan_text.h"

namespace termscan {
namespace {

enum class Kind : uint8_t { Content, Name, Sites };

struct Key {
    const void* table;
    int count;
    char wildcard;
    Kind kind;
    uint64_t fingerprint;
    bool operator==(const Key& o) const {
        return table == o.table && count == o.count && wildcard == o.wildcard && kind == o.kind &&
               fingerprint == o.fingerprint;
    }
};

struct KeyHash {
    size_t operator()(const Key& k) const {
        uint64_t h = reinterpret_cast<uintptr_t>(k.table) * 0x9E3779B97F4A7C15ull;
        h ^= (static_cast<uint64_t>(static_cast<uint32_t>(k.count)) << 16) ^ (static_cast<uint64_t>(k.kind) << 8) ^
             static_cast<unsigned char>(k.wildcard);
        h ^= k.fingerprint + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        return static_cast<size_t>(h);
    }
};

uint64_t fingerprint(const TermSlot* table, int count) {
    constexpr int kSamples = 64;
    uint64_t h = 1469598103934665603ull;
    auto mix = [&](int index) {
        const size_t n = slot_length(table[index]);
        const unsigned char* p = reinterpret_cast<const unsigned char*>(table[index]);
        for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
        h = (h ^ 0x100u ^ static_cast<uint32_t>(index)) * 1099511628211ull;
    };
    if (count <= kSamples) {
        for (int i = 0; i < count; ++i) mix(i);
    } else {
        for (int j = 0; j < kSamples; ++j)
            mix(static_cast<int>(static_cast<int64_t>(j) * (count - 1) / (kSamples - 1)));
    }
    return h;
}

struct Entry {
    std::once_flag once;
    std::shared_ptr<const Compiled> value;
};

/* Every thread first looks in a few slots of its own, so that scans of the same tables take no
 * lock; a miss goes to the shared map, where the first thread to ask builds the entry and the
 * others wait for it. */
class Cache {
public:
    std::shared_ptr<const Compiled> get(const Key& key, const TermSlot* table) {
        Local& local = local_slots();
        for (auto& slot : local.slots)
            if (slot.value && slot.key == key) return slot.value;

        std::shared_ptr<Entry> entry;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = map_.find(key);
            if (it != map_.end()) {
                entry = it->second;
            } else {
                if (map_.size() >= kCapacity) {
                    map_.erase(order_.front());
                    order_.pop_front();
                }
                entry = std::make_shared<Entry>();
                map_.emplace(key, entry);
                order_.push_back(key);
            }
        }
        std::call_once(entry->once, [&] { entry->value = build(key, table); });

        auto& slot = local.slots[local.next];
        local.next = (local.next + 1) % kLocalSlots;
        slot.key = key;
        slot.value = entry->value;
        return entry->value;
    }

private:
    static constexpr size_t kCapacity = 64;
    static constexpr size_t kLocalSlots = 4;
    struct Local {
        struct Slot {
            Key key{};
            std::shared_ptr<const Compiled> value;
        } slots[kLocalSlots];
        size_t next = 0;
    };
    static Local& local_slots() {
        thread_local Local local;
        return local;
    }
    static std::shared_ptr<const Compiled> build(const Key& key, const TermSlot* table) {
        switch (key.kind) {
        case Kind::Sites:
            return SiteMatcher::compile(table, key.count);
        case Kind::Name:
            return Automaton::compile(parse_table(table, key.count, key.wildcard, Mode::Name), Mode::Name);
        default:
            return Automaton::compile(parse_table(table, key.count, key.wildcard, Mode::Content), Mode::Content);
        }
    }

    std::mutex mutex_;
    std::unordered_map<Key, std::shared_ptr<Entry>, KeyHash> map_;
    std::deque<Key> order_;
};

Cache& cache() {
    static Cache* c = new Cache();  // never destroyed: scans may run while the process exits
    return *c;
}

}  // namespace

int usable_count(INT count) {
    if (count <= 0) return 0;
    return count > TERMSCAN_TOPIC_CAPACITY ? TERMSCAN_TOPIC_CAPACITY : count;
}

std::shared_ptr<const Automaton> automaton_for(const TermSlot* table, int count, char wildcard, Mode mode) {
    const Key key{table, count, wildcard, mode == Mode::Name ? Kind::Name : Kind::Content, fingerprint(table, count)};
    return std::static_pointer_cast<const Automaton>(cache().get(key, table));
}

std::shared_ptr<const SiteMatcher> sites_for(const TermSlot* table, int count) {
    const Key key{table, count, '*', Kind::Sites, fingerprint(table, count)};
    return std::static_pointer_cast<const SiteMatcher>(cache().get(key, table));
}

}  // namespace termscan
