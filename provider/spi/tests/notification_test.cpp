// Readiness through vtlsp: select over the application's own handles, and WSAAsyncSelect
// messages re-posted with the program's own window, message number and handle.
#include "spi_harness.h"

namespace spi_test {
namespace {

const UINT kMessage = WM_USER + 7;

class NotificationTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (HasFatalFailure()) return;
        start();
        host_ = own_loopback_address();
    }
    // A client through the chain connected to a server socket accepted from listener.
    void connectPair(SOCKET listener, const sockaddr_in& bound, SOCKET& client, SOCKET& server) {
        client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_NE(INVALID_SOCKET, client);
        ASSERT_EQ(0, connect(client, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
        ASSERT_TRUE(wait_readable(listener, kDeadlineMs));
        server = accept(listener, nullptr, nullptr);
        ASSERT_NE(INVALID_SOCKET, server) << WSAGetLastError();
    }
    std::string host_;
};

// A set larger than this build's FD_SETSIZE, as a program may build one.
struct BigSet {
    u_int fd_count;
    SOCKET fd_array[FD_SETSIZE + 1];
};

TEST_F(NotificationTest, SelectOverSixtyFourSocketsAnswersWithTheProgramsOwnHandles) {
    sockaddr_in bound;
    SOCKET listener = tcp_listener(host_.c_str(), 0, bound);
    SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
    connectPair(listener, bound, client, server);
    if (HasFatalFailure()) return;
    // 63 idle listeners and the client, which has data waiting.
    BigSet set{};
    std::vector<SOCKET> idle;
    for (int i = 0; i < FD_SETSIZE - 1; ++i) {
        sockaddr_in unused;
        idle.push_back(tcp_listener(host_.c_str(), 0, unused));
        set.fd_array[set.fd_count++] = idle.back();
    }
    set.fd_array[set.fd_count++] = client;
    ASSERT_EQ(1, send(server, "x", 1, 0));
    ASSERT_TRUE(wait_readable(client, kDeadlineMs));
    timeval wait{2, 0};
    EXPECT_EQ(1, select(0, reinterpret_cast<fd_set*>(&set), nullptr, nullptr, &wait)) << WSAGetLastError();
    ASSERT_EQ(1u, set.fd_count);
    EXPECT_EQ(client, set.fd_array[0]);

    // One more than 64 is refused.
    set.fd_count = 0;
    for (SOCKET s : idle) set.fd_array[set.fd_count++] = s;
    set.fd_array[set.fd_count++] = client;
    set.fd_array[set.fd_count++] = listener;
    ASSERT_EQ(FD_SETSIZE + 1u, set.fd_count);
    EXPECT_EQ(SOCKET_ERROR, select(0, reinterpret_cast<fd_set*>(&set), nullptr, nullptr, &wait));
    EXPECT_EQ(WSAENOBUFS, WSAGetLastError());

    for (SOCKET s : idle) closesocket(s);
    closesocket(client);
    closesocket(server);
    closesocket(listener);
}

TEST_F(NotificationTest, AsyncSelectMessagesCarryTheProgramsHandleAndMessageNumber) {
    sockaddr_in bound;
    SOCKET listener = tcp_listener(host_.c_str(), 0, bound);
    SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
    connectPair(listener, bound, client, server);
    if (HasFatalFailure()) return;
    MessageWindow window;
    ASSERT_EQ(0, WSAAsyncSelect(client, window.handle(), kMessage, FD_READ | FD_CLOSE)) << WSAGetLastError();
    ASSERT_EQ(1, send(server, "x", 1, 0));
    MSG message;
    ASSERT_TRUE(window.wait_for_event(kMessage, client, FD_READ, message));
    EXPECT_EQ(window.handle(), message.hwnd);
    EXPECT_EQ(0, WSAGETSELECTERROR(message.lParam));
    char data[4];
    EXPECT_EQ(1, recv(client, data, sizeof(data), 0));
    closesocket(server);
    ASSERT_TRUE(window.wait_for_event(kMessage, client, FD_CLOSE, message));
    closesocket(client);
    closesocket(listener);
}

TEST_F(NotificationTest, NotificationsAndOverlappedRequestsWorkAgainAfterWinsockStartsAnew) {
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            // The last clean-up tears the provider down; its window class stays registered.
            ASSERT_EQ(0, WSACleanup());
            WSADATA data;
            ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
        }
        sockaddr_in bound;
        SOCKET listener = tcp_listener(host_.c_str(), 0, bound);
        SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
        connectPair(listener, bound, client, server);
        if (HasFatalFailure()) return;
        MessageWindow window;
        ASSERT_EQ(0, WSAAsyncSelect(client, window.handle(), kMessage, FD_READ)) << "round " << round;
        char data[4] = {};
        WSABUF buffer{sizeof(data), data};
        WSAOVERLAPPED overlapped{};
        overlapped.hEvent = WSACreateEvent();
        DWORD flags = 0;
        ASSERT_EQ(SOCKET_ERROR, WSARecv(client, &buffer, 1, nullptr, &flags, &overlapped, nullptr));
        ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
        ASSERT_EQ(1, send(server, "z", 1, 0));
        DWORD bytes = 0;
        EXPECT_TRUE(wait_overlapped(client, overlapped, bytes, flags)) << "round " << round;
        EXPECT_EQ(1u, bytes);
        ASSERT_EQ(1, send(server, "w", 1, 0));
        MSG message;
        EXPECT_TRUE(window.wait_for_event(kMessage, client, FD_READ, message)) << "round " << round;
        WSACloseEvent(overlapped.hEvent);
        closesocket(client);
        closesocket(server);
        closesocket(listener);
    }
}

TEST_F(NotificationTest, AnAcceptedSocketSharesTheListenersSelectionFromItsFirstNotification) {
    sockaddr_in bound;
    SOCKET listener = tcp_listener(host_.c_str(), 0, bound);
    MessageWindow window;
    ASSERT_EQ(0, WSAAsyncSelect(listener, window.handle(), kMessage, FD_ACCEPT | FD_READ)) << WSAGetLastError();
    // The client is the base provider's own socket: only the server side goes through vtlsp here.
    WSAPROTOCOL_INFOW base{};
    for (const auto& entry : enumerate_catalog())
        if (entry.ProtocolChain.ChainLen == BASE_PROTOCOL && entry.iSocketType == SOCK_STREAM) base = entry;
    SOCKET client = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, &base, 0, 0);
    ASSERT_NE(INVALID_SOCKET, client);
    ASSERT_EQ(0, connect(client, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
    ASSERT_EQ(5, send(client, "early", 5, 0));
    MSG message;
    ASSERT_TRUE(window.wait_for_event(kMessage, listener, FD_ACCEPT, message));
    SOCKET accepted = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, accepted) << WSAGetLastError();
    ASSERT_TRUE(window.wait_for_event(kMessage, accepted, FD_READ, message));
    char data[8] = {};
    EXPECT_EQ(5, recv(accepted, data, sizeof(data), 0));
    closesocket(accepted);
    closesocket(client);
    closesocket(listener);
}

}  // namespace
}  // namespace spi_test
