// WSAStartup and WSACleanup: versions, calls made too early or too late.
#include "winsock_test_support.h"

#include "winsock_seed.h"

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(qf::seed_winsock_catalog(error)) << error;
    }
    qf_test::TempMachineRoot root_;
};

TEST_F(StartupTest, VersionsAreNegotiatedDownToTwoPointTwo) {
    struct Case {
        WORD requested;
        int result;
        WORD granted;
    };
    const Case cases[] = {
        {MAKEWORD(0, 0), WSAVERNOTSUPPORTED, 0},
        {MAKEWORD(1, 0), WSAVERNOTSUPPORTED, 0},
        {MAKEWORD(1, 1), 0, MAKEWORD(1, 1)},
        {MAKEWORD(2, 0), 0, MAKEWORD(2, 0)},
        {MAKEWORD(2, 2), 0, MAKEWORD(2, 2)},
        {MAKEWORD(3, 3), 0, MAKEWORD(2, 2)},
    };
    for (const Case& c : cases) {
        WSADATA data{};
        EXPECT_EQ(c.result, WSAStartup(c.requested, &data)) << std::hex << c.requested;
        EXPECT_EQ(MAKEWORD(2, 2), data.wHighVersion);
        if (c.result == 0) {
            EXPECT_EQ(c.granted, data.wVersion);
            EXPECT_STREQ("Running", data.szSystemStatus);
            EXPECT_EQ(0, WSACleanup());
        }
    }
    EXPECT_EQ(WSAEFAULT, WSAStartup(MAKEWORD(2, 2), nullptr));
}

TEST_F(StartupTest, CallsOutsideAStartedWinsockAreRefused) {
    EXPECT_EQ(INVALID_SOCKET, socket(AF_INET, SOCK_STREAM, 0));
    EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());
    WSASetLastError(WSAEWOULDBLOCK);
    EXPECT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
    EXPECT_EQ(SOCKET_ERROR, WSACleanup());
    EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());

    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_NE(INVALID_SOCKET, s);
    ASSERT_EQ(0, WSACleanup());
    sockaddr_in address = wstest::loopback(0);
    EXPECT_EQ(SOCKET_ERROR, bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());

    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    EXPECT_EQ(SOCKET_ERROR, closesocket(s));  // the sockets of the earlier start are gone
    EXPECT_EQ(WSAENOTSOCK, WSAGetLastError());
    struct Case {
        int af, type, protocol, error;
    };
    const Case refused[] = {
        {AF_INET6, SOCK_STREAM, 0, WSAEAFNOSUPPORT},
        {AF_INET, SOCK_SEQPACKET, 0, WSAESOCKTNOSUPPORT},
        {AF_INET, SOCK_STREAM, IPPROTO_UDP, WSAEPROTONOSUPPORT},
        {AF_UNSPEC, 0, 0, WSAEINVAL},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(INVALID_SOCKET, socket(c.af, c.type, c.protocol));
        EXPECT_EQ(c.error, WSAGetLastError()) << c.af << "/" << c.type << "/" << c.protocol;
    }
    EXPECT_EQ(0, WSACleanup());
}

}  // namespace
