// AlertRelay over a spool of the test's own: which alerts make one notice, and when it is due.
#include "alert_relay.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<VTAlert> g_spool;
bool g_spoolFails = false;

int read_spool(INT afterId, VTAlert* alerts, int capacity) {
    if (g_spoolFails) return -1;
    int copied = 0;
    for (const VTAlert& alert : g_spool)
        if (alert.id > afterId && copied < capacity) alerts[copied++] = alert;
    return copied;
}

class AlertRelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_spool.clear();
        g_spoolFails = false;
    }
    static void raise(const char* caption, const char* text) {
        VTAlert alert;
        memset(&alert, 0, sizeof(alert));
        alert.id = g_spool.empty() ? 1 : g_spool.back().id + 1;
        strncpy(alert.caption, caption, sizeof(alert.caption) - 1);
        strncpy(alert.text, text, sizeof(alert.text) - 1);
        g_spool.push_back(alert);
    }
};

TEST_F(AlertRelayTest, AlertIsDueAfterTheQuietPeriod) {
    AlertRelay relay(0, read_spool);
    raise("Quillfence Warning", "one");
    ASSERT_TRUE(relay.poll(1000));
    EXPECT_FALSE(relay.due(1000 + AlertRelay::kQuietMs - 1));
    EXPECT_TRUE(relay.due(1000 + AlertRelay::kQuietMs));
    const AlertNotice notice = relay.notice();
    EXPECT_EQ("Quillfence Warning", notice.caption);
    EXPECT_EQ("one", notice.text);
    EXPECT_EQ(1, notice.count);
    EXPECT_EQ(1, notice.lastId);
}

TEST_F(AlertRelayTest, AlertsApartAreNoticesApart) {
    AlertRelay relay(0, read_spool);
    raise("A", "first");
    relay.poll(0);
    ASSERT_TRUE(relay.due(AlertRelay::kQuietMs));
    relay.markShown(relay.notice());
    raise("B", "second");
    relay.poll(3000);
    ASSERT_TRUE(relay.due(3000 + AlertRelay::kQuietMs));
    const AlertNotice notice = relay.notice();
    EXPECT_EQ("second", notice.text);
    EXPECT_EQ(1, notice.count);
    EXPECT_EQ(2, relay.notice().lastId);
}

TEST_F(AlertRelayTest, SteadyStreamIsShownAfterTheLongestWait) {
    AlertRelay relay(0, read_spool);
    std::uint64_t now = 0;
    for (; now < AlertRelay::kLongestWaitMs; now += 500) {
        raise("A", "again");
        relay.poll(now);
        EXPECT_FALSE(relay.due(now)) << now;
    }
    raise("A", "again");
    relay.poll(now);
    ASSERT_TRUE(relay.due(now));
    EXPECT_EQ(11, relay.notice().count);
    EXPECT_EQ("again\n... and 10 more", relay.notice().text);
}

TEST_F(AlertRelayTest, BacklogLargerThanOneReadIsOneNotice) {
    for (int i = 0; i < 200; ++i) raise(i == 0 ? "First" : "Later", i == 0 ? "first text" : "later text");
    AlertRelay relay(0, read_spool);
    ASSERT_TRUE(relay.poll(0));
    const AlertNotice notice = relay.notice();
    EXPECT_EQ("First", notice.caption);
    EXPECT_EQ("first text\n... and 199 more", notice.text);
    EXPECT_EQ(200, notice.lastId);
}

TEST_F(AlertRelayTest, AlertsUpToTheShownIdAreNotShownAgain) {
    raise("A", "old");
    raise("A", "old");
    raise("B", "new");
    AlertRelay relay(2, read_spool);
    relay.poll(0);
    EXPECT_EQ(1, relay.notice().count);
    EXPECT_EQ("new", relay.notice().text);
}

TEST_F(AlertRelayTest, AlertsThatCameWhileANoticeWasShownAreReadAgainWithTheirOwnTexts) {
    AlertRelay relay(0, read_spool);
    raise("A", "first");
    relay.poll(0);
    const AlertNotice sent = relay.notice();
    raise("B", "while sending");
    relay.poll(100);
    relay.markShown(sent);
    EXPECT_EQ(1, relay.shownId());
    relay.poll(200);
    EXPECT_EQ("while sending", relay.notice().text);
    EXPECT_EQ(1, relay.notice().count);
}

TEST_F(AlertRelayTest, UnreadableSpoolChangesNothing) {
    AlertRelay relay(0, read_spool);
    raise("A", "kept");
    relay.poll(0);
    g_spoolFails = true;
    EXPECT_FALSE(relay.poll(100));
    EXPECT_EQ(1, relay.notice().count);
    EXPECT_EQ("kept", relay.notice().text);
}

}  // namespace
