// The agent's icon in the classic system tray of the test's display, while no
// StatusNotifierWatcher runs on the bus.
#include "desktop_session.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <provider_key.h>
#include <system_tray_manager.h>

namespace {

using qf_test::SystemTrayManager;

class ClassicTrayTest : public tray_test::DesktopSessionTest {
protected:
    // The one icon docked now (0 while none or more than one is).
    unsigned long dockedIcon() {
        const std::vector<unsigned long> icons = tray_ ? tray_->docked() : std::vector<unsigned long>();
        return icons.size() == 1 ? icons[0] : 0;
    }
    bool waitForIconTitled(const std::string& title) {
        return waitFor([&] { return dockedIcon() != 0 && probe_->title(dockedIcon()) == title; });
    }
    static void setFiltering(bool on) {
        // As `quillfence enable|disable` leaves it: the provider key present while filtering is on.
        if (on) {
            HKEY key;
            ASSERT_EQ(ERROR_SUCCESS,
                      RegCreateKeyExA(HKEY_LOCAL_MACHINE, QF_PROVIDER_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
            RegCloseKey(key);
        } else {
            ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, QF_PROVIDER_KEY));
        }
    }

    std::unique_ptr<SystemTrayManager> tray_;
};

// The tray running before the agent, and a tray started after it (a panel that comes late).
class IconDocks : public ClassicTrayTest, public ::testing::WithParamInterface<bool> {};

TEST_P(IconDocks, AndItsTitleFollowsTheFilteringState) {
    const bool trayFirst = GetParam();
    if (trayFirst) tray_.reset(new SystemTrayManager(x_.display()));
    startAgent();
    if (!trayFirst) {
        ASSERT_TRUE(waitFor([&] {
            return agentErrors().find("the tray icon goes to the X display's system tray") != std::string::npos;
        })) << agentErrors();
        tray_.reset(new SystemTrayManager(x_.display()));
    }
    ASSERT_TRUE(waitForIconTitled("Quillfence: filtering off")) << agentErrors();

    setFiltering(true);
    EXPECT_TRUE(waitForIconTitled("Quillfence: filtering on")) << probe_->title(dockedIcon());
    setFiltering(false);
    EXPECT_TRUE(waitForIconTitled("Quillfence: filtering off")) << probe_->title(dockedIcon());
    EXPECT_EQ(1u, tray_->docked().size()) << "one icon";
    EXPECT_EQ(0, stopAgent()) << agentErrors();
}

INSTANTIATE_TEST_SUITE_P(Tray, IconDocks, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "TrayRunsFirst" : "TrayStartsLater");
});

TEST_F(ClassicTrayTest, IconLeavesTheTrayWhileAWatcherShowsItAndComesBackWhenItGoes) {
    tray_.reset(new SystemTrayManager(x_.display()));
    startAgent();
    ASSERT_TRUE(waitFor([&] { return dockedIcon() != 0; })) << agentErrors();

    desktop_.startWatcher();
    ASSERT_TRUE(waitFor([&] { return !desktop_.registeredItems().empty(); })) << agentErrors();
    EXPECT_TRUE(waitFor([&] { return tray_->docked().empty(); })) << "shown twice: in the tray and by the watcher";

    desktop_.stopWatcher();
    EXPECT_TRUE(waitForIconTitled("Quillfence: filtering off")) << agentErrors();
    EXPECT_EQ(0, stopAgent()) << agentErrors();
}

TEST_F(ClassicTrayTest, ClickOnTheIconStartsTheControlCenter) {
    // The agent copied beside a configurator of the test's own.
    std::filesystem::create_directories(root_.file("installed"));
    const std::string program = root_.file("installed/quillfence-tray");
    std::filesystem::copy_file(QUILLFENCE_TRAY, program);
    const std::string configurator = root_.file("installed/configurator");
    {
        std::ofstream script(configurator);
        script << "#!/bin/sh\ntouch \"$QUILLFENCE_ROOT/configurator-started\"\n";
    }
    chmod(configurator.c_str(), 0755);
    tray_.reset(new SystemTrayManager(x_.display()));
    agent_.reset(new tray_test::TrayProcess(program, root_.path(), bus_.address(), root_.file("tray-errors.txt"),
                                            x_.display()));
    ASSERT_TRUE(waitForIconTitled("Quillfence: filtering off")) << agentErrors();

    const std::string icon = std::to_string(dockedIcon());
    ASSERT_EQ(0, probe_->xdotool({"mousemove", "--window", icon, "8", "8", "click", "1"}));
    EXPECT_TRUE(waitFor([&] { return std::filesystem::exists(root_.file("configurator-started")); }))
        << agentErrors();
}

}  // namespace
