#include <windows.h>

#include <string.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <new>
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

/* A hash of every entry of the table, each read up to its terminator (at most 179 characters),
 * so that any change of any entry gives another key. Entries are read eight bytes at a time;
 * the word that holds the terminator is read byte by byte. */
uint64_t fingerprint(const TermSlot* table, int count) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    constexpr size_t kWords = (TERMSCAN_SLOT_SIZE - 1) / 8;  // whole words within the 179 characters
    uint64_t h = 0x243F6A8885A308D3ull ^ static_cast<uint32_t>(count);
    for (int index = 0; index < count; ++index) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(table[index]);
        size_t at = 0;
        for (size_t w = 0; w < kWords; ++w, at += 8) {
            uint64_t word;
            memcpy(&word, p + at, sizeof word);
            if (((word - kOnes) & ~word & kHighs) != 0) break;  // the terminator is in this word
            h = (h ^ word) * kMul;
            h ^= h >> 29;
        }
        uint64_t tail = 0;
        size_t n = 0;
        for (; at + n < TERMSCAN_SLOT_SIZE - 1 && n < 8 && p[at + n] != 0; ++n) tail |= uint64_t{p[at + n]} << (8 * n);
        // Entries end at their terminator: the length closes each one, so "ab"+"c" and "a"+"bc" differ.
        h = (h ^ tail ^ (uint64_t{at + n} << 56)) * kMul;
        h ^= h >> 29;
    }
    return h;
}

/* The few compiled tables each thread used last, so that its scans of the same tables take no
 * lock. They live in a Win32 TLS slot, not in thread_local storage, which would not survive the
 * unloading of a library that a provider loads and unloads; the TLS index and every thread's
 * slots are freed when the library is detached. */
constexpr size_t kLocalSlots = 4;

struct Local {
    struct Slot {
        Key key{};
        std::shared_ptr<const Compiled> value;
    } slots[kLocalSlots];
    size_t next = 0;
    Local* nextLocal = nullptr;  // every thread's slots, freed at the detach
};

class ThreadSlots {
public:
    ThreadSlots() : index_(TlsAlloc()) {}

    ~ThreadSlots() {
        // Later look-ups (of threads still scanning while the process exits) use the shared map.
        const DWORD index = index_.exchange(TLS_OUT_OF_INDEXES);
        if (index != TLS_OUT_OF_INDEXES) TlsFree(index);
        std::lock_guard<std::mutex> lock(mutex_);
        for (Local* local = locals_; local != nullptr;) {
            Local* next = local->nextLocal;
            delete local;
            local = next;
        }
        locals_ = nullptr;
    }

    /* The calling thread's slots, created on its first scan; null when no TLS index or no memory
     * is to be had (the thread then always asks the shared map). */
    Local* mine() {
        const DWORD index = index_.load(std::memory_order_acquire);
        if (index == TLS_OUT_OF_INDEXES) return nullptr;
        Local* local = static_cast<Local*>(TlsGetValue(index));
        if (local) return local;
        local = new (std::nothrow) Local();
        if (!local) return nullptr;
        if (!TlsSetValue(index, local)) {
            delete local;
            return nullptr;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        local->nextLocal = locals_;
        locals_ = local;
        return local;
    }

private:
    std::atomic<DWORD> index_;
    std::mutex mutex_;
    Local* locals_ = nullptr;
};

ThreadSlots& thread_slots() {
    static ThreadSlots slots;  // destroyed when the library is detached
    return slots;
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
        Local* local = threadSlots_.mine();
        if (local) {
            for (auto& slot : local->slots)
                if (slot.value && slot.key == key) return slot.value;
        }

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

        if (local) {
            auto& slot = local->slots[local->next];
            local->next = (local->next + 1) % kLocalSlots;
            slot.key = key;
            slot.value = entry->value;
        }
        return entry->value;
    }

private:
    static constexpr size_t kCapacity = 64;
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

    ThreadSlots& threadSlots_ = thread_slots();
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
