#include "addrrec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

struct AddressTable {
    std::vector<AddressRecord> slots = std::vector<AddressRecord>(ADDRREC_CAPACITY);
    INT count = 0;

    AddressRecord* table() { return slots.data(); }
    int add(DWORD address, WORD status = ADDRESS_STATUS_INSPECT, const char* name = "",
            WORD cleaning = ADDRESS_CLEAN_NO) {
        return addrrec_add(table(), &count, address, status, name, cleaning);
    }
    AddressRecord* get(DWORD address) {
        AddressRecord* record = nullptr;
        return addrrec_retrieve(table(), __atomic_load_n(&count, __ATOMIC_ACQUIRE), address, &record) == 1 ? record
                                                                                                            : nullptr;
    }
    int remove(DWORD address) { return addrrec_delete(table(), &count, address); }
};

class Addrrec : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(addrrec_init(), 1); }
    AddressTable t;
};

TEST_F(Addrrec, AddRetrieveChangeDelete) {
    ASSERT_EQ(t.add(0x04030201, ADDRESS_STATUS_UNCHANGED, "www.example.com", ADDRESS_CLEAN_NO), 1);
    AddressRecord* record = t.get(0x04030201);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->status, ADDRESS_STATUS_UNCHANGED);
    EXPECT_STREQ(record->hostName, "www.example.com");
    EXPECT_EQ(record->cleaningFlag, ADDRESS_CLEAN_NO);

    record->status = ADDRESS_STATUS_DISALLOWED;
    std::strcpy(record->hostName, "renamed");
    record->cleaningFlag = ADDRESS_CLEAN_ALWAYS;
    EXPECT_EQ(t.get(0x04030201)->status, ADDRESS_STATUS_DISALLOWED);
    EXPECT_STREQ(t.get(0x04030201)->hostName, "renamed");

    EXPECT_EQ(t.remove(0x04030201), 1);
    EXPECT_EQ(t.get(0x04030201), nullptr);
    EXPECT_EQ(t.count, 0);
    EXPECT_EQ(t.remove(0x04030201), 0);
}

TEST_F(Addrrec, HostNameIsCutToTheField) {
    const std::string l191(191, 'a'), l192(192, 'b'), l300(300, 'c');
    struct Case {
        DWORD address;
        const char* name;
        std::string expected;
    };
    const Case cases[] = {
        {1, "", ""},
        {2, nullptr, ""},
        {3, l191.c_str(), l191},
        {4, l192.c_str(), std::string(191, 'b')},
        {5, l300.c_str(), std::string(191, 'c')},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(t.add(c.address, ADDRESS_STATUS_INSPECT, c.name), 1) << c.address;
        const AddressRecord* record = t.get(c.address);
        EXPECT_EQ(record->hostName[ADDRREC_HOSTNAME_SIZE - 1], '\0') << c.address;
        EXPECT_EQ(std::string(record->hostName), c.expected) << c.address;
    }
}

TEST_F(Addrrec, EveryAddressValueCanBeRecorded) {
    for (DWORD address : {0x00000000u, 0xffffffffu, 0x0100007fu}) {
        ASSERT_EQ(t.add(address, ADDRESS_STATUS_DISALLOWED), 1) << address;
        ASSERT_NE(t.get(address), nullptr) << address;
        EXPECT_EQ(t.get(address)->address, address);
    }
    EXPECT_EQ(t.remove(0), 1);
    EXPECT_EQ(t.get(0), nullptr);
    EXPECT_NE(t.get(0xffffffffu), nullptr);
}

TEST_F(Addrrec, RefusesBadAdds) {
    ASSERT_EQ(t.add(9, ADDRESS_STATUS_UNCHANGED, "first"), 1);
    EXPECT_EQ(t.add(9, ADDRESS_STATUS_INSPECT, "second"), 0);
    EXPECT_STREQ(t.get(9)->hostName, "first") << "the existing record is kept";
    EXPECT_EQ(t.add(10, 0xFFFF), 0) << "the free mark is not a status";
    EXPECT_EQ(addrrec_add(nullptr, &t.count, 11, 2, "", 2), 0);
    EXPECT_EQ(addrrec_add(t.table(), nullptr, 11, 2, "", 2), 0);
    EXPECT_EQ(t.count, 1);
    EXPECT_EQ(addrrec_retrieve(t.table(), t.count, 9, nullptr), 0);
}

// Addresses are only forgotten when a DNS answer replaces them, so a long-running program fills
// the table: a new address then takes the slot of the oldest, never going unrecorded.
TEST_F(Addrrec, FullTableReusesFreedSlotsFirstThenReplacesTheOldest) {
    for (DWORD a = 1; a <= ADDRREC_CAPACITY; ++a) ASSERT_EQ(t.add(a), 1) << a;
    AddressRecord* freed = t.get(77);
    ASSERT_EQ(t.remove(77), 1);
    EXPECT_EQ(t.slots[76].status, 0xFFFF);
    ASSERT_EQ(t.add(0x7fffffff, ADDRESS_STATUS_UNCHANGED, "late"), 1);
    EXPECT_EQ(t.get(0x7fffffff), freed);

    for (DWORD a = 1; a <= 3; ++a) {
        const DWORD newcomer = 0x10000 + a;
        ASSERT_EQ(t.add(newcomer, ADDRESS_STATUS_DISALLOWED, "newcomer"), 1) << a;
        EXPECT_EQ(t.get(a), nullptr) << "address " << a << " was the oldest";
        ASSERT_NE(t.get(newcomer), nullptr);
        EXPECT_EQ(t.get(newcomer), &t.slots[a - 1]);
        EXPECT_EQ(t.get(newcomer)->status, ADDRESS_STATUS_DISALLOWED);
        EXPECT_STREQ(t.get(newcomer)->hostName, "newcomer");
    }
    EXPECT_NE(t.get(4), nullptr);
    EXPECT_EQ(t.count, ADDRREC_CAPACITY);
    EXPECT_EQ(t.add(0x10001), 0) << "an address with a record keeps it";
}

// Random adds, deletes and look-ups against a model of the slots, over more addresses than the
// table holds and with more adds than deletes, so the table fills up and stays full for long
// stretches: a new address then takes a free slot (the lowest) when there is one, else the slot
// given up in turn, whose address is forgotten.
TEST_F(Addrrec, RandomOperationsMatchAModel) {
    std::mt19937 random(4321);
    constexpr DWORD kFree = 0xFFFFFFFFu;  // no address of the run (no multiple of the odd multiplier below 3500 is it)
    std::vector<DWORD> model(ADDRREC_CAPACITY, kFree);  // slot -> address
    std::map<DWORD, int> slotOf;
    int nextReplaced = 0;
    int replaced = 0;
    for (int step = 0; step < 40000; ++step) {
        // Keys spread over the whole address range, with many repeats.
        const DWORD address = static_cast<DWORD>(random() % 3500) * 0x9E3779B1u;
        const unsigned op = random() % 10;
        if (op < 5) {
            if (slotOf.count(address)) {
                ASSERT_EQ(t.add(address), 0) << step;
                continue;
            }
            int slot = -1;
            for (int i = 0; i < ADDRREC_CAPACITY && slot < 0; ++i)
                if (model[i] == kFree) slot = i;
            if (slot < 0) {
                slot = nextReplaced;
                nextReplaced = (nextReplaced + 1) % ADDRREC_CAPACITY;
                slotOf.erase(model[slot]);
                ++replaced;
            }
            ASSERT_EQ(t.add(address), 1) << step;
            model[slot] = address;
            slotOf[address] = slot;
            ASSERT_EQ(t.get(address), &t.slots[slot]) << step;
        } else if (op < 7) {
            auto it = slotOf.find(address);
            ASSERT_EQ(t.remove(address), it != slotOf.end() ? 1 : 0) << step;
            if (it != slotOf.end()) {
                model[it->second] = kFree;
                slotOf.erase(it);
            }
        } else {
            auto it = slotOf.find(address);
            ASSERT_EQ(t.get(address), it == slotOf.end() ? nullptr : &t.slots[it->second]) << step;
        }
        int top = ADDRREC_CAPACITY;
        while (top > 0 && model[top - 1] == kFree) --top;
        ASSERT_EQ(t.count, top) << step;
    }
    EXPECT_GT(replaced, 100) << "the run never kept the table full";
}

// A full table passes over held records when it gives up a slot, and a record deleted while
// held keeps its slot until the hold ends.
TEST_F(Addrrec, HeldRecordsAreNeverGivenUp) {
    for (DWORD a = 1; a <= ADDRREC_CAPACITY; ++a) ASSERT_EQ(t.add(a), 1) << a;
    AddressRecord* oldest = nullptr;
    ASSERT_EQ(addrrec_hold(t.table(), t.count, 1, &oldest), 1);
    ASSERT_EQ(t.add(0x10001, ADDRESS_STATUS_DISALLOWED, "newcomer"), 1);
    EXPECT_EQ(t.get(1), oldest) << "the held oldest record stays";
    EXPECT_EQ(t.get(2), nullptr) << "the next oldest made room";
    EXPECT_EQ(t.get(0x10001), &t.slots[1]);
    EXPECT_EQ(oldest->address, 1u);

    // A name answer replaces the held record (delete, then add): the new record goes elsewhere.
    ASSERT_EQ(t.remove(1), 1);
    ASSERT_EQ(t.add(1, ADDRESS_STATUS_UNCHANGED, "answer"), 1);
    EXPECT_NE(t.get(1), oldest);
    EXPECT_EQ(t.get(3), nullptr) << "the table was still full: the next in turn made room";
    std::strcpy(oldest->hostName, "late");  // the holder finishes on its own record
    EXPECT_STREQ(t.get(1)->hostName, "answer");
    EXPECT_EQ(addrrec_release(t.table(), oldest), 1);
    EXPECT_EQ(t.slots[0].status, 0xFFFF) << "the last release frees the slot";
    ASSERT_EQ(t.add(0x10002), 1);
    EXPECT_EQ(t.get(0x10002), &t.slots[0]);
}

// Every record held: a full table refuses a new address rather than give up a held one.
TEST_F(Addrrec, AFullTableOfHeldRecordsRefusesANewAddress) {
    std::vector<AddressRecord*> held;
    for (DWORD a = 1; a <= ADDRREC_CAPACITY; ++a) {
        ASSERT_EQ(t.add(a), 1) << a;
        AddressRecord* record = nullptr;
        ASSERT_EQ(addrrec_hold(t.table(), t.count, a, &record), 1);
        held.push_back(record);
    }
    EXPECT_EQ(t.add(0x10001), 0);
    for (DWORD a = 1; a <= ADDRREC_CAPACITY; ++a) ASSERT_EQ(t.get(a), held[a - 1]);
    for (AddressRecord* record : held) EXPECT_EQ(addrrec_release(t.table(), record), 1);
    EXPECT_EQ(t.add(0x10001), 1);
}

// Name-answer threads replace records (delete, then add) of their own addresses while connect
// threads read and change theirs; no record moves and no change is lost.
TEST(AddrrecThreads, ReplacingSomeRecordsLeavesTheOthersInPlace) {
    ASSERT_EQ(addrrec_init(), 1);
    AddressTable t;
    constexpr int kThreads = 8;
    constexpr int kHeld = 64;
    constexpr int kRounds = 300;
    std::atomic<int> failures{0};

    auto worker = [&](int id) {
        const DWORD base = static_cast<DWORD>(id) << 24;
        std::vector<AddressRecord*> held;
        for (int i = 0; i < kHeld; ++i) {
            if (t.add(base + i, ADDRESS_STATUS_INSPECT, "held") != 1) ++failures;
            held.push_back(t.get(base + i));
        }
        for (int round = 0; round < kRounds; ++round) {
            const DWORD answered = base + 0x10000 + (round % 16);
            t.remove(answered);
            if (t.add(answered, ADDRESS_STATUS_UNCHANGED, "answer") != 1) ++failures;
            for (int i = 0; i < kHeld; ++i) {
                AddressRecord* record = t.get(base + i);
                if (record != held[i]) {
                    ++failures;
                    continue;
                }
                record->cleaningFlag = static_cast<WORD>(record->cleaningFlag + 1);
            }
        }
        for (int i = 0; i < kHeld; ++i) {
            if (held[i]->cleaningFlag != ADDRESS_CLEAN_NO + kRounds || held[i]->address != base + i) ++failures;
        }
    };
    std::vector<std::thread> threads;
    for (int id = 1; id <= kThreads; ++id) threads.emplace_back(worker, id);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_LE(t.count, kThreads * (kHeld + 16));
}

// A full table gives up slots in turn while connect threads hold records of addresses they look
// up: a held record keeps its address for the whole hold; look-ups that race the replacements
// find either the address's own record or none.
TEST(AddrrecThreads, HeldRecordsOfAFullTableKeepTheirAddressWhileOthersAreReplaced) {
    ASSERT_EQ(addrrec_init(), 1);
    AddressTable t;
    for (DWORD a = 1; a <= ADDRREC_CAPACITY; ++a) ASSERT_EQ(t.add(a), 1);
    constexpr int kHookThreads = 4;
    constexpr int kRounds = 20000;
    constexpr DWORD kHot = 64;
    std::atomic<bool> stop{false};
    std::atomic<int> mismatches{0}, holds{0};
    std::thread answers([&] {
        for (DWORD round = 0; !stop.load() && round < 50 * kRounds; ++round) {
            t.add(0x1000000 + round);                // a newcomer replaces the next record in turn
            if (round % 4 == 0) t.add(1 + round % kHot);  // hot addresses come back when forgotten
        }
    });
    std::vector<std::thread> hooks;
    for (int id = 0; id < kHookThreads; ++id) {
        hooks.emplace_back([&, id] {
            for (int round = 0; round < kRounds; ++round) {
                const DWORD address = 1 + (round * 7 + id) % kHot;
                AddressRecord* record = nullptr;
                if (addrrec_hold(t.table(), __atomic_load_n(&t.count, __ATOMIC_ACQUIRE), address, &record) != 1) {
                    if (record != nullptr) ++mismatches;
                    continue;
                }
                ++holds;
                for (int look = 0; look < 4; ++look) {
                    if (__atomic_load_n(&record->address, __ATOMIC_RELAXED) != address) ++mismatches;
                    std::this_thread::yield();
                }
                addrrec_release(t.table(), record);
            }
        });
    }
    for (std::thread& hook : hooks) hook.join();
    stop = true;
    answers.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_GT(holds.load(), 0);
    EXPECT_EQ(t.count, ADDRREC_CAPACITY);
}

}  // namespace
