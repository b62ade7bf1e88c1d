// Real programs filtered: a machine root with filtering switched on by `quillfence enable` and a
// small policy written through the stores, clients run through quillfence-run against page
// servers on loopback addresses.
#include "live_test_support.h"

#include "machine.h"
#include "temp_machine_root.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

using namespace qf_live_test;

namespace {

const char kWord[] = "gorgonzola";
const char kBadSite[] = "badsite.example";
const char kBadAddress[] = "127.0.0.2";

std::string rsac_page(const char* ratings) {
    return std::string("<html><head><META http-equiv=\"PICS-Label\" content='(PICS-1.1 "
                       "\"http://www.rsac.org/ratingsv01.html\" l r (") +
           ratings + "))'></head><body><p>The weather is fine today.</p></body></html>\n";
}

const std::string kWordPage = std::string("<html><body><p>Today: ") + kWord + " on toast.</p></body></html>\n";

// A client's command that fetches url into file, sending host as the Host header when given.
using Command = std::vector<std::string> (*)(const std::string& url, const std::string& file, const std::string& host);

std::vector<std::string> curl_fetch(const std::string& url, const std::string& file, const std::string& host) {
    std::vector<std::string> argv = {"curl", "-sS", "--max-time", "30", "-o", file};
    if (!host.empty()) argv.insert(argv.end(), {"-H", "Host: " + host});
    argv.push_back(url);
    return argv;
}

std::vector<std::string> wget_fetch(const std::string& url, const std::string& file, const std::string& host) {
    std::vector<std::string> argv = {"wget", "--no-verbose", "--no-hsts", "--tries=1", "--timeout=30", "-O", file};
    if (!host.empty()) argv.push_back("--header=Host: " + host);
    argv.push_back(url);
    return argv;
}

std::vector<std::string> python_fetch(const std::string& url, const std::string& file, const std::string& host) {
    return {python3(), "-c",
            "import sys, urllib.request\n"
            "headers = {'Host': sys.argv[3]} if sys.argv[3] else {}\n"
            "request = urllib.request.Request(sys.argv[1], headers=headers)\n"
            "data = urllib.request.urlopen(request, timeout=30).read()\n"
            "open(sys.argv[2], 'wb').write(data)\n",
            url, file, host};
}

// What a client says when the filter stops it: the exit status and words of its message (none
// checked when null).
struct Client {
    const char* name;
    Command command;
    int blockedExit;  // a receive refused by the filter (ESHUTDOWN)
    const char* blockedText;
    int refusedExit;  // a connect refused by the filter (ECONNREFUSED)
    const char* refusedText;
    int sendFailedExit;  // a send refused by the filter (ESHUTDOWN)
    const char* sendFailedText;
};

// wget's words for a refused connect are those of any refused connect, which the launcher's
// tests check; with --no-verbose it says nothing of a failed send.
const Client kClients[] = {
    {"curl", curl_fetch, 56, "curl: (56) Recv failure: Cannot send after transport endpoint shutdown", 7,
     "Couldn't connect to server", 55, "curl: (55) Send failure: Cannot send after transport endpoint shutdown"},
    {"wget", wget_fetch, 4, "Read error (Cannot send after transport endpoint shutdown) in headers.", 4, nullptr, 4,
     nullptr},
    {"python3 urllib", python_fetch, 1, "BrokenPipeError: [Errno 108] Cannot send after transport endpoint shutdown",
     1, "urllib.error.URLError: <urlopen error [Errno 111] Connection refused>", 1,
     "urllib.error.URLError: <urlopen error [Errno 108] Cannot send after transport endpoint shutdown>"},
};

void expect_says(const RunResult& result, int exitCode, const char* text) {
    EXPECT_EQ(result.exitCode, exitCode) << result.err;
    if (text) {
        EXPECT_NE(result.err.find(text), std::string::npos) << result.err;
    }
}

class LiveFilter : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
        ASSERT_TRUE(add_list_entry(kWord, 1));
        ASSERT_TRUE(add_list_entry(kBadSite, 2));
        ASSERT_TRUE(add_list_entry(kBadAddress, 2));
        ASSERT_TRUE(set_rsac_limits(2, 2, 2, 2));
        switchFiltering("enable", "filtering: on\n");
    }

    void switchFiltering(const char* command, const char* said) {
        RunResult result = run_program({QUILLFENCE_CLI, command, "--root", root_.path()});
        ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
        ASSERT_NE(result.out.find(said), std::string::npos) << result.out;
    }

    // argv run through quillfence-run on the test's root (HOME there too, so that no client
    // writes into a real home).
    RunResult run(const std::vector<std::string>& argv) {
        std::vector<std::string> full = {QUILLFENCE_RUN, "--root", root_.path(), "--"};
        full.insert(full.end(), argv.begin(), argv.end());
        return run_program(full, {"HOME=" + root_.path()});
    }

    // One fetch by client; the log lines it left.
    RunResult fetch(const Client& client, const std::string& url, std::vector<LogLine>& log,
                    const std::string& host = "") {
        int mark = last_log_id();
        RunResult result = run(client.command(url, file(client), host));
        log = log_after(mark);
        return result;
    }

    std::string file(const Client& client) { return root_.path() + "/" + client.name + ".out"; }

    static int count(const std::vector<LogLine>& log, const char* kind) {
        int n = 0;
        for (const LogLine& line : log) n += line.kind == kind;
        return n;
    }

    static std::string shown(const std::vector<LogLine>& log) {
        std::string text;
        for (const LogLine& line : log) text += line.kind + " " + line.text + "\n";
        return text;
    }

    qf_test::TempMachineRoot root_;
};

TEST_F(LiveFilter, ACleanPageArrivesByteIdenticalThroughTheFilterForEveryClient) {
    const std::string page = binary_page(300000);
    PageServer server(page);
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        RunResult result = fetch(client, server.url(), log);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_TRUE(read_file(file(client)) == page) << "the page arrived changed";
        EXPECT_EQ(count(log, "FETCH"), 1) << shown(log) << "the filter saw the request";
        EXPECT_EQ(count(log, "BLOCK"), 0) << shown(log);
    }
}

TEST_F(LiveFilter, APageWithADisallowedWordFailsTheClientAndIsLoggedOnce) {
    PageServer server(kWordPage);
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        RunResult result = fetch(client, server.url(), log);
        expect_says(result, client.blockedExit, client.blockedText);
        EXPECT_EQ(read_file(file(client)).find(kWord), std::string::npos) << "the word reached the client";
        ASSERT_EQ(count(log, "BLOCK"), 1) << shown(log);
        EXPECT_NE(shown(log).find(" (127.0.0.1); 1 violation.\n"), std::string::npos) << shown(log);
    }
}

TEST_F(LiveFilter, APageRatedAboveTheRsacLimitsFailsTheClientAndIsLoggedOnce) {
    PageServer server(rsac_page("n 4 s 0 v 0 l 0"));
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        RunResult result = fetch(client, server.url(), log);
        expect_says(result, client.blockedExit, client.blockedText);
        ASSERT_EQ(count(log, "BLOCK"), 1) << shown(log);
        EXPECT_NE(shown(log).find(" (127.0.0.1); Due to RSACi rating.\n"), std::string::npos) << shown(log);
    }
}

TEST_F(LiveFilter, APageRatedWithinTheRsacLimitsArrivesWhole) {
    const std::string page = rsac_page("n 2 s 1 v 0 l 2");
    PageServer server(page);
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        RunResult result = fetch(client, server.url(), log);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(read_file(file(client)), page);
        EXPECT_EQ(count(log, "BLOCK"), 0) << shown(log);
    }
}

TEST_F(LiveFilter, ADisallowedAddressIsRefusedAtTheConnect) {
    PageServer server(kWordPage, kBadAddress);
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        RunResult result = fetch(client, server.url(), log);
        expect_says(result, client.refusedExit, client.refusedText);
        EXPECT_EQ(count(log, "DENY"), 1) << shown(log);
        EXPECT_NE(shown(log).find("DENY 127.0.0.2; disallow list.\n"), std::string::npos) << shown(log);
    }
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(LiveFilter, ARequestNamingADisallowedHostFailsTheClient) {
    PageServer server(binary_page(1000));
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        RunResult result = fetch(client, server.url(), log, kBadSite);
        expect_says(result, client.sendFailedExit, client.sendFailedText);
        EXPECT_EQ(count(log, "DENY"), 1) << shown(log);
        EXPECT_NE(shown(log).find("DENY badsite.example (127.0.0.1); disallowed content encountered.\n"),
                  std::string::npos)
            << shown(log);
    }
    EXPECT_EQ(server.requests(), 0) << "a request reached the server";
}

TEST_F(LiveFilter, AfterQuillfenceDisableTheSamePagesArriveUnfiltered) {
    PageServer wordServer(kWordPage);
    PageServer ratedServer(rsac_page("n 4 s 0 v 0 l 0"));
    PageServer addressServer(kWordPage, kBadAddress);
    switchFiltering("disable", "filtering: off\n");
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        for (PageServer* server : {&wordServer, &ratedServer, &addressServer}) {
            RunResult result = fetch(client, server->url(), log, server == &addressServer ? "" : kBadSite);
            ASSERT_EQ(result.exitCode, 0) << server->url() << "\n" << result.err;
            EXPECT_EQ(log.size(), 0u) << shown(log);
        }
        EXPECT_EQ(read_file(file(client)), kWordPage);
    }
}

TEST_F(LiveFilter, TheProgramLoadsTheLayeredProviderAndNoSanitizerRuntime) {
    RunResult result = run({LIVE_PROBE, "modules"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    std::vector<std::string> files;
    for (size_t at = 0, end; (end = result.out.find('\n', at)) != std::string::npos; at = end + 1)
        files.push_back(result.out.substr(at, end - at));
    auto mapped = [&files](const char* name) {
        int n = 0;
        for (const std::string& f : files) n += f.size() >= strlen(name) && f.compare(f.size() - strlen(name), std::string::npos, name) == 0;
        return n;
    };
    EXPECT_EQ(mapped("/libvtlsp.so"), 1) << result.out;
    EXPECT_EQ(mapped("/libqfafd.so"), 1) << result.out;
    EXPECT_EQ(mapped("/libwin32.so"), 1) << result.out << "one stand-in, not an instrumented one beside a plain one";
    for (const std::string& f : files) {
        EXPECT_EQ(f.find("libasan"), std::string::npos) << f;
        EXPECT_EQ(f.find("libubsan"), std::string::npos) << f;
        EXPECT_EQ(f.find("libtsan"), std::string::npos) << f;
    }
}

}  // namespace
