// Many threads, each adding, changing and deleting its own sockets in one shared table while
// holding pointers to its records.
#include "sockrec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

TEST(SockrecThreads, RecordsStayPutAndKeepEveryUpdate) {
    ASSERT_EQ(sockrec_init(), 1);
    std::vector<SocketRecord> slots(SOCKREC_CAPACITY);
    INT count = 0;
    constexpr int kThreads = 8;
    constexpr int kHeld = 100;      // records each thread keeps for the whole run
    constexpr int kRounds = 400;
    std::atomic<int> failures{0};

    auto worker = [&](int id) {
        const SOCKET base = static_cast<SOCKET>(id) * 100000;
        std::vector<SocketRecord*> held;
        for (int i = 0; i < kHeld; ++i) {
            if (sockrec_add(slots.data(), &count, base + i, 80, static_cast<DWORD>(id), 1, 0, 0, 0, 0, 0) != 1) {
                ++failures;
                return;
            }
            SocketRecord* record = nullptr;
            sockrec_retrieve(slots.data(), __atomic_load_n(&count, __ATOMIC_ACQUIRE), base + i, &record);
            held.push_back(record);
        }
        for (int round = 0; round < kRounds; ++round) {
            // A short-lived socket of this thread comes and goes meanwhile.
            const SOCKET passing = base + 50000 + round;
            if (sockrec_add(slots.data(), &count, passing, 25, 0, 0, 0, 0, 0, 0, 0) != 1) ++failures;
            for (int i = 0; i < kHeld; ++i) {
                SocketRecord* record = nullptr;
                if (sockrec_retrieve(slots.data(), __atomic_load_n(&count, __ATOMIC_ACQUIRE), base + i, &record) != 1 ||
                    record != held[i] || record->socket != base + i) {
                    ++failures;
                    continue;
                }
                record->violationCount += 1;
                record->transferFlag = static_cast<WORD>(round & 1);
            }
            if (sockrec_delete(slots.data(), &count, passing) != 1) ++failures;
        }
        for (int i = 0; i < kHeld; ++i) {
            if (held[i]->violationCount != static_cast<DWORD>(kRounds) || held[i]->address != static_cast<DWORD>(id)) {
                ++failures;
            }
        }
    };

    std::vector<std::thread> threads;
    for (int id = 1; id <= kThreads; ++id) threads.emplace_back(worker, id);
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_LE(count, kThreads * (kHeld + 1));
    for (int id = 1; id <= kThreads; ++id) {
        for (int i = 0; i < kHeld; ++i) {
            SocketRecord* record = nullptr;
            ASSERT_EQ(sockrec_retrieve(slots.data(), count, static_cast<SOCKET>(id) * 100000 + i, &record), 1);
            EXPECT_EQ(record->violationCount, static_cast<DWORD>(kRounds));
        }
    }
}

// A receive holds its socket's record while a send on another thread decides to pass the
// connection (deletes the record) and a new connection gets a record: the receive finishes on
// its own record, the new socket's record is not touched, and the slot is reused after the hold.
TEST(SockrecThreads, ARecordDeletedWhileHeldIsNotGivenToTheNextSocket) {
    using namespace std::chrono_literals;
    std::vector<SocketRecord> slots(SOCKREC_CAPACITY);
    INT count = 0;
    ASSERT_EQ(sockrec_add(slots.data(), &count, 1, 80, 0x0a000001, 1, 0, 0, 0, 0, 0), 1);

    std::promise<void> held, replaced;
    std::future<void> heldSeen = held.get_future();
    std::shared_future<void> replacedSeen = replaced.get_future().share();
    std::atomic<bool> sawOwnRecord{false};
    std::thread receive([&] {
        SocketRecord* record = nullptr;
        if (sockrec_hold(slots.data(), __atomic_load_n(&count, __ATOMIC_ACQUIRE), 1, &record) != 1) {
            held.set_value();
            return;
        }
        held.set_value();
        if (replacedSeen.wait_for(10s) != std::future_status::ready) return;
        sawOwnRecord = record->socket == 1 && record->port == 80;
        record->violationCount += 5;
        record->cleanState[0] = 9;
        sockrec_release(slots.data(), record);
    });
    ASSERT_EQ(heldSeen.wait_for(10s), std::future_status::ready);
    ASSERT_EQ(sockrec_delete(slots.data(), &count, 1), 1);
    ASSERT_EQ(sockrec_add(slots.data(), &count, 2, 25, 0x0a000002, 0, 0, 0, 0, 0, 0), 1);
    replaced.set_value();
    receive.join();

    EXPECT_TRUE(sawOwnRecord.load());
    SocketRecord* next = nullptr;
    ASSERT_EQ(sockrec_retrieve(slots.data(), count, 2, &next), 1);
    EXPECT_NE(next, &slots[0]);
    EXPECT_EQ(next->violationCount, 0u);
    EXPECT_EQ(next->cleanState[0], 0);
    EXPECT_EQ(next->port, 25);
    ASSERT_EQ(sockrec_add(slots.data(), &count, 3, 80, 0, 1, 0, 0, 0, 0, 0), 1);
    SocketRecord* third = nullptr;
    ASSERT_EQ(sockrec_retrieve(slots.data(), count, 3, &third), 1);
    EXPECT_EQ(third, &slots[0]) << "the slot is free again once the hold has ended";
}

// Hook threads hold records of a few shared sockets while a gate thread deletes and adds those
// sockets again and again: a held record keeps its socket for the whole hold.
TEST(SockrecThreads, AHeldRecordKeepsItsSocketWhileOthersComeAndGo) {
    std::vector<SocketRecord> slots(SOCKREC_CAPACITY);
    INT count = 0;
    constexpr SOCKET kShared = 8;
    constexpr int kHookThreads = 4;
    constexpr int kRounds = 20000;
    std::atomic<bool> stop{false}, added{false};
    std::atomic<int> mismatches{0}, holdsTaken{0};

    std::thread gate([&] {
        for (int round = 0; !stop.load() && round < 10 * kRounds; ++round) {
            const SOCKET s = 1 + round % kShared;
            sockrec_delete(slots.data(), &count, s);
            sockrec_add(slots.data(), &count, s, static_cast<WORD>(s), static_cast<DWORD>(s), 1, 0, 0, 0, 0, 0);
            if (round + 1 == kShared) added = true;
        }
        added = true;
    });
    // The hooks start once every shared socket has had a record, so that on a busy machine they
    // do not finish their rounds before the gate has added any.
    while (!added.load()) std::this_thread::yield();
    std::vector<std::thread> hooks;
    for (int id = 0; id < kHookThreads; ++id) {
        hooks.emplace_back([&, id] {
            for (int round = 0; round < kRounds; ++round) {
                const SOCKET s = 1 + (round + id) % kShared;
                SocketRecord* record = nullptr;
                if (sockrec_hold(slots.data(), __atomic_load_n(&count, __ATOMIC_ACQUIRE), s, &record) != 1) continue;
                ++holdsTaken;
                for (int look = 0; look < 4; ++look) {
                    if (__atomic_load_n(&record->socket, __ATOMIC_RELAXED) != s ||
                        __atomic_load_n(&record->address, __ATOMIC_RELAXED) != static_cast<DWORD>(s))
                        ++mismatches;
                    std::this_thread::yield();
                }
                sockrec_release(slots.data(), record);
            }
        });
    }
    for (std::thread& hook : hooks) hook.join();
    stop = true;
    gate.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_GT(holdsTaken.load(), 0);
    EXPECT_LE(count, static_cast<INT>(kShared + kHookThreads));
}

}  // namespace
