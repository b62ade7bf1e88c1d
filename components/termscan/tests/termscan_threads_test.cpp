// Many application threads scan at once: the first scans of a table race to compile it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "table_helpers.h"

using termscan_test::Exact;
using termscan_test::Table;

namespace {

// Releases all threads at once so that their first scans overlap.
class StartLine {
public:
    void wait() {
        ++waiting_;
        while (!go_.load()) std::this_thread::yield();
    }
    void release_when(int threads) {
        while (waiting_.load() < threads) std::this_thread::yield();
        go_ = true;
    }

private:
    std::atomic<int> waiting_{0};
    std::atomic<bool> go_{false};
};

TEST(ConcurrentScans, ManyThreadsCompilingOneTableAllSeeTheSameResult) {
    std::vector<std::string> entries;
    for (int i = 0; i < 2000; ++i) entries.push_back("w" + std::to_string(i) + (i % 7 ? "" : "*"));
    entries.push_back("bad.example");
    Table table(entries);
    const std::string text = "w0 w1999 w7x w8x w12 bad.example";
    constexpr int kThreads = 12;
    StartLine start;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            Exact data(text);
            Exact name("www.bad.example");
            start.wait();
            for (int round = 0; round < 50; ++round) {
                DWORD counter = 0;
                if (t % 3 == 0)
                    termscan_process(data.data.get(), data.length, table.get(), table.count, 80, 1, 0, &counter, '*');
                else
                    termscan_process_containsword(data.data.get(), data.length, table.get(), table.count, 80,
                                                  &counter, '*');
                // w0*, w1999, w7* on "w7x", w12 and bad.example
                if (counter != 5) ++wrong;
                if (termscan_search_containsword(name.data.get(), static_cast<int>(name.length), table.get(),
                                                 table.count) != TERMSCAN_CONTAINED)
                    ++wrong;
            }
        });
    start.release_when(kThreads);
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(ConcurrentScans, ThreadsWithTheirOwnTablesNeverGetAnotherTablesAnswer) {
    // More tables than the shared cache keeps, so entries are dropped while others use them.
    constexpr int kThreads = 8;
    constexpr int kTablesPerThread = 24;
    StartLine start;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::vector<std::unique_ptr<Table>> tables;
            for (int i = 0; i < kTablesPerThread; ++i)
                tables.push_back(std::make_unique<Table>(std::vector<std::string>{"t" + std::to_string(t) + "x" + std::to_string(i)}));
            start.wait();
            for (int round = 0; round < 3; ++round)
                for (int i = 0; i < kTablesPerThread; ++i) {
                    const std::string own = "t" + std::to_string(t) + "x" + std::to_string(i);
                    const std::string other = "t" + std::to_string(t) + "x" + std::to_string((i + 1) % kTablesPerThread);
                    Exact text(own + " " + other);
                    DWORD counter = 0;
                    termscan_process_containsword(text.data.get(), text.length, tables[i]->get(), tables[i]->count,
                                                  0, &counter, '*');
                    if (counter != 1) ++wrong;
                }
        });
    start.release_when(kThreads);
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

// A thread's recent tables live in a Win32 TLS slot of the library (which a provider's unloading
// frees with the library), not in thread_local storage: a fresh thread's first scan sets a value
// in one more of the process's TLS indexes (the thread run-time may have set some of its own).
TEST(ConcurrentScans, AThreadsRecentTablesLiveInAWin32TlsSlot) {
    constexpr DWORD kIndexes = TLS_MINIMUM_AVAILABLE + 1024;
    Table table({"poker"});
    int before = -1, after = -1;
    std::thread fresh([&] {
        auto set_values = [&] {
            int n = 0;
            for (DWORD i = 0; i < kIndexes; ++i)
                if (TlsGetValue(i) != nullptr) ++n;
            return n;
        };
        before = set_values();
        Exact data("poker night");
        DWORD counter = 0;
        termscan_process_containsword(data.data.get(), data.length, table.get(), table.count, 80, &counter, '*');
        if (counter == 1) after = set_values();
    });
    fresh.join();
    ASSERT_GE(before, 0);
    EXPECT_EQ(after, before + 1);
}

}  // namespace
