// View Log end to end: a machine root seeded by quillfence-machine init, the Control Center's View
// Log starts the registered viewer on the dump of the access log, the viewer shows it on an X
// server of the test's own and closes by itself (QF_LOG_VIEWER_TEST_REPORT), and the dump is gone.
#include "program_run.h"

#include <advanced_window.h>
#include <log_buttons.h>
#include <vtlogger.h>

#include "temp_machine_root.h"
#include "xvfb_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

namespace {

using qf_test::XvfbServer;
using logviewer_test::ProgramRun;
using logviewer_test::ReadFile;
using logviewer_test::RunProgram;
using ::testing::HasSubstr;

// The Advanced settings window, as far as View Log uses it.
class QuietWindow : public AdvancedWindow {
public:
    LRESULT SendProgressMessage(UINT, WPARAM, LPARAM) override { return 0; }
    void EnableButton(int, BOOL) override {}
    void Refresh() override {}
    int ShowMessageBox(const char*, const char*, UINT) override { return IDOK; }
    void ShowWaitCursor() override {}
    void RestoreCursor() override {}
    void SetFilterUpdateMarker() override {}
};

// Kills this process's children other than keep (the X server): a viewer that outlived the
// deadline. Only processes this test started, by their ids.
void kill_children_except(pid_t keep) {
    DIR* proc = opendir("/proc");
    if (!proc) return;
    while (dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(atoi(entry->d_name));
        if (pid <= 0 || pid == keep) continue;
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int parent = 0;
        if (sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == getpid()) kill(pid, SIGKILL);
    }
    closedir(proc);
}

TEST(ViewLogEndToEnd, TheRegisteredViewerShowsTheDumpAndTheDumpIsDeletedAfterwards) {
    XvfbServer xvfb;
    std::string error;
    ASSERT_TRUE(xvfb.Start(error)) << error;
    qf_test::TempMachineRoot root;
    const ProgramRun init = RunProgram({QUILLFENCE_MACHINE, "init", "--root", root.path()}, {}, 60);
    ASSERT_TRUE(init.finished) << init.failure;
    ASSERT_EQ(0, init.exitCode) << init.output;
    EXPECT_THAT(init.output, HasSubstr("log viewer: C:\\Program Files\\Quillfence\\bin\\quillfence-log-viewer\n"));

    VTLogger_Free();  // the log of this test's root
    ASSERT_EQ(1, VTLogger_Submit("BLOCK", 53, "Violation in site name (casino.example)"));
    ASSERT_EQ(1, VTLogger_Submit("DENY", 80, "casino.example (10.0.0.1); disallow list."));
    ASSERT_EQ(1, VTLogger_Submit("INFORM", 0, "a line for the parent"));

    const std::string report = root.file("viewer-report.txt");
    xvfb.Export();
    setenv("QF_LOG_VIEWER_TEST_REPORT", report.c_str(), 1);
    QuietWindow window;
    std::future<void> viewed = std::async(std::launch::async, [&window] { ViewLog(window); });
    if (viewed.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        kill_children_except(xvfb.pid());
        viewed.wait();
        FAIL() << "the viewer did not close within 60 seconds";
    }
    unsetenv("QF_LOG_VIEWER_TEST_REPORT");

    const std::string shown = ReadFile(report);
    EXPECT_THAT(shown, HasSubstr("count 3 of 3 entries\n")) << shown;
    EXPECT_THAT(shown, HasSubstr("|BLOCK|53|casino.example|Violation in site name (casino.example)|")) << shown;
    EXPECT_THAT(shown, HasSubstr("|INFORM|0||a line for the parent|")) << shown;
    EXPECT_THAT(shown, HasSubstr(": 1 blocked, 1 denied\n")) << shown;
    EXPECT_THAT(shown, HasSubstr("site casino.example|1|1\n")) << shown;
    for (const auto& entry : std::filesystem::directory_iterator(root.file("drive_c/Program Files/Quillfence/log")))
        EXPECT_NE(0u, entry.path().filename().string().rfind("vtlog-", 0)) << "dump left: " << entry.path();
    VTLogger_Free();
}

}  // namespace
