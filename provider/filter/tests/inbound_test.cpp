// Inbound stream data: rating labels, disallowed words, cleaning, mail retrieval and the other
// protocols.
#include <string.h>

#include <string>
#include <vector>

#include "filter_harness.h"

namespace filter_test {
namespace {

const char kCleanPage[] = "<html><body><p>The weather is fine today.</p></body></html>";

std::string rsac_page(const char* ratings) {
    return std::string("<html><head><META http-equiv=\"PICS-Label\" content='(PICS-1.1 "
                       "\"http://www.rsac.org/ratingsv01.html\" l r (") +
           ratings + "))'></head><body>";
}

std::string safesurf_page(const char* ratings) {
    return std::string("<html><head><meta http-equiv=\"PICS-Label\" content='(PICS-1.1 "
                       "\"http://www.classify.org/safesurf/\" l r (") +
           ratings + "))'></head><body>";
}

class InboundTest : public FilterTest {
protected:
    // The lists, the load, and a web connection whose first request names its host (none when
    // host is empty).
    void start(const char* host = "www.example.org") {
        addStandardLists();
        load();
        ASSERT_EQ(connect(kSocket, kAddress, 80), 1);
        std::string request = "GET / HTTP/1.1\r\n";
        if (host[0]) request += std::string("Host: ") + host + "\r\n";
        ASSERT_EQ(send(kSocket, request + "\r\n").verdict, 1);
        load();
    }

    static Data blanked(const std::string& bytes) { return {0, std::string(bytes.size(), ' ')}; }

    const SOCKET kSocket = 5;
    const char* const kAddress = "192.0.2.1";
};

TEST_F(InboundTest, ARatingAboveTheRsacLevelsBlocksTheSiteOnAnyChunk) {
    setRsac(1, 0, 0, 0, 0);
    start();
    EXPECT_EQ(recv(kSocket, kCleanPage), (Data{1, kCleanPage}));
    const std::string rated = rsac_page("n 4 s 0 v 0 l 0");
    EXPECT_EQ(recv(kSocket, rated), blanked(rated));
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"BLOCK", 80, "www.example.org (192.0.2.1); Due to RSACi rating."}}));
    EXPECT_EQ(newAlerts(), (std::vector<Alert>{{"Quillfence Warning",
                                                "RSACi rating indicates undesirable content.\nQuillfence has blocked "
                                                "your access to this site."}}));
    EXPECT_EQ(addressRecord(kAddress)->status, 0);
    load();

    // The socket stays blocked, without another line.
    EXPECT_EQ(recv(kSocket, kCleanPage), blanked(kCleanPage));
    EXPECT_TRUE(newLog().empty());
    EXPECT_TRUE(newAlerts().empty());
}

TEST_F(InboundTest, WithRsacDisabledASafeSurfRatingAboveItsLevelsBlocks) {
    setSafeSurf(1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    start("");
    const std::string rated = safesurf_page("SS~~004 5") + rsac_page("n 4");
    EXPECT_EQ(recv(kSocket, rated), blanked(rated));
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"BLOCK", 80, "192.0.2.1; Due to SafeSurf rating."}}));
    EXPECT_EQ(newAlerts(), (std::vector<Alert>{{"Quillfence Warning",
                                                "SafeSurf rating indicates undesirable content.\nQuillfence has "
                                                "blocked your access to this site."}}));
}

TEST_F(InboundTest, AnAcceptablyRatedPageWithTwoDisallowedWordsIsBlocked) {
    setRsac(1, 4, 4, 4, 4);
    start();
    const std::string page = rsac_page("n 0 s 0 v 0 l 0") + "<p>" + kWord + " and " + kOtherWord + "</p>";
    EXPECT_EQ(recv(kSocket, page), blanked(page));
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"BLOCK", 80, "www.example.org (192.0.2.1); 2 violations."}}));
    EXPECT_EQ(newAlerts(), std::vector<Alert>{kContentAlert});
}

TEST_F(InboundTest, WordsPhrasesAndTopicWordsAllCount) {
    start("");
    const std::string page = std::string("<p>") + kPhrase + " " + topicWord() + "</p>";
    ASSERT_FALSE(topicWord().empty());
    EXPECT_EQ(recv(kSocket, page), blanked(page));
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"BLOCK", 80, "192.0.2.1; 2 violations."}}));
}

TEST_F(InboundTest, PagesFromCleaningSitesAreCleanedAndNeverJudged) {
    setRsac(1, 0, 0, 0, 0);
    start(kSearchSite);
    const std::string page = rsac_page("n 4") + "<p>results for " + kWord + "</p>";
    const Data d = recv(kSocket, page);
    EXPECT_EQ(d.verdict, 1);
    ASSERT_EQ(d.bytes.size(), page.size());
    EXPECT_EQ(d.bytes.find(kWord), std::string::npos);
    EXPECT_NE(d.bytes.find("results for"), std::string::npos);
    EXPECT_TRUE(newLog().empty());
    EXPECT_TRUE(newAlerts().empty());
    EXPECT_EQ(addressRecord(kAddress)->status, 2);
}

TEST_F(InboundTest, OnlyTheBytesReceivedInThisCallAreInspected) {
    start();
    // The buffer still holds an earlier call's bytes beyond what this call received.
    std::string buffer = std::string(kCleanPage) + "<p>" + kWord + "</p>";
    const DWORD received = static_cast<DWORD>(strlen(kCleanPage));
    EXPECT_EQ(filter_inspect_recv(kSocket, &buffer[0], received), 1);
    EXPECT_EQ(buffer, std::string(kCleanPage) + "<p>" + kWord + "</p>");
    EXPECT_TRUE(newLog().empty());
}

TEST_F(InboundTest, OtherProtocolsAreCountedAndNeverBlocked) {
    addStandardLists();
    load();
    const std::string mail = std::string("Subject: ") + kWord + "\r\n\r\n" + kOtherWord + "\r\n";
    struct Case {
        u_short port;
        const char* command;  // sent before the receive, if any
        DWORD count;
    };
    const Case cases[] = {
        {110, nullptr, 0},    // retrieval not opened
        {110, "RETR 1\r\n", 2},
        {110, "LIST\r\n", 0},
        {25, nullptr, 0},     // never scanned on receive
        {119, nullptr, 2},
        {6667, nullptr, 2},
    };
    SOCKET s = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        ASSERT_EQ(connect(++s, "192.0.2.9", c.port), 1);
        if (c.command) send(s, c.command);
        EXPECT_EQ(recv(s, mail), (Data{1, mail}));
        EXPECT_EQ(socketRecord(s)->violationCount, c.count);
    }
    EXPECT_TRUE(newLog().empty());
    EXPECT_TRUE(newAlerts().empty());
}

}  // namespace
}  // namespace filter_test
