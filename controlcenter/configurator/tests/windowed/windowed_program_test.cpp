// The windowed Control Center played as a person plays it: under a private X server, xdotool
// types the password, toggles filtering from the keyboard and leaves; the registry then holds
// what the person did. Every wait has a deadline.
#include "filtering_state.h"
#include "password_store.h"

#include <machine.h>
#include <temp_machine_root.h>
#include <x_probe.h>
#include <xvfb_server.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class WindowedProgram : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
        ASSERT_EQ(PWS_WRITTEN, StorePassword("secret"));
        ASSERT_TRUE(server_.Start(error)) << error;
        probe_.reset(new qf_test::XProbe(server_.display()));
    }

    void TearDown() override {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
    }

    void StartProgram() {
        const std::string errors = root_.file("configurator.err");
        const std::string display = server_.display();
        child_ = fork();
        ASSERT_GE(child_, 0);
        if (child_ == 0) {
            setenv("DISPLAY", display.c_str(), 1);
            const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err >= 0) dup2(err, STDERR_FILENO);
            execl(CONFIGURATOR_PROGRAM, CONFIGURATOR_PROGRAM, "--root", root_.path().c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }

    std::string Errors() const {
        std::ifstream in(root_.file("configurator.err"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The window with exactly this caption, focused; 0 when it does not appear in time.
    unsigned long WaitForWindow(const std::string& caption, int seconds = 20) {
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < deadline) {
            const std::vector<unsigned long> found = probe_->windowsTitled(caption);
            if (!found.empty()) {
                // Without a window manager the test gives the focus (XTEST keys go where it is);
                // the keys typed from then on reach the dialog, however soon they come.
                probe_->xdotool({"windowfocus", "--sync", std::to_string(found[0])});
                return found[0];
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }

    void Keys(unsigned long window, const std::string& keys) {
        probe_->xdotool({"windowfocus", "--sync", std::to_string(window)});
        probe_->xdotool({"key", "--delay", "50", keys});
    }

    // The program's exit code, or -1 when it has not ended in time.
    int WaitForExit(int seconds) {
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < deadline) {
            int status = 0;
            if (waitpid(child_, &status, WNOHANG) == child_) {
                child_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

    qf_test::TempMachineRoot root_;
    qf_test::XvfbServer server_;
    std::unique_ptr<qf_test::XProbe> probe_;
    pid_t child_ = -1;
};

TEST_F(WindowedProgram, APersonLogsInTurnsFilteringOnAndLeaves) {
    ASSERT_FALSE(IsFilteringOn());
    StartProgram();
    const unsigned long login = WaitForWindow("Quillfence - Login");
    ASSERT_NE(0u, login) << "no login window; the program said: " << Errors();
    // The password edit has the focus; Enter presses OK.
    probe_->xdotool({"type", "--delay", "30", "secret"});
    Keys(login, "Return");

    const unsigned long main = WaitForWindow("Quillfence");
    ASSERT_NE(0u, main) << "no main window; the program said: " << Errors();
    // The toggle button is the first control: it has the focus, and Space presses it.
    Keys(main, "space");
    const unsigned long success = WaitForWindow("Quillfence Toggle - Success");
    ASSERT_NE(0u, success) << "no confirmation; the program said: " << Errors();
    Keys(success, "Return");
    EXPECT_TRUE(IsFilteringOn());

    // After the box the window takes keys again: the toggle, disabled while it worked, had lost
    // the focus. Escape leaves (the main window's Cancel).
    ASSERT_NE(0u, WaitForWindow("Quillfence"));
    Keys(main, "Escape");
    const int exitCode = WaitForExit(10);
    EXPECT_EQ(0, exitCode) << "the program said: " << Errors();
    EXPECT_TRUE(IsFilteringOn());
}

}  // namespace
