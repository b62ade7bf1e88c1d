// A typical web page from the name look-up to the close, as a browser makes the calls.
#include <string>
#include <vector>

#include "dns_messages.h"
#include "filter_harness.h"

namespace filter_test {
namespace {

const char kSite[] = "www.example.org";
const char kSiteAddress[] = "93.184.216.34";
const SOCKET kResolver = 3;
const SOCKET kBrowser = 4;

class WebPageTest : public FilterTest {
protected:
    void SetUp() override {
        FilterTest::SetUp();
        addStandardLists();
        load();
    }

    // Look-up and connect: the answer names the address, the connect passes the gate.
    void resolveAndConnect() {
        const std::string query = dns_query(kSite, 0x4242);
        ASSERT_EQ(sendto(kResolver, query, "192.0.2.53", 53), query);
        recvfrom(kResolver, dns_answer(kSite, {kSiteAddress}, 0x4242));
        ASSERT_EQ(socketRecord(kResolver), nullptr);
        AddressRecord* a = addressRecord(kSiteAddress);
        ASSERT_NE(a, nullptr);
        EXPECT_STREQ(a->hostName, kSite);
        EXPECT_EQ(a->status, 2);

        ASSERT_EQ(connect(kBrowser, kSiteAddress, 80), 1);
        const std::string request = std::string("GET /news/today.html HTTP/1.1\r\nHost: ") + kSite +
                                    "\r\nUser-Agent: Test/1.0\r\nAccept: text/html\r\n\r\n";
        const Data sent = send(kBrowser, request);
        ASSERT_EQ(sent, (Data{1, request}));
    }
};

TEST_F(WebPageTest, APageWithTwoDisallowedWordsIsBlockedAndTheSiteRefusedAfterwards) {
    resolveAndConnect();
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>";
    EXPECT_EQ(recv(kBrowser, head), (Data{1, head}));
    const std::string body = std::string("<p>Today: ") + kWord + " meets " + kOtherWord + ".</p></body></html>";
    EXPECT_EQ(recv(kBrowser, body), (Data{0, std::string(body.size(), ' ')}));
    close(kBrowser);
    EXPECT_EQ(socketRecord(kBrowser), nullptr);

    // The address now stays refused, named in the line.
    EXPECT_EQ(connect(kBrowser + 1, kSiteAddress, 80), 0);

    EXPECT_EQ(newLog(), (std::vector<LogLine>{
                            {"FETCH", 80, "http://www.example.org/news/today.html"},
                            {"BLOCK", 80, "www.example.org (93.184.216.34); 2 violations."},
                            {"DENY", 80, "www.example.org (93.184.216.34); disallowed content encountered previously."},
                        }));
    EXPECT_EQ(newAlerts(), std::vector<Alert>{kContentAlert});
}

TEST_F(WebPageTest, ACleanPageArrivesUnchanged) {
    resolveAndConnect();
    const std::string page =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body><p>Fine weather.</p></body></html>";
    EXPECT_EQ(recv(kBrowser, page), (Data{1, page}));
    close(kBrowser);
    EXPECT_EQ(connect(kBrowser + 1, kSiteAddress, 80), 1);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"FETCH", 80, "http://www.example.org/news/today.html"}}));
    EXPECT_TRUE(newAlerts().empty());
}

TEST_F(WebPageTest, ALookUpOfADisallowedSiteIsSpoiledAndItsAddressRefused) {
    const std::string name = std::string("www.") + kBadSite;
    const std::string query = dns_query(name);
    EXPECT_NE(sendto(kResolver, query, "192.0.2.53", 53), query);
    // Had the answer come anyway, the address is refused at the gate.
    recvfrom(kResolver, dns_answer(name, {"192.0.2.66"}));
    EXPECT_EQ(connect(kBrowser, "192.0.2.66", 80), 0);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{
                            {"BLOCK", 53, "Violation in site name (www.badsite.example)"},
                            {"DENY", 80, "www.badsite.example (192.0.2.66); disallowed content encountered previously."},
                        }));
    EXPECT_EQ(newAlerts(), std::vector<Alert>{kSiteNameAlert});
}

}  // namespace
}  // namespace filter_test
