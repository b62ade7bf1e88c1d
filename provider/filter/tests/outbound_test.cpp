// Outbound stream data: web requests judged by host and content, mail commands, DNS queries on
// connected sockets.
#include <string>
#include <vector>

#include "dns_messages.h"
#include "filter_harness.h"

namespace filter_test {
namespace {

std::string request(const std::string& target, const std::string& host) {
    std::string r = "GET " + target + " HTTP/1.1\r\n";
    if (!host.empty()) r += "Host: " + host + "\r\n";
    return r + "Accept: */*\r\n\r\n";
}

class OutboundTest : public FilterTest {
protected:
    void SetUp() override {
        FilterTest::SetUp();
        addStandardLists();
        addListEntry("shop.badsite.example", AllowedSite);
        load();
    }
};

TEST_F(OutboundTest, TheFirstHostHeaderIsJudgedByTheListsTheLastMatchWinning) {
    struct Case {
        std::string host;
        int verdict;
        WORD status;    // of the address afterwards
        WORD cleaning;
        bool record;    // the socket is still inspected
        std::vector<std::string> lines;  // "KIND text", all on port 80; %a stands for the address
    };
    const Case cases[] = {
        {"www.gorgonzola.example", 0, 0, 2, true, {"DENY www.gorgonzola.example (%a); disallowed content encountered."}},
        {"www." + topicWord() + ".example", 0, 0, 2, true,
         {"DENY www." + topicWord() + ".example (%a); disallowed content encountered."}},
        {"gorgonzola.search.example", 1, 2, 1, true,
         {"ALLOW gorgonzola.search.example (%a); allow list - always apply cleaning.",
          "FETCH http://gorgonzola.search.example/index.html"}},
        {"www.goodsite.example", 1, 1, 2, false, {"ALLOW www.goodsite.example (%a); allow list - leave unchanged."}},
        {"www.shop.badsite.example", 0, 0, 2, true,
         {"DENY www.shop.badsite.example (%a); disallowed content encountered."}},
        {"www.badsite.example", 0, 0, 2, true, {"DENY www.badsite.example (%a); disallowed content encountered."}},
        {"www.example.org", 1, 2, 2, true, {"FETCH http://www.example.org/index.html"}},
    };
    ASSERT_FALSE(topicWord().empty());
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        const std::string address = "192.0.2." + std::to_string(10 + n);
        const SOCKET s = 100 + n++;
        ASSERT_EQ(connect(s, address.c_str(), 80), 1);
        const std::string sent = request("/index.html", c.host);
        const Data d = send(s, sent);
        EXPECT_EQ(d.verdict, c.verdict);
        EXPECT_EQ(d.bytes, c.verdict ? sent : std::string(sent.size(), ' '));
        AddressRecord* a = addressRecord(address.c_str());
        ASSERT_NE(a, nullptr);
        EXPECT_STREQ(a->hostName, c.host.c_str());
        EXPECT_EQ(a->status, c.status);
        EXPECT_EQ(a->cleaningFlag, c.cleaning);
        EXPECT_EQ(socketRecord(s) != nullptr, c.record);
        std::vector<LogLine> expected;
        for (std::string line : c.lines) {
            size_t at = line.find("%a");
            if (at != std::string::npos) line.replace(at, 2, address);
            size_t space = line.find(' ');
            expected.push_back({line.substr(0, space), 80, line.substr(space + 1)});
        }
        EXPECT_EQ(newLog(), expected);
        EXPECT_TRUE(newAlerts().empty());
        load();
    }
}

TEST_F(OutboundTest, AnAddressNamedByDnsSkipsTheHostJudgement) {
    const std::string answer = dns_answer("www.example.org", {"192.0.2.50"});
    filter_record_site_answer(answer.data(), static_cast<DWORD>(answer.size()));
    ASSERT_EQ(connect(1, "192.0.2.50", 80), 1);
    EXPECT_EQ(send(1, request("/", kBadSite)).verdict, 1);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"FETCH", 80, "http://www.example.org/"}}));
}

TEST_F(OutboundTest, HostHeadersAreReadWithinTheirBounds) {
    const std::string longHost(300, 'h');
    struct Case {
        const char* name;
        std::string bytes;
        std::string hostName;  // as recorded for the address
    };
    const Case cases[] = {
        {"upper-case header", "GET / HTTP/1.1\r\nHOST: www.example.org\r\n\r\n", "www.example.org"},
        {"lower-case header", "GET / HTTP/1.1\r\nhost: www.example.org\r\n\r\n", "www.example.org"},
        {"no blank after the colon", "GET / HTTP/1.1\r\nHost:www.example.org\r\n\r\n", "www.example.org"},
        {"another header ending in Host first",
         "GET / HTTP/1.1\r\nX-Forwarded-Host: other.example\r\nHost: www.example.org\r\n\r\n", "www.example.org"},
        {"Host: inside another header's value", "GET / HTTP/1.1\r\nX-Note: see Host: other.example\r\n\r\n", ""},
        {"no carriage return after the value", "GET / HTTP/1.1\r\nHost: www.example.org", ""},
        {"empty value", "GET / HTTP/1.1\r\nHost:\r\n\r\n", ""},
        {"header name cut by the end of the data", "GET / HTTP/1.1\r\nHost", ""},
        {"value longer than the record holds", "GET / HTTP/1.1\r\nHost: " + longHost + "\r\n\r\n",
         longHost.substr(0, ADDRREC_HOSTNAME_SIZE - 1)},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string address = "192.0.2." + std::to_string(100 + n);
        const SOCKET s = 100 + n++;
        ASSERT_EQ(connect(s, address.c_str(), 80), 1);
        EXPECT_EQ(send(s, c.bytes).verdict, 1);
        EXPECT_STREQ(addressRecord(address.c_str())->hostName, c.hostName.c_str());
        const std::vector<LogLine> log = newLog();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].kind, "FETCH");
        EXPECT_EQ(log[0].text, ("http://" + (c.hostName.empty() ? address : c.hostName) + "/").substr(0, 254));
        load();
    }
}

TEST_F(OutboundTest, TheFetchLineShowsAtMost80CharactersOfTheTarget) {
    const std::string target = "/" + std::string(199, 'p');
    ASSERT_EQ(connect(1, "192.0.2.1", 80), 1);
    EXPECT_EQ(send(1, request(target, "www.example.org")).verdict, 1);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"FETCH", 80, "http://www.example.org" + target.substr(0, 80)}}));

    // Without a second space there is no target.
    ASSERT_EQ(connect(2, "192.0.2.2", 80), 1);
    load();
    EXPECT_EQ(send(2, "GET /nothing-after-it\r\n").verdict, 1);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"FETCH", 80, "http://192.0.2.2"}}));
}

TEST_F(OutboundTest, RequestsWithDisallowedWordsAreBlockedWithTheirCount) {
    struct Case {
        std::string target;
        const char* line;
    };
    const Case cases[] = {
        {std::string("/search?q=") + kWord, "; 1 violation."},
        {std::string("/search?q=") + kWord + "+" + kOtherWord, "; 2 violations."},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const std::string address = "192.0.2." + std::to_string(10 + n);
        const SOCKET s = 100 + n++;
        ASSERT_EQ(connect(s, address.c_str(), 80), 1);
        const std::string sent = request(c.target, "");
        const Data d = send(s, sent);
        EXPECT_EQ(d.verdict, 0);
        EXPECT_EQ(d.bytes, std::string(sent.size(), ' '));
        EXPECT_EQ(newLog(), (std::vector<LogLine>{{"FETCH", 80, "http://" + address + c.target},
                                                  {"BLOCK", 80, address + c.line}}));
        EXPECT_EQ(newAlerts(), std::vector<Alert>{kContentAlert});
        EXPECT_EQ(socketRecord(s)->blockedFlag, 1);
        EXPECT_EQ(addressRecord(address.c_str())->status, 0);
        load();

        // The socket stays blocked: a clean request is blanked and fails without a block line.
        const std::string clean = request("/", "");
        const Data again = send(s, clean);
        EXPECT_EQ(again.verdict, 0);
        EXPECT_EQ(again.bytes, std::string(clean.size(), ' '));
        EXPECT_EQ(newLog(), (std::vector<LogLine>{{"FETCH", 80, "http://" + address + "/"}}));
        EXPECT_TRUE(newAlerts().empty());
        load();
    }
}

TEST_F(OutboundTest, RequestsToCleaningSitesAreCountedButNeverBlocked) {
    ASSERT_EQ(connect(1, "192.0.2.1", 80), 1);
    const std::string sent = request(std::string("/?q=") + kWord, kSearchSite);
    const Data d = send(1, sent);
    EXPECT_EQ(d.verdict, 1);
    EXPECT_EQ(d.bytes, sent);
    EXPECT_GT(socketRecord(1)->violationCount, 0u);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{
                            {"ALLOW", 80, std::string(kSearchSite) + " (192.0.2.1); allow list - always apply cleaning."},
                            {"FETCH", 80, std::string("http://") + kSearchSite + "/?q=" + kWord}}));
    EXPECT_TRUE(newAlerts().empty());
}

TEST_F(OutboundTest, WebRequestsAreRecognisedOnAnyPort) {
    struct Case {
        std::string bytes;
        WORD port;  // of the record afterwards
        size_t lines;
    };
    const Case cases[] = {
        {"GET /a HTTP/1.0\r\n\r\n", 80, 1},
        {"POST /form HTTP/1.1\r\nHost: www.example.org\r\n\r\n", 80, 1},
        {"GET /a\r\n", 8080, 0},          // no "HTTP" on the first line
        {"GET / HT", 8080, 0},            // no carriage return, no "HTTP"
        {"GET /a HTTP/1.1", 80, 1},       // a request line cut before its carriage return
        {"HELO x\r\nGET / HTTP/1.0\r\n", 8080, 0},  // not on the first line
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::string address = "192.0.2." + std::to_string(10 + n);
        const SOCKET s = 100 + n++;
        ASSERT_EQ(connect(s, address.c_str(), 8080), 1);
        EXPECT_EQ(send(s, c.bytes).verdict, 1);
        EXPECT_EQ(socketRecord(s)->port, c.port);
        EXPECT_EQ(newLog().size(), c.lines);
        load();
    }
}

TEST_F(OutboundTest, ARequestLineCutBeforeItsCarriageReturnIsInspectedAsWeb) {
    ASSERT_EQ(connect(1, "192.0.2.1", 8080), 1);
    const std::string bytes = std::string("GET /") + kWord + " HTTP/1.1";
    EXPECT_EQ(send(1, bytes), (Data{0, std::string(bytes.size(), ' ')}));
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"FETCH", 80, std::string("http://192.0.2.1/") + kWord},
                                              {"BLOCK", 80, "192.0.2.1; 1 violation."}}));
    EXPECT_EQ(newAlerts(), std::vector<Alert>{kContentAlert});
}

TEST_F(OutboundTest, OtherProtocolsAreCountedButNeverBlocked) {
    ASSERT_EQ(connect(1, "192.0.2.1", 119), 1);
    const std::string text = std::string("POST\r\nSubject: ") + kWord + "\r\n";
    const Data d = send(1, text);
    EXPECT_EQ(d.verdict, 1);
    EXPECT_EQ(d.bytes, text);
    EXPECT_EQ(socketRecord(1)->violationCount, 1u);
    EXPECT_TRUE(newLog().empty());
}

TEST_F(OutboundTest, MailTextIsCountedOnlyBetweenDataAndItsEndMark) {
    const SOCKET s = 1;
    ASSERT_EQ(connect(s, "192.0.2.25", 25), 1);
    struct Step {
        std::string bytes;
        WORD transfer;
        DWORD count;
    };
    const Step steps[] = {
        {std::string("MAIL FROM:<") + kWord + "@example.org>\r\n", 0, 0},
        {"DATA\r\n", 1, 0},
        {std::string("Subject: ") + kWord + "\r\n\r\n" + kOtherWord + "\r\n", 1, 2},
        {".\r\n", 0, 2},
        {std::string("RCPT TO:<") + kWord + "@example.org>\r\n", 0, 2},
        {"DATA\r\n", 1, 2},
        {std::string(kWord) + "\r\n", 1, 3},
        {"\r\n.\r\n", 0, 3},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.bytes);
        const Data d = send(s, step.bytes);
        EXPECT_EQ(d.verdict, 1);
        EXPECT_EQ(d.bytes, step.bytes);
        EXPECT_EQ(socketRecord(s)->transferFlag, step.transfer);
        EXPECT_EQ(socketRecord(s)->violationCount, step.count);
    }
    EXPECT_TRUE(newLog().empty());
}

TEST_F(OutboundTest, RetrOpensMailRetrievalAndAnyOtherCommandClosesIt) {
    const SOCKET s = 1;
    ASSERT_EQ(connect(s, "192.0.2.110", 110), 1);
    const std::pair<const char*, WORD> steps[] = {{"USER x\r\n", 0}, {"RETR 1\r\n", 1}, {"LIST\r\n", 0},
                                                  {"RETR 2\r\n", 1}, {"DELE 2\r\n", 0}};
    for (const auto& step : steps) {
        EXPECT_EQ(send(s, step.first).verdict, 1);
        EXPECT_EQ(socketRecord(s)->transferFlag, step.second) << step.first;
    }
}

TEST_F(OutboundTest, ASendAfterAPassDecisionGoesOutUntouched) {
    ASSERT_EQ(connect(1, "192.0.2.1", 80), 1);
    ASSERT_EQ(send(1, request("/", kGoodSite)).verdict, 1);
    load();
    const std::string later = request(std::string("/") + kWord, kBadSite);
    const Data d = send(1, later);
    EXPECT_EQ(d.verdict, 1);
    EXPECT_EQ(d.bytes, later);
    EXPECT_TRUE(newLog().empty());
}

// Missing or empty buffers are never inspected: a blocked socket passes them, and an empty
// datagram neither opens an exchange with the name server nor ends one.
TEST_F(OutboundTest, MissingOrEmptyBuffersAreNeverInspected) {
    ASSERT_EQ(connect(1, "192.0.2.1", 80), 1);
    ASSERT_EQ(send(1, request(std::string("/") + kWord, "")).verdict, 0);
    load();
    char byte = 'x';
    EXPECT_EQ(filter_inspect_send(1, nullptr, 10), 1);
    EXPECT_EQ(filter_inspect_send(1, &byte, 0), 1);
    EXPECT_EQ(filter_inspect_recv(1, nullptr, 10), 1);
    EXPECT_EQ(filter_inspect_recv(1, &byte, 0), 1);
    EXPECT_EQ(byte, 'x');

    const sockaddr_in nameServer = ipv4("192.0.2.53", 53);
    filter_inspect_sendto(2, &byte, 0, as_sockaddr(nameServer));
    filter_inspect_sendto(2, nullptr, 10, as_sockaddr(nameServer));
    EXPECT_EQ(socketRecord(2), nullptr);
    sendto(3, dns_query("www.example.org"), "192.0.2.53", 53);
    filter_inspect_recvfrom(3, &byte, 0, nullptr);
    filter_inspect_recvfrom(3, nullptr, 10, nullptr);
    EXPECT_NE(socketRecord(3), nullptr);
    EXPECT_TRUE(newLog().empty());
}

TEST_F(OutboundTest, SecureConnectionsAreNeverInspected) {
    ASSERT_EQ(connect(1, "192.0.2.1", 443), 1);
    const std::string bytes = std::string("GET /") + kWord + " HTTP/1.1\r\n\r\n";
    EXPECT_EQ(send(1, bytes).bytes, bytes);
    EXPECT_EQ(recv(1, bytes).bytes, bytes);
    EXPECT_TRUE(newLog().empty());
}

}  // namespace
}  // namespace filter_test
