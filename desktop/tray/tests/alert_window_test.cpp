// Alerts in the agent's own window while no notification service runs: one window at a time,
// with the alert's caption as its title and the text in it (read through Ctrl+C, which copies
// both), counted as shown once closed.
#include "desktop_session.h"

#include <chrono>
#include <thread>

namespace {

const char kCaption[] = "Quillfence Warning";
const char kContentAlert[] = "A content violation has occured.\nQuillfence has blocked your access to this site.";
const char kTimeCaption[] = "Quillfence Time Warning";
const char kTimeAlert[] =
    "You are not allowed to use the network at this time.\nPlease try again during the time allocated to you.";
// How long a test watches for a window that must not come: past the quiet period of a burst and
// a few ticks.
const auto kSettle = std::chrono::milliseconds(2000);

class AlertWindowTest : public tray_test::DesktopSessionTest {
protected:
    // The one window titled caption (0 while none or more than one is open).
    unsigned long windowTitled(const char* caption) {
        const std::vector<unsigned long> windows = probe_->windowsTitled(caption);
        return windows.size() == 1 ? windows[0] : 0;
    }
    // What the window shows, as Ctrl+C in it copies it.
    std::string copiedFrom(unsigned long window) {
        const std::string id = std::to_string(window);
        std::string copied;
        waitFor([&] {
            probe_->xdotool({"windowfocus", "--sync", id});
            probe_->xdotool({"key", "--clearmodifiers", "ctrl+c"});
            copied = probe_->clipboard();
            return !copied.empty();
        });
        return copied;
    }
    void pressOk(unsigned long window) {
        const std::string id = std::to_string(window);
        ASSERT_EQ(0, probe_->xdotool({"windowfocus", "--sync", id}));
        ASSERT_EQ(0, probe_->xdotool({"key", "--clearmodifiers", "Return"}));
    }
    bool waitForWindow(const char* caption) {
        return waitFor([&] { return windowTitled(caption) != 0; });
    }
    bool waitUntilClosed(const char* caption) {
        return waitFor([&] { return probe_->windowsTitled(caption).empty(); });
    }
};

TEST_F(AlertWindowTest, AlertIsShownWithItsCaptionAndTextAndAfterOkNotAgainByARestartedAgent) {
    startAgent();
    VTGenerateMsg(kCaption, kContentAlert);
    VTMessage_Close();
    ASSERT_TRUE(waitForWindow(kCaption)) << agentErrors();
    const unsigned long window = windowTitled(kCaption);
    EXPECT_EQ(std::string(kCaption) + "\n\n" + kContentAlert, copiedFrom(window));
    pressOk(window);
    ASSERT_TRUE(waitUntilClosed(kCaption)) << "OK closes the window";
    EXPECT_NE(std::string::npos, agentErrors().find("alerts are shown in the tray agent's own window")) << agentErrors();
    ASSERT_EQ(0, stopAgent()) << agentErrors();

    startAgent();
    VTGenerateMsg(kTimeCaption, kTimeAlert);
    VTMessage_Close();
    ASSERT_TRUE(waitForWindow(kTimeCaption)) << agentErrors();
    EXPECT_TRUE(probe_->windowsTitled(kCaption).empty()) << "the alert closed before is shown again";
    EXPECT_EQ(std::string(kTimeCaption) + "\n\n" + kTimeAlert, copiedFrom(windowTitled(kTimeCaption)))
        << "only the new alert, on its own";
}

TEST_F(AlertWindowTest, AlertStillOpenWhenTheAgentEndsIsShownAgain) {
    startAgent();
    VTGenerateMsg(kCaption, kContentAlert);
    VTMessage_Close();
    ASSERT_TRUE(waitForWindow(kCaption)) << agentErrors();
    ASSERT_EQ(0, stopAgent()) << agentErrors();
    ASSERT_TRUE(waitUntilClosed(kCaption));

    startAgent();
    EXPECT_TRUE(waitForWindow(kCaption)) << "nobody closed it: not seen yet\n" << agentErrors();
}

TEST_F(AlertWindowTest, BurstIsOneWindowWithTheCountAndWhatComesWhileItIsOpenIsTheNextOne) {
    startAgent();
    VTGenerateMsg(kTimeCaption, kTimeAlert);
    for (int i = 1; i < 20; ++i) VTGenerateMsg(kCaption, kContentAlert);
    VTMessage_Close();
    ASSERT_TRUE(waitForWindow(kTimeCaption)) << agentErrors();
    const unsigned long window = windowTitled(kTimeCaption);
    EXPECT_EQ(std::string(kTimeCaption) + "\n\n" + kTimeAlert + "\n... and 19 more", copiedFrom(window));

    for (int i = 0; i < 5; ++i) VTGenerateMsg(kCaption, kContentAlert);
    VTMessage_Close();
    std::this_thread::sleep_for(kSettle);
    EXPECT_TRUE(probe_->windowsTitled(kCaption).empty()) << "a second window while the first is open";
    EXPECT_EQ(1u, probe_->windowsTitled(kTimeCaption).size());

    // Closed as a window manager closes it.
    probe_->askToClose(window);
    ASSERT_TRUE(waitForWindow(kCaption)) << agentErrors();
    EXPECT_TRUE(probe_->windowsTitled(kTimeCaption).empty());
    EXPECT_EQ(std::string(kCaption) + "\n\n" + kContentAlert + "\n... and 4 more", copiedFrom(windowTitled(kCaption)));
}

TEST_F(AlertWindowTest, NotificationServiceIsStillPreferred) {
    desktop_.startNotifications();
    startAgent();
    VTGenerateMsg(kCaption, kContentAlert);
    VTMessage_Close();
    ASSERT_TRUE(waitFor([&] { return desktop_.notifications().size() == 1; })) << agentErrors();
    std::this_thread::sleep_for(kSettle);
    EXPECT_TRUE(probe_->windowsTitled(kCaption).empty()) << "shown twice: as a notification and in a window";
}

}  // namespace
