// Real programs filtered: a machine root with filtering switched on by `quillfence enable` and a
// small policy written through the stores, clients run through quillfence-run against page
// servers on loopback addresses.
#include "live_test_support.h"

#include "machine.h"
#include "temp_machine_root.h"

#include <gtest/gtest.h>

#include <string.h>

#include <fstream>
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

std::vector<std::string> python_http_client_fetch(const std::string& url, const std::string& file,
                                                  const std::string& host) {
    return {python3(), "-c",
            "import http.client, sys, urllib.parse\n"
            "u = urllib.parse.urlsplit(sys.argv[1])\n"
            "c = http.client.HTTPConnection(u.hostname, u.port or 80, timeout=30)\n"
            "c.putrequest('GET', u.path or '/', skip_host=bool(sys.argv[3]))\n"
            "if sys.argv[3]: c.putheader('Host', sys.argv[3])\n"
            "c.endheaders()\n"
            "data = c.getresponse().read()\n"
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
    {"python3 http.client", python_http_client_fetch, 1,
     "BrokenPipeError: [Errno 108] Cannot send after transport endpoint shutdown", 1,
     "ConnectionRefusedError: [Errno 111] Connection refused", 1,
     "BrokenPipeError: [Errno 108] Cannot send after transport endpoint shutdown"},
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
        RunResult passwd = run_program({"/bin/sh", "-c", "printf '%s\\n%s\\n' \"$2\" \"$2\" | \"$0\" passwd --password-stdin --root \"$1\"",
                                        QUILLFENCE_CLI, root_.path(), kPassword});
        ASSERT_EQ(passwd.exitCode, 0) << passwd.out << passwd.err;
        switchFiltering("enable", "filtering: on\n");
    }

    // quillfence enable or disable, with the Control Center password on its standard input.
    void switchFiltering(const char* command, const char* said) {
        RunResult result = run_program({"/bin/sh", "-c", "printf '%s\\n' \"$3\" | \"$0\" \"$1\" --password-stdin --root \"$2\"",
                                        QUILLFENCE_CLI, command, root_.path(), kPassword});
        ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
        ASSERT_NE(result.out.find(said), std::string::npos) << result.out;
    }

    static constexpr const char* kPassword = "live-test-pw";

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

// The Control Center's own switch, run headless, turns filtering off and on for the programs
// started after it.
TEST_F(LiveFilter, TheControlCenterSwitchesFilteringForTheProgramsStartedAfterIt) {
    PageServer wordServer(kWordPage);
    const Client& curl = kClients[0];
    auto control_center = [this](const char* expectedBox) {
        const std::string script = root_.file("control-center.txt");
        std::ofstream(script) << "type 1006 " << kPassword << "\nenter\nclick 1005\nexpect-box " << expectedBox
                              << "\nanswer IDOK\nclick 1\n";
        RunResult result = run_program({CONFIGURATOR, "--headless", script, "--root", root_.path()});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    };
    control_center("\"Quillfence Toggle - WARNING !!!\" \"Quillfence has been deactivated.\\nContent received "
                   "from or sent on the Internet will not be controlled while deactivated.\"");
    std::vector<LogLine> log;
    RunResult unfiltered = fetch(curl, wordServer.url(), log);
    EXPECT_EQ(unfiltered.exitCode, 0) << unfiltered.err;
    EXPECT_EQ(read_file(file(curl)), kWordPage);

    control_center("\"Quillfence Toggle - Success\" \"Quillfence has been enabled.\"");
    RunResult filtered = fetch(curl, wordServer.url(), log);
    expect_says(filtered, curl.blockedExit, curl.blockedText);
    EXPECT_EQ(count(log, "BLOCK"), 1) << shown(log);
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

// A DNS client of python3's own, over a UDP socket: asks the name server at argv[1] (HOST:PORT)
// for argv[2] and prints the name the answer is about and its result code.
std::vector<std::string> python_dns_query(const std::string& server, const std::string& name) {
    return {python3(), "-c",
            "import socket, struct, sys\n"
            "host, port = sys.argv[1].split(':')\n"
            "q = struct.pack('>HHHHHH', 0x5151, 0x0100, 1, 0, 0, 0)\n"
            "q += b''.join(bytes([len(l)]) + l.encode() for l in sys.argv[2].split('.')) + b'\\0\\0\\1\\0\\1'\n"
            "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
            "s.settimeout(10)\n"
            "s.sendto(q, (host, int(port)))\n"
            "a = s.recv(512)\n"
            "at, labels = 12, []\n"
            "while a[at]:\n"
            "    labels.append(a[at + 1:at + 1 + a[at]].decode()); at += 1 + a[at]\n"
            "print('.'.join(labels), a[3] & 15)\n",
            server, name};
}

// Names resolve through the stand-in, over Winsock datagram sockets, to the machine's name
// server; the Linux machine's /etc/hosts answers first.
TEST_F(LiveFilter, HostNamesResolveThroughTheFilterToTheMachinesNameServer) {
    const std::string page = binary_page(5000);
    PageServer server(page);
    TestNameServer names(std::map<std::string, std::string>{{"www.goodsite.test", "127.0.0.1"}});
    std::string error;
    ASSERT_TRUE(qf::machine_set_name_server(names.address(), error)) << error;
    const std::string url = "http://www.goodsite.test:" + std::to_string(server.port()) + "/page.bin";
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        RunResult result = fetch(client, url, log);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_TRUE(read_file(file(client)) == page) << "the page arrived changed";
        EXPECT_EQ(count(log, "BLOCK"), 0) << shown(log);
    }
    const std::vector<std::string> asked = names.questions();
    EXPECT_FALSE(asked.empty());
    for (const std::string& name : asked) EXPECT_EQ(name, "www.goodsite.test");

    RunResult local = run({python3(), "-c", "import socket; print(socket.gethostbyname('localhost'))"});
    EXPECT_EQ(local.out, "127.0.0.1\n") << local.err;
    EXPECT_EQ(names.questions().size(), asked.size()) << "localhost was asked of the name server";
}

TEST_F(LiveFilter, ADisallowedNameDoesNotResolveAndLeavesABlockLineAndAnAlert) {
    const char kBadName[] = "www.badsite.example";
    TestNameServer names(std::map<std::string, std::string>{{kBadName, "127.0.0.1"}});
    std::string error;
    ASSERT_TRUE(qf::machine_set_name_server(names.address(), error)) << error;
    const std::string blockLine = std::string("Violation in site name (") + kBadName + ")";
    const struct {
        const char* name;
        std::vector<std::string> argv;
        int exitCode;
        const char* says;
    } lookups[] = {
        {"curl", {"curl", "-sS", "--max-time", "30", std::string("http://") + kBadName + "/"}, 6,
         "Could not resolve host: www.badsite.example"},
        {"python3 getaddrinfo", {python3(), "-c", std::string("import socket; socket.getaddrinfo('") + kBadName + "', 80)"},
         1, "socket.gaierror: [Errno -2] Name or service not known"},
        {"python3 gethostbyname", {python3(), "-c", std::string("import socket; socket.gethostbyname('") + kBadName + "')"},
         1, "socket.gaierror: [Errno -2] Name or service not known"},
    };
    for (const auto& lookup : lookups) {
        SCOPED_TRACE(lookup.name);
        const size_t alerts = alert_captions().size();
        const int mark = last_log_id();
        RunResult result = run(lookup.argv);
        expect_says(result, lookup.exitCode, lookup.says);
        const std::vector<LogLine> log = log_after(mark);
        ASSERT_GE(count(log, "BLOCK"), 1) << shown(log);
        for (const LogLine& line : log) {
            if (line.kind != "BLOCK") continue;
            EXPECT_EQ(line.port, 53);
            EXPECT_EQ(line.text, blockLine);
        }
        EXPECT_EQ(alert_captions(alerts),
                  std::vector<std::string>(static_cast<size_t>(count(log, "BLOCK")), "Quillfence Warning"));
    }
    for (const std::string& name : names.questions()) EXPECT_NE(name, kBadName) << "the name left unspoiled";

    // A program's own DNS client gets the answer to the spoiled query, about another name.
    const int mark = last_log_id();
    RunResult raw = run(python_dns_query(names.address(), kBadName));
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_EQ(raw.out, "---.-------.------- 3\n");
    const std::vector<LogLine> log = log_after(mark);
    EXPECT_EQ(count(log, "BLOCK"), 1) << shown(log);
    EXPECT_NE(shown(log).find("BLOCK " + blockLine + "\n"), std::string::npos) << shown(log);
}

TEST_F(LiveFilter, AnAllowUnchangedSitesPageArrivesUntouchedAndACleaningSitesPageCleaned) {
    const char kUnchangedAddress[] = "127.0.0.3";
    const char kCleaningAddress[] = "127.0.0.4";
    ASSERT_TRUE(add_list_entry(kUnchangedAddress, 3));
    ASSERT_TRUE(add_list_entry(kCleaningAddress, 4));
    PageServer unchanged(kWordPage, kUnchangedAddress);
    PageServer cleaning(kWordPage, kCleaningAddress);
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        RunResult result = fetch(client, unchanged.url(), log);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(read_file(file(client)), kWordPage);
        EXPECT_NE(shown(log).find("ALLOW 127.0.0.3; allow list - leave unchanged.\n"), std::string::npos)
            << shown(log);

        result = fetch(client, cleaning.url(), log);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const std::string cleaned = read_file(file(client));
        EXPECT_EQ(cleaned.size(), kWordPage.size());
        EXPECT_EQ(cleaned.find(kWord), std::string::npos) << cleaned;
        EXPECT_NE(cleaned.find(" on toast."), std::string::npos) << cleaned;
        EXPECT_EQ(count(log, "BLOCK"), 0) << shown(log);
    }
}

TEST_F(LiveFilter, ABlockedProtocolsPortIsRefusedAtTheConnect) {
    ASSERT_TRUE(block_protocol(6667));
    const size_t alerts = alert_captions().size();
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        std::vector<LogLine> log;
        RunResult result = fetch(client, "http://127.0.0.1:6667/", log);
        expect_says(result, client.refusedExit, client.refusedText);
        EXPECT_EQ(count(log, "DENY"), 1) << shown(log);
        EXPECT_NE(shown(log).find("DENY Chat (IRC) connection to 127.0.0.1.\n"), std::string::npos) << shown(log);
    }
    EXPECT_EQ(alert_captions(alerts).size(), std::size(kClients));
}

TEST_F(LiveFilter, OutsideTheAccessTimesEveryConnectIsRefusedWithTheTimeAlert) {
    PageServer server(binary_page(1000));
    ASSERT_TRUE(refuse_every_access_time());
    for (const Client& client : kClients) {
        SCOPED_TRACE(client.name);
        const size_t alerts = alert_captions().size();
        std::vector<LogLine> log;
        RunResult result = fetch(client, server.url(), log);
        expect_says(result, client.refusedExit, client.refusedText);
        EXPECT_GE(count(log, "DENY"), 1) << shown(log);
        EXPECT_NE(shown(log).find("DENY Blocked access as per time management configuration.\n"), std::string::npos)
            << shown(log);
        const std::vector<std::string> captions = alert_captions(alerts);
        ASSERT_FALSE(captions.empty());
        EXPECT_EQ(captions[0], "Quillfence Time Warning");
    }
    EXPECT_EQ(server.connections(), 0);
}

// A long page is inspected as it streams: the word in its last kilobyte stops it, after the
// client has already received most of it.
TEST_F(LiveFilter, AFiftyMegabytePageIsScannedToItsEndAndNeverHeldBackWhole) {
    const size_t kSize = 50 * 1024 * 1024;
    std::string page;
    page.reserve(kSize);
    const std::string line = "<p>The weather is fine today, and the garden is in bloom.</p>\n";
    while (page.size() + line.size() < kSize - 1024) page += line;
    page += std::string("<p>") + kWord + "</p>\n";
    page.resize(kSize, '\n');
    PageServer server(page);
    const Client& curl = kClients[0];
    std::vector<LogLine> log;
    RunResult result = fetch(curl, server.url(), log);
    expect_says(result, curl.blockedExit, curl.blockedText);
    EXPECT_EQ(count(log, "BLOCK"), 1) << shown(log);
    const std::string received = read_file(file(curl));
    EXPECT_GT(received.size(), kSize / 2) << "the page was held back";
    EXPECT_LT(received.size(), kSize - 1024 + 3) << "the word reached the client";
}

}  // namespace
