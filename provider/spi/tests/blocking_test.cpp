// Blocking calls through vtlsp with the filter allowing and refusing.
#include <lexstore.h>
#include <vtlogger.h>

#include "spi_harness.h"

namespace spi_test {
namespace {

const char kPageHead[] = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";

std::vector<std::string> log_texts() {
    std::vector<std::string> texts;
    VTLogEntry entries[64];
    for (int mark = 0, n; (n = VTLogger_ReadEntries(mark, entries, 64)) > 0; mark = entries[n - 1].id)
        for (int i = 0; i < n; ++i) texts.push_back(std::string(entries[i].kind) + " " + entries[i].text);
    return texts;
}

bool log_has(const std::string& kindAndText) {
    for (const std::string& line : log_texts())
        if (line.find(kindAndText) != std::string::npos) return true;
    return false;
}

TEST_F(ProviderTest, DataSentAndReceivedThroughTheChainArrivesUnchanged) {
    start();
    sockaddr_in bound;
    const std::string host = own_loopback_address();
    SOCKET listener = tcp_listener(host.c_str(), 0, bound);
    std::string served;
    {
        OneShotServer server(listener, [&](SOCKET peer) {
            char buffer[64];
            int got = recv(peer, buffer, sizeof(buffer), 0);
            if (got > 0) served.assign(buffer, got);
            send(peer, "pong", 4, 0);
        });
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_NE(INVALID_SOCKET, s) << WSAGetLastError();
        ASSERT_EQ(0, connect(s, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
        ASSERT_EQ(4, send(s, "ping", 4, 0)) << WSAGetLastError();
        std::string answer;
        EXPECT_EQ(0, receive_all(s, answer));
        EXPECT_EQ("pong", answer);
        EXPECT_EQ(0, closesocket(s));
    }
    EXPECT_EQ("ping", served);
}

TEST_F(ProviderTest, AConnectToADisallowedSiteIsRefusedAndNeverReachesTheServer) {
    const std::string host = own_loopback_address();
    addListEntry(host.c_str(), BlockedSite);
    start();
    sockaddr_in bound;
    SOCKET listener = tcp_listener(host.c_str(), 0, bound);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, s);
    EXPECT_EQ(SOCKET_ERROR, connect(s, as_sockaddr(bound), sizeof(bound)));
    EXPECT_EQ(WSAECONNREFUSED, WSAGetLastError());
    EXPECT_FALSE(wait_readable(listener, 300)) << "the connection reached the server";
    EXPECT_TRUE(log_has("DENY " + host + "; disallow list."));
    closesocket(s);
    closesocket(listener);
}

TEST_F(ProviderTest, AConnectWithoutANameReachesTheLowerProviderUnchecked) {
    start();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, s);
    EXPECT_EQ(SOCKET_ERROR, connect(s, nullptr, 0));
    EXPECT_EQ(WSAEFAULT, WSAGetLastError());  // the base provider's answer, not a refusal
    closesocket(s);
}

TEST_F(ProviderTest, AConnectOrSendToWithANameShorterThanItsFamilyIsAFaultAndNeverRead) {
    start();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, s);
    const struct {
        u_short family;
        int length;
    } cases[] = {{AF_INET, 15}, {AF_INET6, 23}, {AF_INET, 1}};
    for (const auto& c : cases) {
        // Exactly the given length, so that a read past it is caught.
        std::vector<char> name(c.length);
        memcpy(name.data(), &c.family, c.length < 2 ? c.length : 2);
        const sockaddr* target = reinterpret_cast<const sockaddr*>(name.data());
        EXPECT_EQ(SOCKET_ERROR, connect(s, target, c.length));
        EXPECT_EQ(WSAEFAULT, WSAGetLastError()) << "connect " << c.family << " " << c.length;
        char byte = 'x';
        WSABUF buffer{1, &byte};
        DWORD sent = 0;
        EXPECT_EQ(SOCKET_ERROR, WSASendTo(s, &buffer, 1, &sent, 0, target, c.length, nullptr, nullptr));
        EXPECT_EQ(WSAEFAULT, WSAGetLastError()) << "send-to " << c.family << " " << c.length;
    }
    closesocket(s);
}

TEST_F(ProviderTest, ADuplicatedSocketIsDescribedByTheProvidersChain) {
    start();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, s);
    WSAPROTOCOL_INFOW info{};
    ASSERT_EQ(0, WSADuplicateSocketW(s, GetCurrentProcessId(), &info)) << WSAGetLastError();
    EXPECT_EQ(tcp_chain_entry().dwCatalogEntryId, info.dwCatalogEntryId);
    EXPECT_EQ(2, info.ProtocolChain.ChainLen);
    closesocket(s);
}

struct PageCase {
    const char* name;
    std::string body;
    bool blocked;
};

class WebFetchTest : public ProviderTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(WebFetchTest, APageIsPassedByteForByteOrBlockedForADisallowedWord) {
    addListEntry(kWord, Word);
    start();
    const std::string host = own_loopback_address();
    sockaddr_in bound;
    SOCKET listener = tcp_listener(host.c_str(), 80, bound);
    const std::string page = kPageHead + GetParam().body;
    std::string request;
    int error = -1;
    std::string received;
    {
        OneShotServer server(listener, [&](SOCKET peer) {
            char buffer[1024];
            int got = recv(peer, buffer, sizeof(buffer), 0);
            if (got > 0) request.assign(buffer, got);
            send(peer, page.data(), static_cast<int>(page.size()), 0);
        });
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_EQ(0, connect(s, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
        const std::string get = "GET /index.html HTTP/1.0\r\nHost: www.example.org\r\n\r\n";
        ASSERT_EQ(static_cast<int>(get.size()), send(s, get.data(), static_cast<int>(get.size()), 0));
        error = receive_all(s, received);
        closesocket(s);
    }
    EXPECT_EQ(0u, request.find("GET /index.html"));
    if (GetParam().blocked) {
        EXPECT_EQ(WSAESHUTDOWN, error);
        EXPECT_EQ(std::string::npos, received.find(kWord));
        EXPECT_TRUE(log_has("BLOCK "));
    } else {
        EXPECT_EQ(0, error);
        EXPECT_EQ(page, received);
        EXPECT_TRUE(log_has("FETCH http://www.example.org/index.html"));
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, WebFetchTest,
                         ::testing::Values(PageCase{"Clean", "<html><body><p>Cheese of the day.</p></body></html>", false},
                                           PageCase{"Disallowed",
                                                    std::string("<html><body><p>Today: ") + kWord +
                                                        ".</p></body></html>",
                                                    true}),
                         [](const ::testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace spi_test
