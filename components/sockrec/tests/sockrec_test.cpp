#include "sockrec.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

namespace {

struct SocketTable {
    std::vector<SocketRecord> slots = std::vector<SocketRecord>(SOCKREC_CAPACITY);
    INT count = 0;

    SocketRecord* table() { return slots.data(); }
    int add(SOCKET s, WORD port = 80, DWORD address = 0x0100007f, WORD transfer = 1) {
        return sockrec_add(table(), &count, s, port, address, transfer, 0, 0, 0, 0, 0);
    }
    SocketRecord* get(SOCKET s) {
        SocketRecord* record = nullptr;
        return sockrec_retrieve(table(), count, s, &record) == 1 ? record : nullptr;
    }
    int remove(SOCKET s) { return sockrec_delete(table(), &count, s); }
};

class Sockrec : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(sockrec_init(), 1); }
    SocketTable t;
};

TEST_F(Sockrec, AddRetrieveChangeBlacklistDelete) {
    ASSERT_EQ(sockrec_add(t.table(), &t.count, 42, 110, 0x0a000001, 0, 1, 2, 3, 4, 5), 1);
    EXPECT_EQ(t.count, 1);
    SocketRecord* record = t.get(42);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->socket, 42u);
    EXPECT_EQ(record->port, 110);
    EXPECT_EQ(record->address, 0x0a000001u);
    EXPECT_EQ(record->transferFlag, 0);
    EXPECT_EQ(record->blockedFlag, 0);
    EXPECT_EQ(record->violationCount, 0u);
    EXPECT_EQ(record->cleanState[0], 1);
    EXPECT_EQ(record->cleanState[4], 5);

    // Changes made through the pointer persist in the table's own record.
    record->port = 80;
    record->violationCount = 3;
    EXPECT_EQ(t.get(42)->port, 80);
    EXPECT_EQ(t.get(42)->violationCount, 3u);

    EXPECT_EQ(sockrec_blacklist(t.table(), t.count, 42), 1);
    EXPECT_EQ(record->blockedFlag, 1);
    EXPECT_EQ(sockrec_blacklist(t.table(), t.count, 43), 0);

    EXPECT_EQ(t.remove(42), 1);
    EXPECT_EQ(t.get(42), nullptr);
    EXPECT_EQ(t.count, 0);
    EXPECT_EQ(t.remove(42), 0) << "deleting a socket without a record does nothing";
}

TEST_F(Sockrec, RefusesBadAdds) {
    ASSERT_EQ(t.add(7, 80), 1);
    t.get(7)->violationCount = 9;
    EXPECT_EQ(t.add(7, 25), 0) << "a second record for the same socket";
    EXPECT_EQ(t.get(7)->port, 80) << "the existing record is kept";
    EXPECT_EQ(t.get(7)->violationCount, 9u);
    EXPECT_EQ(t.add(INVALID_SOCKET), 0);
    EXPECT_EQ(sockrec_add(nullptr, &t.count, 8, 80, 0, 1, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(sockrec_add(t.table(), nullptr, 8, 80, 0, 1, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(t.count, 1);

    SocketRecord* record = reinterpret_cast<SocketRecord*>(1);
    EXPECT_EQ(sockrec_retrieve(t.table(), t.count, 8, &record), 0);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(sockrec_retrieve(t.table(), t.count, 7, nullptr), 0);
}

TEST_F(Sockrec, FullTableRefusesAndReusesFreedSlots) {
    for (SOCKET s = 1; s <= SOCKREC_CAPACITY; ++s) ASSERT_EQ(t.add(s), 1) << s;
    EXPECT_EQ(t.count, SOCKREC_CAPACITY);
    EXPECT_EQ(t.add(5000), 0);
    EXPECT_EQ(t.count, SOCKREC_CAPACITY);

    SocketRecord* middle = t.get(1000);
    SocketRecord* last = t.get(SOCKREC_CAPACITY);
    ASSERT_EQ(t.remove(1000), 1);
    EXPECT_EQ(t.count, SOCKREC_CAPACITY) << "a hole below the top keeps the count";
    ASSERT_EQ(t.add(5000), 1);
    EXPECT_EQ(t.get(5000), middle) << "the freed slot is reused";
    EXPECT_EQ(t.get(SOCKREC_CAPACITY), last);
    EXPECT_EQ(t.add(5001), 0);
    for (SOCKET s = 1; s <= SOCKREC_CAPACITY; ++s) {
        if (s != 1000) {
            ASSERT_NE(t.get(s), nullptr) << s;
        }
    }
}

TEST_F(Sockrec, CountFallsBackOverFreedTopSlots) {
    for (SOCKET s = 1; s <= 4; ++s) ASSERT_EQ(t.add(s), 1);
    ASSERT_EQ(t.remove(3), 1);
    EXPECT_EQ(t.count, 4);
    ASSERT_EQ(t.remove(4), 1);
    EXPECT_EQ(t.count, 2) << "slots 3 and 4 are both free now";
    ASSERT_EQ(t.remove(1), 1);
    ASSERT_EQ(t.remove(2), 1);
    EXPECT_EQ(t.count, 0);
    EXPECT_EQ(t.slots[0].socket, INVALID_SOCKET) << "free slots carry the free mark";
}

TEST_F(Sockrec, CallerResetEmptiesTheTable) {
    for (SOCKET s = 1; s <= 10; ++s) ASSERT_EQ(t.add(s), 1);
    t.count = 0;
    EXPECT_EQ(t.get(3), nullptr);
    ASSERT_EQ(t.add(3), 1);
    EXPECT_EQ(t.count, 1);
    EXPECT_EQ(t.get(3), &t.slots[0]);
    EXPECT_EQ(t.get(4), nullptr);
}

TEST_F(Sockrec, TableBuiltElsewhereIsReadFromItsSlots) {
    // A copy of a table at another address: the library learns its records from the slots.
    for (SOCKET s = 1; s <= 5; ++s) ASSERT_EQ(t.add(s, static_cast<WORD>(s)), 1);
    ASSERT_EQ(t.remove(2), 1);
    SocketTable copy;
    copy.slots = t.slots;
    copy.count = t.count;
    EXPECT_EQ(copy.get(2), nullptr);
    ASSERT_NE(copy.get(4), nullptr);
    EXPECT_EQ(copy.get(4)->port, 4);
    ASSERT_EQ(copy.add(9), 1);
    EXPECT_EQ(copy.get(9), &copy.slots[1]);
}

// Random adds, deletes and look-ups against a model of the slots; records must never move. The
// adds outnumber the deletes over more sockets than the table holds, so the table fills up and
// stays full for long stretches: a full table refuses, and a freed slot (the lowest) is reused.
TEST_F(Sockrec, RandomOperationsMatchAModel) {
    std::mt19937 random(1234);
    std::vector<SOCKET> model(SOCKREC_CAPACITY, INVALID_SOCKET);  // slot -> socket
    std::map<SOCKET, int> slotOf;
    int refusedWhenFull = 0;
    for (int step = 0; step < 40000; ++step) {
        const SOCKET s = 1 + random() % 3000;
        const unsigned op = random() % 10;
        if (op < 5) {
            int expectedSlot = -1;
            if (slotOf.count(s) == 0) {
                for (int slot = 0; slot < SOCKREC_CAPACITY && expectedSlot < 0; ++slot)
                    if (model[slot] == INVALID_SOCKET) expectedSlot = slot;
            }
            if (slotOf.count(s) == 0 && expectedSlot < 0) ++refusedWhenFull;
            ASSERT_EQ(t.add(s, static_cast<WORD>(s)), expectedSlot >= 0 ? 1 : 0) << step;
            if (expectedSlot >= 0) {
                model[expectedSlot] = s;
                slotOf[s] = expectedSlot;
                ASSERT_EQ(t.get(s), &t.slots[expectedSlot]) << step;
            }
        } else if (op < 7) {
            auto it = slotOf.find(s);
            ASSERT_EQ(t.remove(s), it != slotOf.end() ? 1 : 0) << step;
            if (it != slotOf.end()) {
                model[it->second] = INVALID_SOCKET;
                slotOf.erase(it);
            }
        } else {
            auto it = slotOf.find(s);
            ASSERT_EQ(t.get(s), it == slotOf.end() ? nullptr : &t.slots[it->second]) << step;
            if (it != slotOf.end()) {
                ASSERT_EQ(t.get(s)->port, static_cast<WORD>(s));
            }
        }
        int top = SOCKREC_CAPACITY;
        while (top > 0 && model[top - 1] == INVALID_SOCKET) --top;
        ASSERT_EQ(t.count, top) << step;
    }
    EXPECT_GT(refusedWhenFull, 100) << "the run never kept the table full";
}

// A hook holds the record it works on: deleting the socket meanwhile (a pass decision on the
// send side while a receive still runs) takes the record out of the table, but its slot goes to
// no other socket until the hold ends.
TEST_F(Sockrec, AHeldRecordKeepsItsSlotUntilReleased) {
    ASSERT_EQ(t.add(1), 1);
    SocketRecord* held = nullptr;
    ASSERT_EQ(sockrec_hold(t.table(), t.count, 1, &held), 1);
    ASSERT_EQ(held, &t.slots[0]);

    ASSERT_EQ(t.remove(1), 1);
    EXPECT_EQ(t.get(1), nullptr) << "a deleted record is found by no look-up";
    SocketRecord* again = reinterpret_cast<SocketRecord*>(1);
    EXPECT_EQ(sockrec_hold(t.table(), t.count, 1, &again), 0);
    EXPECT_EQ(again, nullptr);

    ASSERT_EQ(t.add(2, 25), 1);
    EXPECT_NE(t.get(2), held) << "the held slot was given to another socket";
    held->violationCount = 7;  // the holder finishes its work on its own record
    EXPECT_EQ(t.get(2)->violationCount, 0u);
    EXPECT_EQ(held->socket, 1u);

    EXPECT_EQ(sockrec_release(t.table(), held), 1);
    EXPECT_EQ(sockrec_release(t.table(), held), 0) << "the hold has ended";
    EXPECT_EQ(t.slots[0].socket, INVALID_SOCKET) << "the last release frees the slot";
    ASSERT_EQ(t.add(3), 1);
    EXPECT_EQ(t.get(3), &t.slots[0]) << "and the slot is reused";
}

TEST_F(Sockrec, HoldsAreCounted) {
    ASSERT_EQ(t.add(1), 1);
    SocketRecord* first = nullptr;
    SocketRecord* second = nullptr;
    ASSERT_EQ(sockrec_hold(t.table(), t.count, 1, &first), 1);
    ASSERT_EQ(sockrec_hold(t.table(), t.count, 1, &second), 1);
    ASSERT_EQ(t.remove(1), 1);
    EXPECT_EQ(sockrec_release(t.table(), first), 1);
    ASSERT_EQ(t.add(2), 1);
    EXPECT_NE(t.get(2), second) << "one hold is left";
    EXPECT_EQ(sockrec_release(t.table(), second), 1);
    ASSERT_EQ(t.add(3), 1);
    EXPECT_EQ(t.get(3), &t.slots[0]);

    // Holding a record that stays in the table changes nothing for it.
    SocketRecord* held = nullptr;
    ASSERT_EQ(sockrec_hold(t.table(), t.count, 3, &held), 1);
    EXPECT_EQ(sockrec_release(t.table(), held), 1);
    EXPECT_EQ(t.get(3), held);
    EXPECT_EQ(sockrec_release(t.table(), nullptr), 0);
    SocketRecord outside{};
    EXPECT_EQ(sockrec_release(t.table(), &outside), 0) << "not a record of this table";
}

TEST_F(Sockrec, AHeldRecordSurvivesACallerReset) {
    ASSERT_EQ(t.add(1), 1);
    SocketRecord* held = nullptr;
    ASSERT_EQ(sockrec_hold(t.table(), t.count, 1, &held), 1);
    ASSERT_EQ(t.remove(1), 1);
    t.count = 0;  // the caller empties the table while the deleted record is still held
    ASSERT_EQ(t.add(2), 1);
    EXPECT_NE(t.get(2), held);
    EXPECT_EQ(sockrec_release(t.table(), held), 1);
}

}  // namespace
