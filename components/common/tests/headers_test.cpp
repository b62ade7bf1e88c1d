// The header-only helpers: the store recovery rule, ASCII case, atomic steps on record fields.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "asciicase.h"
#include "qfatomic.h"
#include "store_recovery.h"

namespace {

// A store whose read and regen answer as told, recording the calls in order.
struct FakeRecord {
    int value = 0;
};
std::string g_calls;
int g_readResult = 1, g_regenResult = 1;
int fake_init(FakeRecord* r) { g_calls += "init "; r->value = -1; return 1; }
int fake_read(FakeRecord* r) { g_calls += "read "; if (g_readResult == 1) r->value = 7; return g_readResult; }
int fake_regen(FakeRecord* r) { g_calls += "regen "; r->value = 3; return g_regenResult; }

TEST(StoreRecovery, AFailedReadRestoresTheFactorySettingsAndWarnsOnce) {
    struct Case {
        int read, regen;
        StoreRead outcome;
        const char* calls;
        int value;
        int warnings;
    };
    const Case cases[] = {
        {1, 1, StoreRead::Read, "init read ", 7, 0},
        {0, 1, StoreRead::Restored, "init read regen ", 3, 1},
        {0, 0, StoreRead::RestoreFailed, "init read regen ", 3, 1},
        {2, 1, StoreRead::Restored, "init read regen ", 3, 1},  // anything but 1 is a failed read
    };
    for (const Case& c : cases) {
        g_calls.clear();
        g_readResult = c.read;
        g_regenResult = c.regen;
        FakeRecord record;
        int warnings = 0;
        StoreRead warned = StoreRead::Read;
        const StoreRead outcome = qf_read_store(&record, fake_init, fake_read, fake_regen, [&](StoreRead o) {
            ++warnings;
            warned = o;
        });
        EXPECT_EQ(outcome, c.outcome) << c.read << c.regen;
        EXPECT_EQ(g_calls, c.calls);
        EXPECT_EQ(record.value, c.value);
        EXPECT_EQ(warnings, c.warnings);
        if (warnings) {
            EXPECT_EQ(warned, c.outcome);
        }
    }
    g_calls.clear();
    g_readResult = 1;
    FakeRecord record;
    qf_read_store<FakeRecord>(&record, nullptr, fake_read, fake_regen, [](StoreRead) {});
    EXPECT_EQ(g_calls, "read ") << "a store without init";
}

TEST(AsciiCase, OnlyAsciiCapitalsChange) {
    for (int c = 0; c < 256; ++c) {
        const unsigned char lower = qf_ascii_lower(static_cast<unsigned char>(c));
        EXPECT_EQ(lower, (c >= 'A' && c <= 'Z') ? c + 32 : c) << c;
    }
    EXPECT_TRUE(qf_ascii_equal_nocase("HoSt:", "host:", 5));
    EXPECT_FALSE(qf_ascii_equal_nocase("Hosts", "host:", 5));
    EXPECT_FALSE(qf_ascii_equal_nocase("\xC4", "\xE4", 1)) << "non-ASCII bytes compare as they are";
}

TEST(AtomicFields, AdditionsFromManyThreadsAreAllCountedAndStopAtTheLimit) {
    DWORD counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) qf_atomic_add_saturating(&counter, 1);
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(counter, 40000u);
    DWORD high = 0xFFFFFFF0u;
    EXPECT_EQ(qf_atomic_add_saturating(&high, 0x100), 0xFFFFFFFFu);
    EXPECT_EQ(qf_atomic_add_saturating(&high, 1), 0xFFFFFFFFu);
}

}  // namespace
