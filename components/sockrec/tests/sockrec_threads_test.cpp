// Many threads, each adding, changing and deleting its own sockets in one shared table while
// holding pointers to its records.
#include "sockrec.h"

#include <gtest/gtest.h>

#include <atomic>
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

}  // namespace
