// A desktop session of the test's own for the agent: a machine root, a private session bus with
// the test's notification service and watcher (started only when a test asks), an Xvfb display,
// and what the test reads and does on that display.
#pragma once

#include "fake_desktop.h"
#include <session_bus.h>
#include "tray_process.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <string>

#include <vtmessage.h>
#include <x_probe.h>
#include <xvfb_server.h>

#include "store_root.h"

namespace tray_test {

class DesktopSessionTest : public ::testing::Test {
protected:
    // How long a test waits for what the agent does twice a second (on a loaded machine too).
    static const int kWaitMs = 10000;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(x_.Start(error)) << error;
        probe_.reset(new qf_test::XProbe(x_.display()));
    }
    void TearDown() override {
        agent_.reset();
        VTMessage_Close();
    }

    // Starts the agent on the test's bus and display (none: no display at all).
    void startAgent(bool withDisplay = true) {
        agent_.reset(new TrayProcess(QUILLFENCE_TRAY, root_.path(), bus_.address(), root_.file("tray-errors.txt"),
                                     withDisplay ? x_.display() : ""));
    }
    int stopAgent() { return agent_->stop(SIGTERM); }
    std::string agentErrors() const { return agent_ ? agent_->errors() : ""; }
    bool waitFor(const std::function<bool()>& condition, int timeoutMs = kWaitMs) {
        return FakeDesktop::waitFor(condition, timeoutMs);
    }

    qf_test::StoreRoot root_;
    qf_test::PrivateSessionBus bus_;
    FakeDesktop desktop_{bus_.address()};
    qf_test::XvfbServer x_;
    std::unique_ptr<qf_test::XProbe> probe_;
    std::unique_ptr<TrayProcess> agent_;
};

}  // namespace tray_test
