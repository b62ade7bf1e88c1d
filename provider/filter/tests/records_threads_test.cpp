// The record tables under hooks on several threads at once, as applications call them.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "filter_harness.h"

namespace filter_test {
namespace {

class RecordsThreadsTest : public FilterTest {
protected:
    void SetUp() override {
        FilterTest::SetUp();
        addStandardLists();
        load();
    }
};

// A program that sends on one thread and receives on another: every word found on either side
// is counted on the socket's record.
TEST_F(RecordsThreadsTest, ASendAndAReceiveOnOneSocketAtOnceLoseNoViolation) {
    ASSERT_EQ(connect(1, "192.0.2.1", 119), 1);
    constexpr int kChunks = 400;
    const std::string chunk = std::string("article text ") + kWord + " more text\r\n";
    std::atomic<int> refused{0};
    auto run = [&](bool sending) {
        for (int i = 0; i < kChunks; ++i) {
            const Data d = sending ? send(1, chunk) : recv(1, chunk);
            if (d.verdict != 1) ++refused;
        }
    };
    std::thread sender(run, true), receiver(run, false);
    sender.join();
    receiver.join();
    EXPECT_EQ(refused.load(), 0) << "news is counted, never blocked";
    ASSERT_NE(socketRecord(1), nullptr);
    EXPECT_EQ(socketRecord(1)->violationCount, static_cast<DWORD>(2 * kChunks));
}

// Receives on many web sockets while other threads open and close connections and answer name
// look-ups: every clean page goes through, every socket keeps its own record.
TEST_F(RecordsThreadsTest, HooksOnManySocketsAtOnceKeepTheirOwnRecords) {
    constexpr int kReceivers = 4;
    constexpr int kRounds = 200;
    for (int i = 0; i < kReceivers; ++i) {
        const std::string address = "192.0.2." + std::to_string(10 + i);
        ASSERT_EQ(connect(10 + i, address.c_str(), 80), 1);
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kReceivers; ++i) {
        threads.emplace_back([&, i] {
            const std::string page = "<html><body>garden recipe " + std::to_string(i) + "</body></html>";
            for (int round = 0; round < kRounds; ++round) {
                if (!(recv(10 + i, page) == Data{1, page})) ++wrong;
            }
        });
    }
    threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
            const SOCKET s = 100 + round % 8;
            const std::string address = "198.51.100." + std::to_string(round % 200);
            connect(s, address.c_str(), 8080);
            close(s);
        }
    });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    for (int i = 0; i < kReceivers; ++i) {
        const SocketRecord* record = socketRecord(10 + i);
        ASSERT_NE(record, nullptr) << i;
        EXPECT_EQ(record->port, 80);
        EXPECT_EQ(record->violationCount, 0u);
    }
}

}  // namespace
}  // namespace filter_test
