// quillfence-tray on a private session bus: the alerts of the spool as notifications of the
// test's notification service, the tray icon as an item registered with the test's watcher.
#include "fake_desktop.h"
#include <session_bus.h>
#include "tray_process.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <provider_key.h>
#include <vtmessage.h>

#include "store_root.h"

namespace {

using tray_test::FakeDesktop;
using tray_test::SeenNotification;

const char kCaption[] = "Quillfence Warning";
const char kContentAlert[] = "A content violation has occured.\nQuillfence has blocked your access to this site.";
const char kTimeCaption[] = "Quillfence Time Warning";
const char kTimeAlert[] =
    "You are not allowed to use the network at this time.\nPlease try again during the time allocated to you.";
// How long a test waits for what the agent does twice a second.
const int kWaitMs = 10000;
// How long a test watches for something that must not come: past the quiet period of a burst
// and a few ticks.
const auto kSettle = std::chrono::milliseconds(2000);

class TrayAgentTest : public ::testing::Test {
protected:
    void TearDown() override {
        agent_.reset();
        VTMessage_Close();
    }

    void startAgent(const std::string& program = QUILLFENCE_TRAY) {
        agent_.reset(new tray_test::TrayProcess(program, root_.path(), bus_.address(), root_.file("tray-errors.txt")));
    }
    // Stops the agent with signal; its exit code.
    int stopAgent(int signal = SIGTERM) {
        const int code = agent_->stop(signal);
        return code;
    }
    std::string agentErrors() const { return agent_ ? agent_->errors() : ""; }

    // Raises an alert as a filtered program does, and waits until it is in the spool.
    static void raise(const char* caption, const char* text) {
        VTGenerateMsg(caption, text);
        VTMessage_Close();
    }

    bool waitForNotifications(size_t count) {
        return FakeDesktop::waitFor([&] { return desktop_.notifications().size() >= count; }, kWaitMs);
    }
    std::string itemName() {
        std::vector<std::string> items = desktop_.registeredItems();
        return items.empty() ? "" : items.back();
    }

    qf_test::StoreRoot root_;
    qf_test::PrivateSessionBus bus_;
    FakeDesktop desktop_{bus_.address()};
    std::unique_ptr<tray_test::TrayProcess> agent_;
};

TEST_F(TrayAgentTest, AlertRaisedWhileRunningIsShownOnceWithItsCaptionAndText) {
    desktop_.startNotifications();
    startAgent();
    raise(kCaption, kContentAlert);
    ASSERT_TRUE(waitForNotifications(1)) << agentErrors();
    std::this_thread::sleep_for(kSettle);
    const std::vector<SeenNotification> seen = desktop_.notifications();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Quillfence", seen[0].appName);
    EXPECT_EQ(kCaption, seen[0].summary);
    EXPECT_EQ(kContentAlert, seen[0].body);
    EXPECT_EQ(0, stopAgent());
}

TEST_F(TrayAgentTest, AlertRaisedBeforeTheAgentStartsIsShownAtStart) {
    raise(kTimeCaption, kTimeAlert);
    desktop_.startNotifications();
    startAgent();
    ASSERT_TRUE(waitForNotifications(1)) << agentErrors();
    const std::vector<SeenNotification> seen = desktop_.notifications();
    EXPECT_EQ(kTimeCaption, seen[0].summary);
    EXPECT_EQ(kTimeAlert, seen[0].body);
}

TEST_F(TrayAgentTest, BurstOfTwentyAlertsIsOneNotificationWithTheCount) {
    desktop_.startNotifications();
    startAgent();
    VTGenerateMsg(kTimeCaption, kTimeAlert);
    for (int i = 1; i < 20; ++i) VTGenerateMsg(kCaption, kContentAlert);
    VTMessage_Close();
    ASSERT_TRUE(waitForNotifications(1)) << agentErrors();
    std::this_thread::sleep_for(kSettle);
    const std::vector<SeenNotification> seen = desktop_.notifications();
    ASSERT_EQ(1u, seen.size()) << "a burst is one notification, never a flood";
    EXPECT_EQ(kTimeCaption, seen[0].summary) << "the first alert's caption";
    EXPECT_EQ(std::string(kTimeAlert) + "\n... and 19 more", seen[0].body);
}

TEST_F(TrayAgentTest, RestartedAgentShowsNothingTwice) {
    desktop_.startNotifications();
    startAgent();
    raise(kCaption, kContentAlert);
    ASSERT_TRUE(waitForNotifications(1)) << agentErrors();
    ASSERT_EQ(0, stopAgent());

    startAgent();
    std::this_thread::sleep_for(kSettle);
    EXPECT_EQ(1u, desktop_.notifications().size()) << "the alert shown before is not shown again";
    raise(kTimeCaption, kTimeAlert);
    ASSERT_TRUE(waitForNotifications(2)) << agentErrors();
    std::this_thread::sleep_for(kSettle);
    const std::vector<SeenNotification> seen = desktop_.notifications();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(kTimeAlert, seen[1].body) << "only the new alert, on its own";
}

TEST_F(TrayAgentTest, AlertsWaitForANotificationServiceAndAreShownWhenOneRuns) {
    startAgent();
    raise(kCaption, kContentAlert);
    ASSERT_TRUE(FakeDesktop::waitFor(
        [&] { return agentErrors().find("no desktop notification shown") != std::string::npos; }, kWaitMs))
        << agentErrors();
    EXPECT_NE(std::string::npos, agentErrors().find("no StatusNotifierWatcher on the session bus")) << agentErrors();

    desktop_.startNotifications();
    ASSERT_TRUE(FakeDesktop::waitFor([&] { return desktop_.notifications().size() >= 1; }, 20000)) << agentErrors();
    std::this_thread::sleep_for(kSettle);
    const std::vector<SeenNotification> seen = desktop_.notifications();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(kContentAlert, seen[0].body);
    EXPECT_EQ(0, stopAgent()) << "the agent kept running without a service";
}

TEST_F(TrayAgentTest, ServiceThatReadsMarkupGetsTheTextEscaped) {
    desktop_.startNotifications({"body", "body-markup"});
    startAgent();
    raise("Quillfence Warning", "<b>site</b> & co");
    ASSERT_TRUE(waitForNotifications(1)) << agentErrors();
    EXPECT_EQ("&lt;b&gt;site&lt;/b&gt; &amp; co", desktop_.notifications()[0].body);
}

TEST_F(TrayAgentTest, TrayRegistersWithTheWatcherAndFollowsTheFilteringState) {
    desktop_.startWatcher();
    startAgent();
    ASSERT_TRUE(FakeDesktop::waitFor([&] { return !itemName().empty(); }, kWaitMs)) << agentErrors();
    const std::string item = itemName();
    EXPECT_EQ(0u, item.find("org.kde.StatusNotifierItem-")) << item;
    EXPECT_EQ("Quillfence: filtering off", desktop_.itemText(item, "Title"));
    EXPECT_EQ("security-low", desktop_.itemText(item, "IconName"));
    EXPECT_EQ("Quillfence: filtering off", desktop_.itemToolTipTitle(item));
    EXPECT_EQ("Active", desktop_.itemText(item, "Status"));

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, QF_PROVIDER_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    RegCloseKey(key);
    EXPECT_TRUE(FakeDesktop::waitFor(
        [&] { return desktop_.itemText(item, "Title") == "Quillfence: filtering on"; }, kWaitMs));
    EXPECT_EQ("security-high", desktop_.itemText(item, "IconName"));
    EXPECT_EQ("Quillfence: filtering on", desktop_.itemToolTipTitle(item));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, QF_PROVIDER_KEY));
    EXPECT_TRUE(FakeDesktop::waitFor(
        [&] { return desktop_.itemText(item, "Title") == "Quillfence: filtering off"; }, kWaitMs));
    EXPECT_EQ(0, stopAgent());
}

TEST_F(TrayAgentTest, MenuOffersOpenControlCenter) {
    desktop_.startWatcher();
    startAgent();
    ASSERT_TRUE(FakeDesktop::waitFor([&] { return !itemName().empty(); }, kWaitMs)) << agentErrors();
    GVariant* reply = desktop_.callMenu(itemName(), "GetLayout", g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(NULL, 0)),
                                        "(u(ia{sv}av))");
    ASSERT_TRUE(reply);
    gchar* printed = g_variant_print(reply, FALSE);
    EXPECT_NE(nullptr, strstr(printed, "'label': <'Open Control Center'>")) << printed;
    g_free(printed);
    g_variant_unref(reply);
}

// The agent copied into a folder of its own, with or without a Control Center beside it.
class ControlCenterFromTheMenu : public TrayAgentTest {
protected:
    std::string agentIn(const std::string& folder) {
        std::filesystem::create_directories(root_.file(folder));
        const std::string copy = root_.file(folder + "/quillfence-tray");
        std::filesystem::copy_file(QUILLFENCE_TRAY, copy);
        return copy;
    }
    void clickOpenControlCenter() {
        ASSERT_TRUE(FakeDesktop::waitFor([&] { return !itemName().empty(); }, kWaitMs)) << agentErrors();
        GVariant* reply = desktop_.callMenu(
            itemName(), "Event", g_variant_new("(isvu)", 1, "clicked", g_variant_new_int32(0), 0u), NULL);
        ASSERT_TRUE(reply) << agentErrors();
        g_variant_unref(reply);
    }
};

TEST_F(ControlCenterFromTheMenu, StartsTheConfiguratorBesideTheAgentOnTheSameRoot) {
    const std::string program = agentIn("installed");
    const std::string configurator = root_.file("installed/configurator");
    {
        std::ofstream script(configurator);
        script << "#!/bin/sh\ntouch \"$QUILLFENCE_ROOT/configurator-started\"\n";
    }
    chmod(configurator.c_str(), 0755);
    desktop_.startWatcher();
    desktop_.startNotifications();
    startAgent(program);
    clickOpenControlCenter();
    EXPECT_TRUE(FakeDesktop::waitFor(
        [&] { return std::filesystem::exists(root_.file("configurator-started")); }, kWaitMs))
        << agentErrors();
    EXPECT_TRUE(desktop_.notifications().empty());
}

TEST_F(ControlCenterFromTheMenu, SaysSoWhenTheConfiguratorIsNotInstalled) {
    const std::string program = agentIn("alone");
    desktop_.startWatcher();
    desktop_.startNotifications();
    startAgent(program);
    clickOpenControlCenter();
    ASSERT_TRUE(waitForNotifications(1)) << agentErrors();
    const SeenNotification seen = desktop_.notifications()[0];
    EXPECT_EQ("Quillfence", seen.summary);
    EXPECT_NE(std::string::npos, seen.body.find("Control Center is not installed")) << seen.body;
    EXPECT_NE(std::string::npos, seen.body.find(root_.file("alone/configurator"))) << seen.body;
}

class AgentEndsOnSignal : public TrayAgentTest, public ::testing::WithParamInterface<int> {};

TEST_P(AgentEndsOnSignal, Cleanly) {
    desktop_.startWatcher();
    desktop_.startNotifications();
    startAgent();
    ASSERT_TRUE(FakeDesktop::waitFor([&] { return !itemName().empty(); }, kWaitMs)) << agentErrors();
    EXPECT_EQ(0, stopAgent(GetParam())) << agentErrors();
}

INSTANTIATE_TEST_SUITE_P(Signals, AgentEndsOnSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : info.param == SIGINT ? "SIGINT" : "SIGHUP");
                         });

}  // namespace
