// Site names: DNS queries for forbidden names are spoiled, DNS answers fill the address table,
// and the datagram hooks.
#include <string>
#include <vector>

#include "dns_messages.h"
#include "filter_harness.h"

namespace filter_test {
namespace {

const char kNameServer[] = "192.0.2.53";

class SiteNameTest : public FilterTest {
protected:
    void SetUp() override {
        FilterTest::SetUp();
        addStandardLists();
        addListEntry("shop.badsite.example", AllowedSite);
        load();
    }

    // A query through the datagram hook, as a resolver sends it.
    std::string query(SOCKET s, const std::string& name) { return sendto(s, dns_query(name), kNameServer, 53); }
};

TEST_F(SiteNameTest, QueriesForForbiddenNamesAreSpoiledAndAnnounced) {
    struct Case {
        std::string name;
        bool spoiled;
    };
    const Case cases[] = {
        {"www.badsite.example", true},            // a disallowed site
        {"www.gorgonzola.example", true},         // a disallowed word
        {"www." + topicWord() + ".example", true},  // a topic word
        {"gorgonzola.search.example", true},      // a cleaning site is no exception
        {"gorgonzola.goodsite.example", false},   // unchanged sites go out untouched
        {"shop.badsite.example", false},
        {"www.example.org", false},
    };
    ASSERT_FALSE(topicWord().empty());
    SOCKET s = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string original = dns_query(c.name);
        const std::string sent = query(++s, c.name);
        EXPECT_EQ(sent.size(), original.size());
        EXPECT_EQ(sent != original, c.spoiled);
        const std::vector<LogLine> line = {{"BLOCK", 53, "Violation in site name (" + c.name + ")"}};
        EXPECT_EQ(newLog(), c.spoiled ? line : std::vector<LogLine>{});
        EXPECT_EQ(newAlerts(), c.spoiled ? std::vector<Alert>{kSiteNameAlert} : std::vector<Alert>{});
        load();
    }
}

TEST_F(SiteNameTest, AnswersRecordEachAddressWithTheListStatusOfTheName) {
    struct Case {
        const char* name;
        std::vector<std::string> addresses;
        WORD status;
        WORD cleaning;
    };
    const Case cases[] = {
        {"www.goodsite.example", {"192.0.2.1", "192.0.2.2", "192.0.2.3"}, 1, 2},
        {"www.search.example", {"192.0.2.4"}, 2, 1},
        {"www.badsite.example", {"192.0.2.5", "192.0.2.6"}, 0, 2},
        {"www.example.org", {"192.0.2.7"}, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string answer = dns_answer(c.name, c.addresses);
        filter_record_site_answer(answer.data(), static_cast<DWORD>(answer.size()));
        for (const std::string& a : c.addresses) {
            AddressRecord* r = addressRecord(a.c_str());
            ASSERT_NE(r, nullptr) << a;
            EXPECT_EQ(r->status, c.status);
            EXPECT_STREQ(r->hostName, c.name);
            EXPECT_EQ(r->cleaningFlag, c.cleaning);
        }
    }
    EXPECT_TRUE(newLog().empty());
}

TEST_F(SiteNameTest, AnAnswerResetsAnAddressBlockedForItsContent) {
    ASSERT_EQ(connect(1, "192.0.2.20", 80), 1);
    ASSERT_EQ(send(1, std::string("GET /") + kWord + " HTTP/1.0\r\n\r\n").verdict, 0);
    ASSERT_EQ(addressRecord("192.0.2.20")->status, 0);

    const std::string answer = dns_answer("www.example.org", {"192.0.2.20"});
    filter_record_site_answer(answer.data(), static_cast<DWORD>(answer.size()));
    EXPECT_EQ(addressRecord("192.0.2.20")->status, 2);
    load();
    EXPECT_EQ(connect(2, "192.0.2.20", 80), 1);
    EXPECT_TRUE(newLog().empty());
}

TEST_F(SiteNameTest, ADatagramExchangeWithTheNameServerLastsForOneAnswer) {
    const SOCKET s = 7;
    const std::string sent = query(s, "www.example.org");
    ASSERT_NE(socketRecord(s), nullptr);
    EXPECT_EQ(socketRecord(s)->port, 53);

    recvfrom(s, dns_answer("www.example.org", {"192.0.2.30"}));
    EXPECT_EQ(socketRecord(s), nullptr);
    ASSERT_NE(addressRecord("192.0.2.30"), nullptr);

    // A later datagram is no answer to a query: it is not recorded.
    recvfrom(s, dns_answer("www.example.org", {"192.0.2.31"}));
    EXPECT_EQ(addressRecord("192.0.2.31"), nullptr);
}

TEST_F(SiteNameTest, ASocketConnectedToTheNameServerKeepsItsRecord) {
    const SOCKET s = 8;
    ASSERT_EQ(connect(s, kNameServer, 53), 1);
    recvfrom(s, dns_answer("www.example.org", {"192.0.2.40"}));
    ASSERT_NE(addressRecord("192.0.2.40"), nullptr);
    ASSERT_NE(socketRecord(s), nullptr);

    // Later queries on it are still inspected, sent with or without a destination.
    const std::string original = dns_query("www.badsite.example");
    EXPECT_NE(send(s, original).bytes, original);
    std::string datagram = original;
    filter_inspect_sendto(s, &datagram[0], static_cast<DWORD>(datagram.size()), nullptr);
    EXPECT_NE(datagram, original);
    EXPECT_EQ(newLog().size(), 2u);
    ASSERT_NE(socketRecord(s), nullptr);

    // And answers received through the stream hook are recorded too.
    EXPECT_EQ(recv(s, dns_answer("www.example.org", {"192.0.2.41"})).verdict, 1);
    EXPECT_NE(addressRecord("192.0.2.41"), nullptr);
}

// On a stream, each DNS message travels behind its two-byte length.
TEST_F(SiteNameTest, StreamMessagesBehindTheirLengthAreInspectedToo) {
    auto framed = [](const std::string& message) {
        std::string m;
        put16(m, static_cast<uint16_t>(message.size()));
        return m + message;
    };
    const SOCKET s = 9;
    ASSERT_EQ(connect(s, kNameServer, 53), 1);
    const std::string query = framed(dns_query("www.badsite.example"));
    const Data sent = send(s, query);
    EXPECT_EQ(sent.verdict, 1);
    EXPECT_EQ(sent.bytes.substr(0, 2), query.substr(0, 2));
    EXPECT_NE(sent.bytes, query);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"BLOCK", 53, "Violation in site name (www.badsite.example)"}}));

    EXPECT_EQ(recv(s, framed(dns_answer("www.example.org", {"192.0.2.42"}))).verdict, 1);
    ASSERT_NE(addressRecord("192.0.2.42"), nullptr);
    EXPECT_STREQ(addressRecord("192.0.2.42")->hostName, "www.example.org");
}

TEST_F(SiteNameTest, OtherDatagramsAreScannedButNeverChanged) {
    const std::string text = std::string("chat: ") + kWord + " and " + kPhrase;
    EXPECT_EQ(sendto(1, text, "192.0.2.60", 9999), text);
    EXPECT_EQ(recvfrom(1, text), text);
    EXPECT_EQ(recvfrom(2, text), text);  // no record at all
    EXPECT_EQ(socketRecord(1), nullptr);
    EXPECT_TRUE(newLog().empty());
    EXPECT_TRUE(newAlerts().empty());
}

}  // namespace
}  // namespace filter_test
