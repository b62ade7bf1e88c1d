// Programs run through quillfence-run on a temporary machine root, against a page server on
// 127.0.0.1: real clients (curl, wget, python3) and the tests' own probe.
#include "live_test_support.h"

#include "machine.h"
#include "temp_machine_root.h"

#include <dlfcn.h>
#include <math.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace qf_live_test;

namespace {

struct Client {
    const char* name;
    std::vector<std::string> (*command)(const std::string& url, const std::string& file);
    int refusedExit;           // the client's usual exit status for a refused connection
    const char* refusedText;   // and the words it says it with
};

std::vector<std::string> curl_fetch(const std::string& url, const std::string& file) {
    return {"curl", "-sS", "--max-time", "30", "-o", file, url};
}

std::vector<std::string> wget_fetch(const std::string& url, const std::string& file) {
    return {"wget", "--no-verbose", "--no-hsts", "--tries=1", "--timeout=30", "-O", file, url};
}

std::vector<std::string> python_fetch(const std::string& url, const std::string& file) {
    return {python3(), "-c",
            "import sys, urllib.request\n"
            "data = urllib.request.urlopen(sys.argv[1], timeout=30).read()\n"
            "open(sys.argv[2], 'wb').write(data)\n",
            url, file};
}

const Client kClients[] = {
    {"curl", curl_fetch, 7, "Couldn't connect to server"},
    {"wget", wget_fetch, 4, "Connection refused"},
    {"python3 urllib", python_fetch, 1, "Connection refused"},
};

class LiveRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
    }

    // argv run through quillfence-run on the test's root (HOME there too, so that no client
    // writes into a real home).
    RunResult run(const std::vector<std::string>& argv, std::vector<std::string> extra = {}) {
        std::vector<std::string> full = {QUILLFENCE_RUN, "--root", root_.path(), "--"};
        full.insert(full.end(), argv.begin(), argv.end());
        extra.push_back("HOME=" + root_.path());
        return run_program(full, extra);
    }

    RunResult probe(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {LIVE_PROBE};
        argv.insert(argv.end(), args.begin(), args.end());
        return run(argv);
    }

    std::string out_file(const char* name) { return root_.path() + "/" + name + ".out"; }

    qf_test::TempMachineRoot root_;
    std::string page_ = binary_page(300000);
    PageServer server_{page_};
};

TEST_F(LiveRun, PageFetchedWithFilteringOffArrivesByteIdenticalForEveryClient) {
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::string file = out_file(client.name);
        RunResult result = run(client.command(server_.url(), file));
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_TRUE(read_file(file) == page_) << "the page arrived changed";
    }
}

TEST_F(LiveRun, ClientsReachNoServerWhenWinsockCannotStartSoTheirSocketsGoThroughIt) {
    ASSERT_TRUE(remove_winsock_catalog());
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        RunResult result = run(client.command(server_.url(), out_file(client.name)));
        EXPECT_NE(result.exitCode, 0);
    }
    EXPECT_EQ(server_.connections(), 0);
}

TEST_F(LiveRun, RefusedConnectGivesEachClientItsUsualError) {
    std::string url = "http://127.0.0.1:" + std::to_string(unused_port()) + "/";
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        RunResult result = run(client.command(url, out_file(client.name)));
        EXPECT_EQ(result.exitCode, client.refusedExit) << result.err;
        EXPECT_NE(result.err.find(client.refusedText), std::string::npos) << result.err;
    }
}

TEST_F(LiveRun, ProgramSocketsAreRoutedThroughWinsock) {
    EXPECT_EQ(probe({"routed"}).out, "routed\n");
    EXPECT_EQ(run_program({LIVE_PROBE, "routed"}).out, "kernel\n") << "without quillfence-run nothing is routed";
}

TEST_F(LiveRun, RefusedConnectIsEconnrefused) {
    EXPECT_EQ(probe({"refused", std::to_string(unused_port())}).out, "ECONNREFUSED\n");
}

TEST_F(LiveRun, SuccessfulCallsLeaveErrnoAsItWasSoARefusedConnectStaysReportedAfterTheClose) {
    RunResult result = probe({"errno", std::to_string(server_.port()), std::to_string(unused_port())});
    EXPECT_EQ(result.out, "kept\nconnect ECONNREFUSED then close ECONNREFUSED\n") << result.err;
}

TEST_F(LiveRun, Ipv6SocketsAreRefusedWithEafnosupportOnlyWhileFilteringIsOn) {
    std::string unrouted = run_program({LIVE_PROBE, "ipv6"}).out;
    EXPECT_EQ(probe({"ipv6"}).out, unrouted) << "filtering off: IPv6 as the kernel gives it";
    ASSERT_TRUE(create_provider_key());
    EXPECT_EQ(probe({"ipv6"}).out, "EAFNOSUPPORT\n");
}

TEST_F(LiveRun, LocalSocketsPassToTheKernelUntouchedWhileFilteringIsOn) {
    ASSERT_TRUE(create_provider_key());
    EXPECT_EQ(probe({"unix"}).out, "untouched\n");
}

TEST_F(LiveRun, ForkedAndExecutedChildrenKeepWorkingAndAreRouted) {
    RunResult result = probe({"fork-exec", std::to_string(server_.port()), LIVE_PROBE});
    EXPECT_EQ(result.out, "parent fetched\nforked child fetched\nrouted\nparent again fetched\n") << result.err;
}

TEST_F(LiveRun, AnExecutedChildInheritsExactlyTheSocketsWithoutCloseOnExec) {
    EXPECT_EQ(probe({"cloexec", LIVE_PROBE}).out, "inherited yes closed on exec yes\n");
}

TEST_F(LiveRun, DuplicatesOfASocketCarryTheConnectionAfterTheOriginalIsClosed) {
    RunResult result = probe({"dup", std::to_string(server_.port())});
    EXPECT_EQ(result.out, "bad source EBADF closed yes routed yes body " + std::to_string(page_.size()) + "\n")
        << result.err;
}

TEST_F(LiveRun, NonBlockingUseAnswersAsTheKernelWould) {
    RunResult result = probe({"nonblock", std::to_string(server_.port())});
    EXPECT_EQ(result.out, "connect EINPROGRESS\npoll 1 error ok\nrecv EAGAIN\ndontwait EAGAIN\nblocking yes\n")
        << result.err;
}

TEST_F(LiveRun, VectorAndMessageFormsCarryTheWholeAnswer) {
    RunResult result = probe({"vectors", std::to_string(server_.port())});
    EXPECT_EQ(result.out, "sent 35 peek 4 HTTP body " + std::to_string(page_.size()) + "\n") << result.err;
}

TEST_F(LiveRun, SendfileAndSpliceMoveDataThroughARoutedSocket) {
    RunResult result = probe({"files", std::to_string(server_.port())});
    EXPECT_EQ(result.out, "sent 35 offset 35 body " + std::to_string(page_.size()) + "\n") << result.err;
}

TEST_F(LiveRun, DatagramsGoBothWaysAndACutDatagramSaysSo) {
    DatagramEcho echo;
    RunResult result = probe({"udp", std::to_string(echo.port())});
    EXPECT_EQ(result.out, "sent 4 echo ping from port ok\nconnected echo pong\ncut 2 MSG_TRUNC\npieces 70 70 same\n")
        << result.err;
}

TEST_F(LiveRun, ReceiveTimeoutEndsTheWaitWithEagainAsTheKernelSays) {
    RunResult result = probe({"timeout"});
    EXPECT_EQ(result.out, "limit 200 ms recv EAGAIN\n") << result.err;
}

TEST_F(LiveRun, AfterItsOwnShutdownAProgramSeesEpipeAndTheEndOfStream) {
    RunResult result = probe({"shutdown", std::to_string(server_.port())});
    EXPECT_EQ(result.out, "send EPIPE\nrecv end\n") << result.err;
}

TEST_F(LiveRun, ClosefromClosesRoutedSocketsAndKeepsWhatADuplicateNeeds) {
    RunResult result = probe({"closefrom", std::to_string(server_.port())});
    EXPECT_EQ(result.out, "file ok body " + std::to_string(page_.size()) + "\n") << result.err;
}

TEST_F(LiveRun, ThreadsFetchAtOnce) {
    std::string body = std::to_string(page_.size()) + "\n";
    RunResult result = probe({"threads", std::to_string(server_.port())});
    EXPECT_EQ(result.out, body + body + body + body) << result.err;
}

TEST_F(LiveRun, ADaemonizedChildStillFetches) {
    std::string file = out_file("daemon");
    RunResult result = probe({"daemon", std::to_string(server_.port()), file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string said;
    for (int i = 0; i < 200 && said.find('\n') == std::string::npos; ++i) {  // 20 s at most
        usleep(100000);
        said = read_file(file);
    }
    EXPECT_EQ(said, "fetched " + std::to_string(page_.size()) + "\n");
}

TEST_F(LiveRun, LauncherKeepsEarlierPreloadsAndNamesTheRootItWasGiven) {
    Dl_info info{};
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(static_cast<double (*)(double)>(&cos)), &info) && info.dli_fname);
    std::string earlier = info.dli_fname;
    // The launcher of a sanitizer build checks its own preload order; this preload is not its own.
    RunResult result = run({"sh", "-c", "echo \"$LD_PRELOAD\"; echo \"$QUILLFENCE_ROOT\""},
                           {"LD_PRELOAD=" + earlier, "ASAN_OPTIONS=verify_asan_link_order=0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string firstLine = result.out.substr(0, result.out.find('\n'));
    EXPECT_EQ(firstLine.rfind(earlier + ":", 0), 0u) << firstLine;
    EXPECT_NE(firstLine.find("/libqflive.so"), std::string::npos) << firstLine;
    EXPECT_NE(result.out.find("\n" + root_.path() + "\n"), std::string::npos) << result.out;
}

TEST(LiveLauncher, RefusesARootThatIsNoMachine) {
    qf_test::TempMachineRoot empty;
    RunResult result = run_program({QUILLFENCE_RUN, "--root", empty.path(), "--", "true"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("quillfence-machine init"), std::string::npos) << result.err;
}

}  // namespace
