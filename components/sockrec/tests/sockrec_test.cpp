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

// Random adds, deletes and look-ups against a plain map; records must never move.
TEST_F(Sockrec, RandomOperationsMatchAModel) {
    std::mt19937 random(1234);
    std::map<SOCKET, SocketRecord*> model;
    for (int step = 0; step < 20000; ++step) {
        const SOCKET s = 1 + random() % 3000;
        switch (random() % 3) {
        case 0: {
            const int result = t.add(s, static_cast<WORD>(s));
            const bool expected = model.count(s) == 0 && model.size() < SOCKREC_CAPACITY;
            ASSERT_EQ(result, expected ? 1 : 0) << step;
            if (expected) model[s] = t.get(s);
            break;
        }
        case 1:
            ASSERT_EQ(t.remove(s), model.erase(s) == 1 ? 1 : 0) << step;
            break;
        default: {
            auto it = model.find(s);
            ASSERT_EQ(t.get(s), it == model.end() ? nullptr : it->second) << step;
            if (it != model.end()) {
                ASSERT_EQ(it->second->port, static_cast<WORD>(s));
            }
        }
        }
        ASSERT_LE(t.count, SOCKREC_CAPACITY);
        if (!model.empty()) {
            const SocketRecord* highest = nullptr;
            for (const auto& entry : model) highest = std::max(highest, static_cast<const SocketRecord*>(entry.second));
            ASSERT_EQ(t.count, highest - t.slots.data() + 1) << step;
        } else {
            ASSERT_EQ(t.count, 0);
        }
    }
}

}  // namespace
