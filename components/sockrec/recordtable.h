// The per-table state behind sockrec and addrrec: which slots of a caller-owned array hold
// records, and a hash index from key to slot for O(1) look-ups.
//
// The array and its count belong to the caller; the library keeps this state beside them, found
// by the array's address. Records never move: a deleted record's slot is marked free and reused
// by a later add, so a pointer to a record stays valid while other threads add and delete other
// records. The count is a high-water mark: every record lies below it, free slots below it are
// reused first, and it drops back over free slots at its top (to 0 once the table is empty).
//
// Look-ups take no lock: adds and deletes make their changes inside a window that a sequence
// number marks (odd while open), and a look-up that saw the number change while it read the index
// reads again; after a few tries (a writer that is slow to finish) it takes the lock shared.
//
// A hook that works on a record across other calls holds it (hold ... release): a held record is
// never handed to another key while it is held. Deleting it takes it out of the index at once
// (no look-up finds it), but its slot is given up only when the last hold ends; a full table that
// replaces skips held records. A look-up counts its hold before it reads the sequence number for
// the last time, and a writer opens its window before it reads the holds (all sequentially
// consistent): either the writer sees the hold, or the look-up sees the window and drops the hold
// and tries again. A release that is not the last of a deleted record's takes no lock.
//
// Adds, deletes and the freeing of a released slot hold the table's lock exclusively. When the count the
// caller passes to an add or delete is not the one this state last wrote (the caller has reset
// the table, or a new table lives at an old table's address), the state is rebuilt from the
// array, whose free slots carry the Traits' free mark.
#pragma once

#include <windows.h>

#include <qfatomic.h>
#include <qfportable.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <thread>

namespace recordtable {

// Traits: using Record, Key; static constexpr int kCapacity; static constexpr bool kReplaceWhenFull;
// static Key key(const Record&); static bool is_free(const Record&); static void mark_free(Record*).
// A table that replaces when full gives a new record the slot of the record added longest ago
// (slots are taken in turn), instead of refusing it.
template <typename Traits>
class RecordTable {
public:
    using Record = typename Traits::Record;
    using Key = typename Traits::Key;
    static constexpr int kCapacity = Traits::kCapacity;

    // The state of the table at this address, created on first use.
    static RecordTable* of(Record* table) {
        for (RecordTable* t = head().load(std::memory_order_acquire); t != nullptr; t = t->next_) {
            if (t->table_ == table) return t;
        }
        static std::mutex creating;
        std::lock_guard<std::mutex> guard(creating);
        for (RecordTable* t = head().load(std::memory_order_acquire); t != nullptr; t = t->next_) {
            if (t->table_ == table) return t;
        }
        // Kept for the life of the process, as the tables themselves are.
        RecordTable* t = new RecordTable(table, head().load(std::memory_order_relaxed));
        head().store(t, std::memory_order_release);
        return t;
    }

    // Stores a copy of record in a free slot. 0 when the key has a record, or when the table is
    // full and does not replace (or every record is held).
    int add(INT* count, const Record& record) {
        std::unique_lock<std::shared_mutex> guard(lock_);
        const Writing writing(*this);
        sync(load_count(count));
        const Key key = Traits::key(record);
        if (find_position(key) >= 0) return 0;
        int slot = first_free_below(kCapacity);
        if (slot < 0) {
            if (!Traits::kReplaceWhenFull) return 0;
            slot = next_replaceable();
            if (slot < 0) return 0;
            erase(find_position(Traits::key(table_[slot])));
        }
        table_[slot] = record;
        set_live(slot, true);
        insert(key, slot);
        if (slot >= count_) count_ = slot + 1;
        store_count(count, count_);
        return 1;
    }

    // The table's own record for key, or nullptr. count is the caller's (possibly older) view.
    Record* find(INT count, Key key) { return lookup<false>(count, key); }

    // As find, and the record is held until release(record).
    Record* hold(INT count, Key key) { return lookup<true>(count, key); }

    // Ends a hold taken by hold(). 0 when the record is not one of this table's or is not held.
    // The last hold of a deleted record frees its slot. A delete marks the record retired before
    // it reads the holds, a release drops its hold before it reads the mark (both sequentially
    // consistent), so at least one of the two sees the other and the slot is freed.
    int release(const Record* record) {
        const int slot = slot_of(record);
        if (slot < 0) return 0;
        uint32_t holds = holds_[slot].load(std::memory_order_relaxed);
        do {
            if (holds == 0) return 0;
        } while (!holds_[slot].compare_exchange_weak(holds, holds - 1, std::memory_order_seq_cst));
        if (holds == 1 && is_retired(slot)) {
            std::unique_lock<std::shared_mutex> guard(lock_);
            if (is_retired(slot) && holds_[slot].load(std::memory_order_seq_cst) == 0) free_slot(slot);
        }
        return 1;
    }

    // Frees the key's slot (when its record is held, once the last hold ends). 0 when the key
    // has no record.
    int remove(INT* count, Key key) {
        std::unique_lock<std::shared_mutex> guard(lock_);
        const Writing writing(*this);
        sync(load_count(count));
        const int position = find_position(key);
        if (position < 0) return 0;
        const int slot = index_[position].slot.load(std::memory_order_relaxed);
        erase(position);
        set_retired(slot, true);
        if (holds_[slot].load(std::memory_order_seq_cst) == 0) free_slot(slot);
        while (count_ > 0 && !is_live(count_ - 1)) --count_;
        store_count(count, count_);
        return 1;
    }

private:
    static constexpr int kIndexSize = 2 * kCapacity;   // load factor at most one half
    static constexpr int kWords = kCapacity / 64;

    // Read by look-ups while a writer may change them (the sequence number tells), hence atomic.
    struct Entry {
        std::atomic<Key> key;
        std::atomic<int> slot;   // -1 = empty
    };

    static constexpr int kOptimisticTries = 8;

    // The window of an add, a delete or a rebuild, under the exclusive lock.
    struct Writing {
        explicit Writing(RecordTable& t) : table(t) { table.seq_.fetch_add(1, std::memory_order_seq_cst); }
        ~Writing() { table.seq_.fetch_add(1, std::memory_order_release); }
        RecordTable& table;
    };

    template <bool kHold>
    Record* lookup(INT count, Key key) {
        if (built_.load(std::memory_order_acquire)) {
            for (int attempt = 0; attempt < kOptimisticTries; ++attempt) {
                const uint32_t before = seq_.load(std::memory_order_seq_cst);
                if (before & 1u) {
                    std::this_thread::yield();
                    continue;
                }
                bool settled = true;
                const int slot = find_slot_racing(count, key, &settled);
                if (!settled) continue;
                if (slot >= 0 && kHold) holds_[slot].fetch_add(1, std::memory_order_seq_cst);
                if (seq_.load(std::memory_order_seq_cst) == before) return slot < 0 ? nullptr : &table_[slot];
                if (slot >= 0 && kHold) drop_hold(slot);
            }
        }
        {
            std::shared_lock<std::shared_mutex> guard(lock_);
            if (built_.load(std::memory_order_relaxed)) return lookup_locked<kHold>(count, key);
        }
        std::unique_lock<std::shared_mutex> guard(lock_);
        if (!built_.load(std::memory_order_relaxed)) {
            const Writing writing(*this);
            sync(count);
        }
        return lookup_locked<kHold>(count, key);
    }

    template <bool kHold>
    Record* lookup_locked(INT count, Key key) {
        Record* record = find_locked(count, key);
        if (kHold && record != nullptr) holds_[record - table_].fetch_add(1, std::memory_order_seq_cst);
        return record;
    }

    // The slot of key as the index shows it while a writer may be changing it; *settled is false
    // when the probe ran longer than the index (a view torn by a writer).
    int find_slot_racing(INT count, Key key, bool* settled) const {
        int i = home(key);
        for (int probes = 0; probes < kIndexSize; ++probes, i = (i + 1) & (kIndexSize - 1)) {
            const int slot = index_[i].slot.load(std::memory_order_relaxed);
            if (slot < 0) return -1;
            if (index_[i].key.load(std::memory_order_relaxed) != key) continue;
            // The record itself is not read here: a writer may be filling it, and the sequence
            // number, checked after this, tells whether the index entry was settled.
            if (slot >= count || slot >= kCapacity) return -1;
            return slot;
        }
        *settled = false;
        return -1;
    }

    // Drops a hold taken by a look-up that must try again (as release()).
    void drop_hold(int slot) {
        if (holds_[slot].fetch_sub(1, std::memory_order_seq_cst) == 1 && is_retired(slot)) {
            std::unique_lock<std::shared_mutex> guard(lock_);
            if (is_retired(slot) && holds_[slot].load(std::memory_order_seq_cst) == 0) free_slot(slot);
        }
    }

    RecordTable(Record* table, RecordTable* next) : table_(table), next_(next) { clear(); }

    static std::atomic<RecordTable*>& head() {
        static std::atomic<RecordTable*> first{nullptr};
        return first;
    }

    static INT load_count(const INT* count) { return qf_atomic_load(count); }
    static void store_count(INT* count, INT value) { qf_atomic_store(count, value); }

    static int home(Key key) {
        const uint64_t mixed = static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull;
        return static_cast<int>(mixed >> 32) & (kIndexSize - 1);
    }

    // Live bits mark the slots in use: a record of the index, or a deleted record still held
    // (retired). Retired slots survive a rebuild, so a held record's slot is never reused.
    void clear() {
        for (Entry& e : index_) e.slot.store(-1, std::memory_order_relaxed);
        for (int word = 0; word < kWords; ++word) live_[word] = qf_atomic_load_relaxed(&retired_[word]);
        count_ = 0;
    }

    // Rebuilds the state from the array when the caller's count is not the one last written.
    void sync(INT callerCount) {
        if (built_ && callerCount == count_) return;
        clear();
        const INT count = callerCount < 0 ? 0 : (callerCount > kCapacity ? kCapacity : callerCount);
        for (int slot = 0; slot < count; ++slot) {
            const Record& record = table_[slot];
            if (is_retired(slot) || Traits::is_free(record) || find_position(Traits::key(record)) >= 0) continue;
            set_live(slot, true);
            insert(Traits::key(record), slot);
        }
        count_ = count;
        built_.store(true, std::memory_order_release);
    }

    Record* find_locked(INT count, Key key) const {
        const int position = find_position(key);
        if (position < 0) return nullptr;
        const int slot = index_[position].slot.load(std::memory_order_relaxed);
        // A table reset by the caller shows itself by a count below the slot or another key there.
        if (slot >= count || Traits::key(table_[slot]) != key) return nullptr;
        return &table_[slot];
    }

    int slot_of(const Record* record) const {
        if (record < table_ || record >= table_ + kCapacity) return -1;
        return static_cast<int>(record - table_);
    }

    // The next record a full table gives up, in turn, passing over held ones; -1 when all are held.
    int next_replaceable() {
        for (int tried = 0; tried < kCapacity; ++tried) {
            const int slot = nextReplaced_;
            nextReplaced_ = (nextReplaced_ + 1) % kCapacity;
            if (!is_retired(slot) && holds_[slot].load(std::memory_order_acquire) == 0) return slot;
        }
        return -1;
    }

    // Under the exclusive lock: the slot holds no record any more and may be reused. The count
    // is left as it is (the caller's copy is written only by adds and deletes).
    void free_slot(int slot) {
        set_retired(slot, false);
        set_live(slot, false);
        Traits::mark_free(&table_[slot]);
    }

    int find_position(Key key) const {
        for (int i = home(key);; i = (i + 1) & (kIndexSize - 1)) {
            if (index_[i].slot.load(std::memory_order_relaxed) < 0) return -1;
            if (index_[i].key.load(std::memory_order_relaxed) == key) return i;
        }
    }

    void insert(Key key, int slot) {
        int i = home(key);
        while (index_[i].slot.load(std::memory_order_relaxed) >= 0) i = (i + 1) & (kIndexSize - 1);
        index_[i].key.store(key, std::memory_order_relaxed);
        index_[i].slot.store(slot, std::memory_order_relaxed);
    }

    // Linear-probing removal: later entries of the run move back so that no look-up stops early.
    void erase(int position) {
        int hole = position;
        for (int j = (hole + 1) & (kIndexSize - 1); index_[j].slot.load(std::memory_order_relaxed) >= 0;
             j = (j + 1) & (kIndexSize - 1)) {
            const int h = home(index_[j].key.load(std::memory_order_relaxed));
            const bool stays = hole <= j ? (hole < h && h <= j) : (hole < h || h <= j);
            if (stays) continue;
            index_[hole].key.store(index_[j].key.load(std::memory_order_relaxed), std::memory_order_relaxed);
            index_[hole].slot.store(index_[j].slot.load(std::memory_order_relaxed), std::memory_order_relaxed);
            hole = j;
        }
        index_[hole].slot.store(-1, std::memory_order_relaxed);
    }

    bool is_live(int slot) const { return (live_[slot / 64] >> (slot % 64)) & 1u; }
    // Retired bits are changed under the exclusive lock and read by release() without it.
    bool is_retired(int slot) const {
        return (qf_atomic_load_seq(&retired_[slot / 64]) >> (slot % 64)) & 1u;
    }

    void set_retired(int slot, bool retired) {
        const uint64_t bit = uint64_t{1} << (slot % 64);
        if (retired) {
            qf_atomic_set_bits(&retired_[slot / 64], bit);
        } else {
            qf_atomic_clear_bits(&retired_[slot / 64], bit);
        }
    }

    void set_live(int slot, bool live) {
        const uint64_t bit = uint64_t{1} << (slot % 64);
        if (live) {
            live_[slot / 64] |= bit;
        } else {
            live_[slot / 64] &= ~bit;
        }
    }

    int first_free_below(int limit) const {
        for (int word = 0; word * 64 < limit; ++word) {
            const uint64_t freeBits = ~live_[word];
            if (freeBits == 0) continue;
            const int slot = word * 64 + qf_lowest_bit64(freeBits);
            return slot < limit ? slot : -1;
        }
        return -1;
    }

    Record* const table_;
    RecordTable* const next_;
    std::shared_mutex lock_;
    std::atomic<bool> built_{false};
    std::atomic<uint32_t> seq_{0};  // odd while a writer changes the index or the records
    INT count_ = 0;
    int nextReplaced_ = 0;  // the slot a full table that replaces gives up next
    uint64_t live_[kWords];
    uint64_t retired_[kWords] = {};
    std::atomic<uint32_t> holds_[kCapacity] = {};
    Entry index_[kIndexSize];
};

}  // namespace recordtable
