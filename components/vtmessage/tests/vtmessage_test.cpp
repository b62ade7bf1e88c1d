#include "vtmessage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "held_database.h"
#include "store_root.h"

namespace {

class AlertTest : public ::testing::Test {
protected:
    void TearDown() override { VTMessage_Close(); }

    std::vector<VTAlert> allAlerts() {
        std::vector<VTAlert> alerts(5000);
        int n = VTMessage_ReadAlerts(0, alerts.data(), (int)alerts.size());
        EXPECT_GE(n, 0);
        alerts.resize(n < 0 ? 0 : (size_t)n);
        return alerts;
    }

    qf_test::StoreRoot root;
};

TEST_F(AlertTest, AlertIsSpooledWithCaptionTextTimeAndProgram) {
    VTGenerateMsg("Quillfence Warning",
                  "A violation has occured in the site name you requested.\nQuillfence has blocked your access to this "
                  "site.");
    VTGenerateMsg("Quillfence Time Warning", std::string(400, 't').c_str());
    VTGenerateMsg(NULL, NULL);

    std::vector<VTAlert> alerts = allAlerts();
    ASSERT_EQ(3u, alerts.size());
    EXPECT_STREQ("Quillfence Warning", alerts[0].caption);
    EXPECT_STREQ(
        "A violation has occured in the site name you requested.\nQuillfence has blocked your access to this site.",
        alerts[0].text);
    EXPECT_STREQ("Quillfence Time Warning", alerts[1].caption);
    EXPECT_EQ(std::string(254, 't'), alerts[1].text) << "texts are kept up to 254 characters";
    EXPECT_STREQ("", alerts[2].caption);
    EXPECT_STREQ("", alerts[2].text);
    char program[255] = {0};
    GetModuleFileNameA(NULL, program, sizeof(program));
    for (const VTAlert& alert : alerts) {
        EXPECT_STREQ(program, alert.program);
        EXPECT_EQ(19u, strlen(alert.time));
    }
    std::vector<VTAlert> newer(5);
    EXPECT_EQ(1, VTMessage_ReadAlerts(alerts[1].id, newer.data(), 5));
    EXPECT_EQ(alerts[2].id, newer[0].id);
}

TEST_F(AlertTest, ConcurrentAlertsFromThreadsAndProcessesAreAllKept) {
    const int perWriter = 100;
    const int threads = 4;
    std::vector<std::thread> writers;
    int childResults[2] = {-1, -1};
    for (int child = 0; child < 2; ++child) {
        writers.emplace_back([&, child] {
            std::string command = std::string("\"") + VTMESSAGE_CHILD + "\" child" + std::to_string(child) + " " +
                                  std::to_string(perWriter);
            childResults[child] = qf_test::run_program(command);
        });
    }
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < perWriter; ++i)
                VTGenerateMsg("Quillfence Warning", ("thread" + std::to_string(t) + " " + std::to_string(i)).c_str());
        });
    }
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(0, childResults[0]);
    EXPECT_EQ(0, childResults[1]);

    std::multiset<std::string> expected;
    for (int i = 0; i < perWriter; ++i) {
        for (int t = 0; t < threads; ++t) expected.insert("thread" + std::to_string(t) + " " + std::to_string(i));
        for (int c = 0; c < 2; ++c) expected.insert("child" + std::to_string(c) + " " + std::to_string(i));
    }
    std::multiset<std::string> seen;
    for (const VTAlert& alert : allAlerts()) seen.insert(alert.text);
    EXPECT_EQ(expected, seen);
}

TEST_F(AlertTest, AlertWithoutAnInstallationIsDroppedWithoutHarm) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, QF_PRODUCT_KEY, 0, KEY_ALL_ACCESS, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, QF_DBDIR_VALUE));
    RegCloseKey(key);
    VTGenerateMsg("Quillfence Warning", "nowhere to go");
    VTAlert alert;
    EXPECT_EQ(-1, VTMessage_ReadAlerts(0, &alert, 1));
}

// Many processes raising alerts at once, and writers that keep the spool locked: VTGenerateMsg
// returns at once, and every alert reaches the spool exactly once, in the order raised per thread.
class AlertQueueTest : public AlertTest {
protected:
    static std::string child(std::initializer_list<std::string> args) {
        return qf_test::command_line(VTMESSAGE_CHILD, args);
    }

    // The alerts' texts "<source> <i>" as the i of each source in id order.
    static std::map<std::string, std::vector<int>> sequences(const std::vector<VTAlert>& alerts) {
        std::map<std::string, std::vector<int>> bySource;
        for (const VTAlert& alert : alerts) {
            std::string text = alert.text;
            size_t last = text.rfind(' ');
            if (last == std::string::npos) continue;
            bySource[text.substr(0, last)].push_back(std::stoi(text.substr(last + 1)));
        }
        return bySource;
    }

    static std::vector<int> zero_to(int n) {
        std::vector<int> all;
        for (int i = 0; i < n; ++i) all.push_back(i);
        return all;
    }
};

TEST_F(AlertQueueTest, EightProcessesOfFourThreadsSpoolEveryAlertOnceInTheOrderRaised) {
    const int processes = 8, threads = 4, perThread = 100;
    {
        std::vector<std::unique_ptr<qf_test::ChildRun>> children;
        for (int p = 0; p < processes; ++p)
            children.push_back(std::make_unique<qf_test::ChildRun>(
                child({"p" + std::to_string(p), std::to_string(perThread), std::to_string(threads)})));
        for (int p = 0; p < processes; ++p) EXPECT_EQ(0, children[p]->wait()) << "process " << p;
    }
    std::map<std::string, std::vector<int>> seen = sequences(allAlerts());
    EXPECT_EQ((size_t)(processes * threads), seen.size());
    for (int p = 0; p < processes; ++p)
        for (int t = 0; t < threads; ++t)
            EXPECT_EQ(zero_to(perThread), seen["p" + std::to_string(p) + " " + std::to_string(t)])
                << "process " << p << " thread " << t;
}

TEST_F(AlertQueueTest, AlertsRaisedWhileAnotherWriterHoldsTheSpoolFollowItsRelease) {
    VTAlert none;
    ASSERT_EQ(0, VTMessage_ReadAlerts(0, &none, 1)) << "the spool exists, empty";
    qf_test::HeldDatabase held("log\\alerts.db");
    ASSERT_TRUE(held.holding());
    for (int i = 0; i < 50; ++i) VTGenerateMsg("Quillfence Warning", ("held " + std::to_string(i)).c_str());
    EXPECT_EQ(0, held.rows("alerts")) << "nothing can be written while the lock is held";

    held.release();
    // Not through ReadAlerts, which would store the waiting alerts itself: the writer thread does.
    ASSERT_TRUE(held.wait_for_rows("alerts", 50));
    EXPECT_EQ(zero_to(50), sequences(allAlerts())["held"]);
}

TEST_F(AlertQueueTest, AlertsStillWaitingWhenTheProgramEndsAreSpooledBeforeItEnds) {
    VTAlert none;
    ASSERT_EQ(0, VTMessage_ReadAlerts(0, &none, 1));
    qf_test::HeldDatabase held("log\\alerts.db");
    ASSERT_TRUE(held.holding());
    const std::string marker = root.file("ending");
    qf_test::ChildRun run(child({"ending", "200", "2", marker}));
    // The child has returned from main and is ending; its alerts cannot have been written.
    ASSERT_TRUE(qf_test::wait_for_file(marker));
    EXPECT_EQ(0, held.rows("alerts"));
    held.release();
    EXPECT_EQ(0, run.wait());

    std::map<std::string, std::vector<int>> seen = sequences(allAlerts());
    EXPECT_EQ(zero_to(200), seen["ending 0"]);
    EXPECT_EQ(zero_to(200), seen["ending 1"]);
}

}  // namespace
