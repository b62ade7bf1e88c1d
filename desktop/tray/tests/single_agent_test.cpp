// One agent per session: a second one ends at once while the first runs, and one that crashed
// does not keep the next from running.
#include "desktop_session.h"

namespace {

const char kAgentName[] = "org.quillfence.TrayAgent";

class SingleAgentTest : public tray_test::DesktopSessionTest {
protected:
    std::unique_ptr<tray_test::TrayProcess> another(const char* errors) {
        return std::unique_ptr<tray_test::TrayProcess>(
            new tray_test::TrayProcess(QUILLFENCE_TRAY, root_.path(), bus_.address(), root_.file(errors)));
    }
};

TEST_F(SingleAgentTest, SecondAgentEndsAtOnceWhileTheFirstRuns) {
    startAgent(false);
    ASSERT_TRUE(waitFor([&] { return desktop_.nameHasOwner(kAgentName); })) << agentErrors();
    std::unique_ptr<tray_test::TrayProcess> second = another("second-errors.txt");
    EXPECT_EQ(0, second->wait(kWaitMs)) << second->errors();
    EXPECT_NE(std::string::npos, second->errors().find("a tray agent already runs in this session")) << second->errors();
    EXPECT_EQ(0, stopAgent()) << "the first one still runs\n" << agentErrors();
}

TEST_F(SingleAgentTest, CrashedAgentDoesNotBlockTheNext) {
    startAgent(false);
    ASSERT_TRUE(waitFor([&] { return desktop_.nameHasOwner(kAgentName); })) << agentErrors();
    ASSERT_EQ(128 + SIGKILL, agent_->stop(SIGKILL));
    ASSERT_TRUE(waitFor([&] { return !desktop_.nameHasOwner(kAgentName); }));

    std::unique_ptr<tray_test::TrayProcess> next = another("next-errors.txt");
    ASSERT_TRUE(waitFor([&] { return desktop_.nameHasOwner(kAgentName); })) << next->errors();
    EXPECT_EQ(-1, next->wait(0)) << next->errors();
    EXPECT_EQ(0, next->stop(SIGTERM)) << next->errors();
}

}  // namespace
