#include "vtlogger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "held_database.h"
#include "store_root.h"

namespace {

class LoggerTest : public ::testing::Test {
protected:
    void TearDown() override { VTLogger_Free(); }

    std::vector<VTLogEntry> allEntries() {
        std::vector<VTLogEntry> entries(20000);
        int n = VTLogger_ReadEntries(0, entries.data(), (int)entries.size());
        EXPECT_GE(n, 0);
        entries.resize(n < 0 ? 0 : (size_t)n);
        return entries;
    }

    // The Linux path of a file named by a Windows path under DBDIR.
    std::string hostPath(const std::string& windowsPath) {
        const std::string prefix = qf_test::StoreRoot::kDbDir;
        EXPECT_EQ(0u, windowsPath.find(prefix)) << windowsPath;
        std::string relative = windowsPath.substr(prefix.size());
        for (char& c : relative)
            if (c == '\\') c = '/';
        return root.installed(relative);
    }

    static std::vector<std::string> lines_of(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    qf_test::StoreRoot root;
};

TEST_F(LoggerTest, EntriesReadBackInOrderWithEveryFieldBounded) {
    ASSERT_EQ(1, VTLogger_Init());
    const std::string longText(300, 'x');
    ASSERT_EQ(1, VTLogger_Submit("BLOCK", 53, "www.example.com"));
    ASSERT_EQ(1, VTLogger_Submit("", 0, "Time management not active"));
    ASSERT_EQ(1, VTLogger_Submit(NULL, 80, NULL));
    ASSERT_EQ(1, VTLogger_Submit("WARNING", 0, longText.c_str()));
    ASSERT_EQ(1, VTLogger_Submit("AKINDWORDTHATISTOOLONG", 7000, "kind cut"));

    std::vector<VTLogEntry> entries = allEntries();
    ASSERT_EQ(5u, entries.size());
    EXPECT_STREQ("BLOCK", entries[0].kind);
    EXPECT_EQ(53, entries[0].port);
    EXPECT_STREQ("www.example.com", entries[0].text);
    EXPECT_STREQ("", entries[1].kind);
    EXPECT_STREQ("Time management not active", entries[1].text);
    EXPECT_STREQ("", entries[2].kind);
    EXPECT_STREQ("", entries[2].text);
    EXPECT_EQ(80, entries[2].port);
    EXPECT_EQ(std::string(254, 'x'), entries[3].text) << "texts are cut at 254 characters";
    EXPECT_STREQ("AKINDWORDTHATIS", entries[4].kind);

    char program[255] = {0};
    GetModuleFileNameA(NULL, program, sizeof(program));
    const std::regex time("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_TRUE(std::regex_match(entries[i].time, time)) << entries[i].time;
        EXPECT_STREQ(program, entries[i].program);
        if (i) {
            EXPECT_GT(entries[i].id, entries[i - 1].id);
        }
    }

    std::vector<VTLogEntry> later(10);
    EXPECT_EQ(2, VTLogger_ReadEntries(entries[2].id, later.data(), 10));
    EXPECT_EQ(entries[3].id, later[0].id);
    EXPECT_EQ(1, VTLogger_ReadEntries(0, later.data(), 1));
    EXPECT_EQ(-1, VTLogger_ReadEntries(0, NULL, 1));
}

TEST_F(LoggerTest, ManyThreadsAndTwoProcessesAppendWithoutLoss) {
    const int perWriter = 150;
    const int threads = 4;
    std::vector<std::thread> writers;
    int childResults[2] = {-1, -1};
    for (int child = 0; child < 2; ++child) {
        writers.emplace_back([&, child] {
            std::string command = std::string("\"") + VTLOGGER_CHILD + "\" child" + std::to_string(child) + " " +
                                  std::to_string(perWriter);
            childResults[child] = qf_test::run_program(command);
        });
    }
    std::vector<int> failures(threads, 0);
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            if (t % 2) VTLogger_Init();  // Init racing Submit is harmless
            for (int i = 0; i < perWriter; ++i) {
                std::string text = "thread" + std::to_string(t) + " " + std::to_string(i);
                if (VTLogger_Submit("INFORM", i, text.c_str()) != 1) ++failures[t];
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(0, childResults[0]);
    EXPECT_EQ(0, childResults[1]);
    for (int t = 0; t < threads; ++t) EXPECT_EQ(0, failures[t]) << "thread " << t;

    std::set<std::string> expected;
    for (int i = 0; i < perWriter; ++i) {
        for (int t = 0; t < threads; ++t) expected.insert("thread" + std::to_string(t) + " " + std::to_string(i));
        for (int c = 0; c < 2; ++c) expected.insert("child" + std::to_string(c) + " " + std::to_string(i));
    }
    std::multiset<std::string> seen;
    for (const VTLogEntry& entry : allEntries()) seen.insert(entry.text);
    EXPECT_EQ(std::multiset<std::string>(expected.begin(), expected.end()), seen);
}

TEST_F(LoggerTest, DumpWritesOneLinePerEntryTimeFirstToANewFile) {
    ASSERT_EQ(1, VTLogger_Submit("DENY", 23, "telnet refused"));
    ASSERT_EQ(1, VTLogger_Submit("", 0, "two\nlines\r\tin one"));
    ASSERT_EQ(1, VTLogger_Submit("FETCH", 80, "http://www.example.com/"));

    char path[255] = {0};
    ASSERT_EQ(1, VTLogger_DumpLog(path));
    EXPECT_EQ(0, strncmp(path, "C:\\Program Files\\Quillfence\\log\\", 32)) << path;
    std::vector<std::string> lines = lines_of(hostPath(path));
    ASSERT_EQ(3u, lines.size());
    const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  (.{7})  ([ \\d]{5})  (.*)  \\[(.*)\\]\r");
    const char* kinds[] = {"DENY   ", "       ", "FETCH  "};
    const char* ports[] = {"   23", "    0", "   80"};
    const char* texts[] = {"telnet refused", "two lines  in one", "http://www.example.com/"};
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, line)) << lines[i];
        EXPECT_EQ(kinds[i], match[1].str());
        EXPECT_EQ(ports[i], match[2].str());
        EXPECT_EQ(texts[i], match[3].str());
        EXPECT_FALSE(match[4].str().empty()) << "the program's name";
    }

    char second[255] = {0};
    ASSERT_EQ(1, VTLogger_DumpLog(second));
    EXPECT_STRNE(path, second) << "every dump is a new file";
    EXPECT_EQ(3u, lines_of(hostPath(second)).size());
}

TEST_F(LoggerTest, FlushErasesEveryEntry) {
    ASSERT_EQ(1, VTLogger_Submit("ALLOW", 80, "before"));
    std::vector<VTLogEntry> before = allEntries();
    ASSERT_EQ(1u, before.size());
    ASSERT_EQ(1, VTLogger_FlushLog());
    EXPECT_TRUE(allEntries().empty());

    char path[255] = {0};
    ASSERT_EQ(1, VTLogger_DumpLog(path));
    EXPECT_TRUE(lines_of(hostPath(path)).empty());

    ASSERT_EQ(1, VTLogger_Submit("ALLOW", 80, "after"));
    std::vector<VTLogEntry> after = allEntries();
    ASSERT_EQ(1u, after.size());
    EXPECT_STREQ("after", after[0].text);
    EXPECT_GT(after[0].id, before[0].id) << "ids are not reused";
}

TEST_F(LoggerTest, WithoutDbdirEveryCallFailsCleanly) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, QF_PRODUCT_KEY, 0, KEY_ALL_ACCESS, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, QF_DBDIR_VALUE));
    RegCloseKey(key);
    EXPECT_EQ(0, VTLogger_Init());
    EXPECT_EQ(0, VTLogger_Submit("BLOCK", 80, "nowhere"));
    char path[255];
    memset(path, 'z', sizeof(path));
    EXPECT_EQ(0, VTLogger_DumpLog(path));
    EXPECT_STREQ("", path);
    EXPECT_EQ(0, VTLogger_FlushLog());
    VTLogEntry entry;
    EXPECT_EQ(-1, VTLogger_ReadEntries(0, &entry, 1));
}

// Many processes logging at once, and writers that keep the log locked: Submit answers at once,
// and every line it accepted reaches the log exactly once, in submission order per thread.
class LoggerQueueTest : public LoggerTest {
protected:
    static std::string child(std::initializer_list<std::string> args) {
        return qf_test::command_line(VTLOGGER_CHILD, args);
    }

    // The entries whose text starts with tag, as "<thread> <i>" lines in id order.
    std::map<std::string, std::vector<int>> sequences(const std::vector<VTLogEntry>& entries) {
        std::map<std::string, std::vector<int>> bySource;
        for (const VTLogEntry& entry : entries) {
            std::string text = entry.text;
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

TEST_F(LoggerQueueTest, EightProcessesOfFourThreadsStoreEveryLineOnceInSubmissionOrder) {
    const int processes = 8, threads = 4, perThread = 150;
    ASSERT_EQ(1, VTLogger_Init());
    {
        std::vector<std::unique_ptr<qf_test::ChildRun>> children;
        for (int p = 0; p < processes; ++p)
            children.push_back(std::make_unique<qf_test::ChildRun>(
                child({"p" + std::to_string(p), std::to_string(perThread), std::to_string(threads)})));
        for (int p = 0; p < processes; ++p) EXPECT_EQ(0, children[p]->wait()) << "process " << p;
    }
    std::map<std::string, std::vector<int>> seen = sequences(allEntries());
    EXPECT_EQ((size_t)(processes * threads), seen.size());
    for (int p = 0; p < processes; ++p)
        for (int t = 0; t < threads; ++t)
            EXPECT_EQ(zero_to(perThread), seen["p" + std::to_string(p) + " " + std::to_string(t)])
                << "process " << p << " thread " << t;
}

TEST_F(LoggerQueueTest, SubmitAnswersWhileAnotherWriterHoldsTheLogAndTheLinesFollowItsRelease) {
    ASSERT_EQ(1, VTLogger_Init());
    qf_test::HeldDatabase held("log\\access.db");
    ASSERT_TRUE(held.holding());
    std::vector<std::thread> writers;
    std::vector<int> accepted(2, 0);
    for (int t = 0; t < 2; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                const std::string text = "held " + std::to_string(t) + " " + std::to_string(i);
                accepted[t] += VTLogger_Submit("BLOCK", 80, text.c_str());
            }
        });
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(50, accepted[0]);
    EXPECT_EQ(50, accepted[1]);
    EXPECT_EQ(0, held.rows("entries")) << "nothing can be written while the lock is held";

    held.release();
    // Not through ReadEntries, which would store the waiting lines itself: the writer thread does.
    ASSERT_TRUE(held.wait_for_rows("entries", 100));
    std::map<std::string, std::vector<int>> seen = sequences(allEntries());
    EXPECT_EQ(zero_to(50), seen["held 0"]);
    EXPECT_EQ(zero_to(50), seen["held 1"]);
}

TEST_F(LoggerQueueTest, AFullQueueRefusesTheLineAndNeverStoresIt) {
    ASSERT_EQ(1, VTLogger_Init());
    qf_test::HeldDatabase held("log\\access.db");
    ASSERT_TRUE(held.holding());
    const int capacity = 16384;  // as the header documents
    for (int i = 0; i < capacity; ++i)
        ASSERT_EQ(1, VTLogger_Submit("INFORM", 0, ("kept " + std::to_string(i)).c_str()));
    EXPECT_EQ(0, VTLogger_Submit("INFORM", 0, "refused"));
    held.release();

    std::vector<VTLogEntry> entries = allEntries();
    EXPECT_EQ((size_t)capacity, entries.size());
    for (const VTLogEntry& entry : entries) EXPECT_STRNE("refused", entry.text);
    EXPECT_EQ(1, VTLogger_Submit("INFORM", 0, "room again"));
    EXPECT_STREQ("room again", allEntries().back().text);
}

TEST_F(LoggerQueueTest, LinesStillWaitingWhenTheProgramEndsAreStoredBeforeItEnds) {
    ASSERT_EQ(1, VTLogger_Init());
    qf_test::HeldDatabase held("log\\access.db");
    ASSERT_TRUE(held.holding());
    const std::string marker = root.file("ending");
    qf_test::ChildRun run(child({"ending", "200", "2", marker}));
    // The child has returned from main and is ending; its lines cannot have been written.
    ASSERT_TRUE(qf_test::wait_for_file(marker));
    EXPECT_EQ(0, held.rows("entries"));
    held.release();
    EXPECT_EQ(0, run.wait());

    std::map<std::string, std::vector<int>> seen = sequences(allEntries());
    EXPECT_EQ(zero_to(200), seen["ending 0"]);
    EXPECT_EQ(zero_to(200), seen["ending 1"]);
}

TEST_F(LoggerQueueTest, UnloadingTheModuleWhileLinesWaitNeitherLosesThemNorFaults) {
    ASSERT_EQ(1, VTLogger_Init());
    qf_test::HeldDatabase held("log\\access.db");
    ASSERT_TRUE(held.holding());
    const std::string marker = root.file("unloading");
    qf_test::ChildRun run(qf_test::command_line(VTLOGGER_LOADER, {"unloaded", "100", marker}));
    // The loader is about to unload the module; its lines cannot have been written. The module
    // stays while its writer runs, and the lines are stored at the latest when the loader ends.
    ASSERT_TRUE(qf_test::wait_for_file(marker));
    held.release();
    EXPECT_EQ(0, run.wait()) << "the loader neither failed nor faulted after the unload";
    EXPECT_EQ(zero_to(100), sequences(allEntries())["unloaded"]);
}

}  // namespace
