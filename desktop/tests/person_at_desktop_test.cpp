// A person at the desktop, from start to end: on an X server and a session bus of the test's own
// (a classic system tray, no StatusNotifierWatcher, no notification service), the tray agent
// shows filtering off; the person starts the Control Center, logs in, switches filtering on (the
// tray follows), adds a site to the disallow list in Advanced settings and activates the change,
// leaves; then a filtered curl fetches a page with a disallowed word, is refused, and the alert
// shows in the agent's window. The screen at that moment is kept as a PNG in the build folder.
// Every wait has a deadline; the person is played with xdotool.
#include "screen_shot.h"

#include <http_test_server.h>
#include <session_bus.h>
#include <system_tray_manager.h>
#include <temp_machine_root.h>
#include <test_program.h>
#include <x_probe.h>
#include <xvfb_server.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using qf_test::TestProgram;
using qf_test::ProgramResult;
using qf_test::run_to_end;

const char kPassword[] = "secret";
const char kWord[] = "gorgonzola";
const char kSite[] = "badsite.example";
const char kTrayOff[] = "Quillfence: filtering off";
const char kTrayOn[] = "Quillfence: filtering on";
const char kAlertCaption[] = "Quillfence Warning";
const char kAlertText[] = "A content violation has occured.\nQuillfence has blocked your access to this site.";

// How long a window or a program may take on a loaded machine, and how soon the tray must follow
// a switch of the Control Center (it reads the state twice a second).
const int kWaitMs = 20000;
const int kTrayFollowsMs = 3000;

// A control's middle in pixels from its place in dialog units (left, top, width, height), with
// the dialog font's base units of 6 x 13 pixels.
struct Place {
    int x, y;
};
Place middle(int left, int top, int width, int height) {
    return {(2 * left + width) * 6 / 8, (2 * top + height) * 13 / 16};
}

// The controls the person clicks, from the templates.
const Place kMainAdvanced = middle(30, 48, 140, 16);
const Place kMainDone = middle(30, 86, 60, 14);
const Place kAdvancedDisallow = middle(15, 131, 134, 14);
const Place kAdvancedDone = middle(120, 192, 60, 14);
const Place kListInsert = middle(215, 45, 58, 14);
const Place kListDone = middle(215, 162, 58, 14);

bool wait_for(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

class PersonAtDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, mkdir(root_.file("session").c_str(), 0755));
        expectRuns({QUILLFENCE_MACHINE, "init", "--root", root_.path()});
        expectRuns({QUILLFENCE_CLI, "passwd", "--password-stdin", "--root", root_.path()},
                   std::string(kPassword) + "\n" + kPassword + "\n");
        expectRuns({QUILLFENCE_CLI, "add", "disallow", kWord, "--password-stdin", "--root", root_.path()},
                   std::string(kPassword) + "\n");
        std::string error;
        ASSERT_TRUE(x_.Start(error)) << error;
        bus_.reset(new qf_test::PrivateSessionBus());
        tray_.reset(new qf_test::SystemTrayManager(x_.display()));
        probe_.reset(new qf_test::XProbe(x_.display()));
    }

    void TearDown() override {
        configurator_.reset();
        agent_.reset();
        probe_.reset();
        tray_.reset();
        bus_.reset();
        x_.Stop();
    }

    void expectRuns(const std::vector<std::string>& argv, const std::string& input = "") {
        const ProgramResult result = run_to_end(argv, input, root_.file("session"));
        ASSERT_EQ(0, result.exitCode) << argv[1] << ": " << result.out << result.err;
    }

    // The person's session: the test's display and bus, nothing of the desktop the test runs in.
    std::vector<std::string> session() const {
        return {"DISPLAY=" + x_.display(), "DBUS_SESSION_BUS_ADDRESS=" + bus_->address(), "WAYLAND_DISPLAY",
                "GDK_BACKEND=x11", "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory"};
    }
    std::unique_ptr<TestProgram> start(const char* program, const std::string& name) {
        return std::unique_ptr<TestProgram>(new TestProgram({program, "--root", root_.path()}, session(),
                                                                  root_.file("session/" + name + ".out"),
                                                                  root_.file("session/" + name + ".err")));
    }
    std::string said() const {
        std::string text;
        if (agent_) text += "\nthe tray agent said: " + agent_->errors();
        if (configurator_) text += "\nthe Control Center said: " + configurator_->errors();
        return text;
    }

    // The one docked icon's title ("" while none or more than one is docked).
    std::string trayTitle() {
        const std::vector<unsigned long> icons = tray_->docked();
        return icons.size() == 1 ? probe_->title(icons[0]) : "";
    }

    // The one window titled caption (0 while none or more than one is open).
    unsigned long windowTitled(const std::string& caption) {
        const std::vector<unsigned long> windows = probe_->windowsTitled(caption);
        return windows.size() == 1 ? windows[0] : 0;
    }
    // Waits for the window and gives it the focus (no window manager does here); 0 when it does
    // not come in time.
    unsigned long waitForWindow(const std::string& caption) {
        unsigned long window = 0;
        if (!wait_for([&] { return (window = windowTitled(caption)) != 0; }, kWaitMs)) return 0;
        probe_->xdotool({"windowfocus", "--sync", std::to_string(window)});
        return window;
    }
    bool waitUntilClosed(const std::string& caption) {
        return wait_for([&] { return probe_->windowsTitled(caption).empty(); }, kWaitMs);
    }

    void keys(unsigned long window, const std::vector<std::string>& what) {
        probe_->xdotool({"windowfocus", "--sync", std::to_string(window)});
        std::vector<std::string> args = {"key", "--clearmodifiers", "--delay", "50"};
        args.insert(args.end(), what.begin(), what.end());
        ASSERT_EQ(0, probe_->xdotool(args));
    }
    void typeText(unsigned long window, const std::string& text) {
        probe_->xdotool({"windowfocus", "--sync", std::to_string(window)});
        ASSERT_EQ(0, probe_->xdotool({"type", "--clearmodifiers", "--delay", "30", text}));
    }
    // Clicks at place in window until done holds (a click that comes before the window takes
    // input is lost); false when it never does.
    bool clickUntil(unsigned long window, Place place, const std::function<bool()>& done) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            probe_->xdotool({"mousemove", "--window", std::to_string(window), std::to_string(place.x),
                             std::to_string(place.y), "click", "1"});
            if (wait_for(done, 2000)) return true;
        }
        return false;
    }

    // What the window shows, as Ctrl+C in it copies it.
    std::string copiedFrom(unsigned long window) {
        std::string copied;
        wait_for(
            [&] {
                keys(window, {"ctrl+c"});
                copied = probe_->clipboard();
                return !copied.empty();
            },
            kWaitMs);
        return copied;
    }

    qf_test::TempMachineRoot root_;
    qf_test::XvfbServer x_;
    std::unique_ptr<qf_test::PrivateSessionBus> bus_;
    std::unique_ptr<qf_test::SystemTrayManager> tray_;
    std::unique_ptr<qf_test::XProbe> probe_;
    std::unique_ptr<TestProgram> agent_;
    std::unique_ptr<TestProgram> configurator_;
};

TEST_F(PersonAtDesktop, SwitchesFilteringOnAddsASiteSeesTheTrayFollowAndTheAlertOfABlockedPage) {
    agent_ = start(QUILLFENCE_TRAY, "tray");
    ASSERT_TRUE(wait_for([&] { return trayTitle() == kTrayOff; }, kWaitMs)) << "icon: " << trayTitle() << said();

    // The Control Center: the login's password edit has the focus, Enter presses OK.
    configurator_ = start(CONFIGURATOR, "configurator");
    const unsigned long login = waitForWindow("Quillfence - Login");
    ASSERT_NE(0u, login) << said();
    typeText(login, kPassword);
    keys(login, {"Return"});
    const unsigned long main = waitForWindow("Quillfence");
    ASSERT_NE(0u, main) << said();

    // The toggle is the first control: it has the focus and Space presses it. The tray follows.
    const auto pressed = Clock::now();
    keys(main, {"space"});
    const unsigned long success = waitForWindow("Quillfence Toggle - Success");
    ASSERT_NE(0u, success) << said();
    EXPECT_TRUE(wait_for([&] { return trayTitle() == kTrayOn; }, kTrayFollowsMs)) << "icon: " << trayTitle();
    std::cout << "the tray showed filtering on "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pressed).count()
              << " ms after the key press\n";
    keys(success, {"Return"});
    ASSERT_TRUE(waitUntilClosed("Quillfence Toggle - Success"));

    // From here the mouse: after a box the window under it does not take keys again under a bare
    // X server. Advanced settings, the disallow list, Insert.
    ASSERT_TRUE(clickUntil(main, kMainAdvanced, [&] { return windowTitled("Quillfence - Advanced settings") != 0; }))
        << said();
    const unsigned long advanced = windowTitled("Quillfence - Advanced settings");
    const std::string listCaption = "Disallow words, phrases and sites (blocking)";
    ASSERT_TRUE(clickUntil(advanced, kAdvancedDisallow, [&] { return windowTitled(listCaption) != 0; })) << said();
    const unsigned long list = windowTitled(listCaption);
    ASSERT_TRUE(clickUntil(list, kListInsert, [&] { return windowTitled("Quillfence - Insert") != 0; })) << said();

    // The Insert dialog is new: its edit has the focus, Enter presses Insert.
    const unsigned long insert = windowTitled("Quillfence - Insert");
    typeText(insert, kSite);
    keys(insert, {"Return"});
    ASSERT_TRUE(waitUntilClosed("Quillfence - Insert")) << said();

    ASSERT_TRUE(clickUntil(list, kListDone, [&] { return windowTitled(listCaption) == 0; })) << said();
    // Done asks whether to activate the change: Yes (the default), then the confirmation's OK.
    ASSERT_TRUE(clickUntil(advanced, kAdvancedDone, [&] { return windowTitled("Quillfence Changes Detected") != 0; }))
        << said();
    const unsigned long detected = waitForWindow("Quillfence Changes Detected");
    ASSERT_NE(0u, detected) << said();
    keys(detected, {"Return"});
    const unsigned long activated = waitForWindow("Quillfence Changes Activated - Success");
    ASSERT_NE(0u, activated) << said();
    keys(activated, {"Return"});
    ASSERT_TRUE(waitUntilClosed("Quillfence Changes Activated - Success"));
    ASSERT_TRUE(waitUntilClosed("Quillfence - Advanced settings"));

    const ProgramResult stored =
        run_to_end({QUILLFENCE_CLI, "list", "disallow", "--root", root_.path()}, "", root_.file("session"));
    EXPECT_EQ(0, stored.exitCode) << stored.err;
    EXPECT_NE(std::string::npos, stored.out.find(std::string(kSite) + "\n")) << stored.out;

    // Done leaves the Control Center.
    int exitCode = -1;
    ASSERT_TRUE(clickUntil(main, kMainDone, [&] { return (exitCode = configurator_->wait(0)) >= 0; })) << said();
    EXPECT_EQ(0, exitCode) << said();
    EXPECT_EQ(kTrayOn, trayTitle());

    // A filtered program fetches a page with a disallowed word: refused, and the alert shows.
    qf_test::HttpTestServer server;
    server.answer("/page.html", qf_test::HttpAnswer(200, std::string("<html><body><p>Today: ") + kWord +
                                                             " on toast.</p></body></html>\n"));
    const std::string url = "http://" + server.address() + "/page.html";
    const ProgramResult fetch = run_to_end({QUILLFENCE_RUN, "--root", root_.path(), "--", "curl", "-sS", "--noproxy",
                                            "*", "--max-time", "30", "-o", root_.file("session/page.html"), url},
                                           "", root_.file("session"));
    EXPECT_EQ(56, fetch.exitCode) << fetch.err;
    EXPECT_NE(std::string::npos, fetch.err.find("Recv failure")) << fetch.err;
    EXPECT_FALSE(server.requests().empty()) << "the request reached the server";
    std::ifstream received(root_.file("session/page.html"));
    const std::string page((std::istreambuf_iterator<char>(received)), std::istreambuf_iterator<char>());
    EXPECT_EQ(std::string::npos, page.find(kWord)) << "the word reached curl";

    const unsigned long alert = waitForWindow(kAlertCaption);
    ASSERT_NE(0u, alert) << said();
    EXPECT_EQ(std::string(kAlertCaption) + "\n\n" + kAlertText, copiedFrom(alert));
    EXPECT_NE(std::string::npos, agent_->errors().find("alerts are shown in the tray agent's own window")) << said();
    std::string error;
    std::filesystem::create_directories(QF_SCREENSHOT_DIR);
    EXPECT_TRUE(desktop_test::save_screen_png(x_.display(), QF_SCREENSHOT_DIR "/desktop.png", error)) << error;

    EXPECT_EQ(0, agent_->stop(SIGTERM)) << said();
}

}  // namespace
