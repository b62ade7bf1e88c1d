// Winsock's documented behaviour where the kernel's differs: bad pointers, the first FD_WRITE of
// an event selection, select over a socket closed meanwhile, buffer sizes, options of datagram
// sockets, the thread's error after a success, the peer's name and pending receives after a
// shutdown, and shutdown of datagram sockets. Each through the base provider and a layered one.
#include "winsock_test_support.h"

#include <sys/mman.h>

#include <cstring>
#include <thread>

using namespace wstest;

namespace {

class ConformanceTest : public WinsockTest {};

int error_of(int result) { return result == SOCKET_ERROR ? WSAGetLastError() : 0; }

// A page that the process may neither read nor write, for the length of a test.
class InaccessiblePage {
public:
    InaccessiblePage() {
        page_ = mmap(nullptr, kSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(MAP_FAILED, page_);
    }
    ~InaccessiblePage() {
        if (page_ != MAP_FAILED) munmap(page_, kSize);
    }
    char* address() const { return static_cast<char*>(page_); }

private:
    static constexpr size_t kSize = 4096;
    void* page_;
};

// A readable and writable page followed by an inaccessible one: a value that starts on the last
// bytes of the first runs into the second.
class PageEdge {
public:
    PageEdge() {
        base_ = mmap(nullptr, 2 * kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(MAP_FAILED, base_);
        if (base_ != MAP_FAILED) {
            EXPECT_EQ(0, mprotect(static_cast<char*>(base_) + kSize, kSize, PROT_NONE));
        }
    }
    ~PageEdge() {
        if (base_ != MAP_FAILED) munmap(base_, 2 * kSize);
    }
    // n bytes before the inaccessible page.
    char* before_edge(size_t n) const { return static_cast<char*>(base_) + kSize - n; }

private:
    static constexpr size_t kSize = 4096;
    void* base_;
};

TEST_P(ConformanceTest, BadPointersAnswerFaultInsteadOfCrashing) {
    InaccessiblePage page;
    PageEdge edge;
    char* const bad[] = {nullptr, reinterpret_cast<char*>(1), reinterpret_cast<char*>(0x10), page.address(),
                         edge.before_edge(2)};
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    for (char* pointer : bad) {
        SCOPED_TRACE(testing::Message() << "pointer " << static_cast<void*>(pointer));
        u_long* argument = reinterpret_cast<u_long*>(pointer);
        EXPECT_EQ(WSAEFAULT, error_of(setsockopt(client, SOL_SOCKET, SO_DONTROUTE, pointer, sizeof(BOOL))));
        EXPECT_EQ(WSAEFAULT, error_of(ioctlsocket(client, FIONBIO, argument)));
        EXPECT_EQ(WSAEFAULT, error_of(ioctlsocket(client, FIONREAD, argument)));
        EXPECT_EQ(WSAEFAULT, error_of(ioctlsocket(client, SIOCATMARK, argument)));
        int length = sizeof(int);
        EXPECT_EQ(WSAEFAULT, error_of(getsockopt(client, SOL_SOCKET, SO_RCVBUF, pointer, &length)));
        EXPECT_EQ(WSAEFAULT, error_of(getsockopt(client, SOL_SOCKET, SO_RCVBUF, pointer,
                                                 reinterpret_cast<int*>(pointer))));
        length = sizeof(sockaddr_in);
        EXPECT_EQ(WSAEFAULT, error_of(getpeername(client, reinterpret_cast<sockaddr*>(pointer), &length)));
        EXPECT_EQ(WSAEFAULT, error_of(send(client, pointer, 4, 0)));
        EXPECT_EQ(WSAEFAULT, error_of(WSAEnumNetworkEvents(client, nullptr, reinterpret_cast<LPWSANETWORKEVENTS>(pointer))));
        if (pointer) {  // with no set at all, select has nothing to wait for (WSAEINVAL)
            EXPECT_EQ(WSAEFAULT, error_of(select(0, reinterpret_cast<fd_set*>(pointer), nullptr, nullptr, nullptr)));
        }
    }
    // An option value shorter than the option is refused as well.
    BOOL on = TRUE;
    EXPECT_EQ(WSAEFAULT, error_of(setsockopt(client, SOL_SOCKET, SO_DONTROUTE, reinterpret_cast<char*>(&on), 0)));
    EXPECT_EQ(WSAEFAULT, error_of(setsockopt(client, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&on), 2)));
    EXPECT_EQ(WSAEFAULT, error_of(setsockopt(client, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&on), -1)));

    // A receive into a buffer that runs into the inaccessible page is refused before anything is
    // taken from the connection.
    EXPECT_EQ(4, send(server, "data", 4, 0));
    ASSERT_TRUE(wait_readable(client));
    EXPECT_EQ(WSAEFAULT, error_of(recv(client, edge.before_edge(2), 4, 0)));
    char received[4];
    EXPECT_EQ(4, recv(client, received, sizeof(received), 0));
    EXPECT_EQ(0, std::memcmp(received, "data", 4));
    // A value the call only reads may lie in read-only memory; one it writes may not.
    void* readOnly = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, readOnly);
    *static_cast<u_long*>(readOnly) = 1;
    ASSERT_EQ(0, mprotect(readOnly, 4096, PROT_READ));
    EXPECT_EQ(0, ioctlsocket(server, FIONBIO, static_cast<u_long*>(readOnly)));
    EXPECT_EQ(0, setsockopt(server, SOL_SOCKET, SO_KEEPALIVE, static_cast<char*>(readOnly), sizeof(BOOL)));
    EXPECT_EQ(WSAEFAULT, error_of(ioctlsocket(server, FIONREAD, static_cast<u_long*>(readOnly))));
    EXPECT_EQ(1u, *static_cast<u_long*>(readOnly));
    munmap(readOnly, 4096);
    // The last bytes before the edge are usable.
    std::memcpy(edge.before_edge(sizeof(BOOL)), &on, sizeof(BOOL));
    EXPECT_EQ(0, setsockopt(client, SOL_SOCKET, SO_KEEPALIVE, edge.before_edge(sizeof(BOOL)), sizeof(BOOL)));
    closesocket(client);
    closesocket(server);
}

TEST_P(ConformanceTest, EventSelectionOnAConnectedSocketRecordsWriteAtOnce) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    WSAEVENT event = WSACreateEvent();
    ASSERT_EQ(0, WSAEventSelect(client, event, FD_READ | FD_WRITE | FD_CLOSE));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    WSANETWORKEVENTS events{};
    ASSERT_EQ(0, WSAEnumNetworkEvents(client, event, &events));
    EXPECT_EQ(FD_WRITE, events.lNetworkEvents);
    EXPECT_EQ(0, events.iErrorCode[FD_WRITE_BIT]);

    // Data already waiting is recorded at once too.
    EXPECT_EQ(2, send(client, "hi", 2, 0));
    ASSERT_TRUE(wait_readable(server));
    ASSERT_EQ(0, WSAEventSelect(server, event, FD_READ));
    events = WSANETWORKEVENTS{};
    ASSERT_EQ(0, WSAEnumNetworkEvents(server, event, &events));
    EXPECT_EQ(FD_READ, events.lNetworkEvents);
    WSACloseEvent(event);
    closesocket(client);
    closesocket(server);
}

TEST_P(ConformanceTest, SelectReportsASocketClosedWhileItWaits) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    int result = 0, error = 0;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    std::thread waiter([&] {
        timeval wait{static_cast<LONG>(2 * kDeadlineMs / 1000), 0};
        result = select(0, &readable, nullptr, nullptr, &wait);
        error = result == SOCKET_ERROR ? WSAGetLastError() : 0;
    });
    Sleep(100);  // the select is waiting by now; the outcome is the same if it is not
    EXPECT_EQ(0, closesocket(listener));
    waiter.join();
    EXPECT_EQ(1, result) << "error " << error;
    ASSERT_EQ(1u, readable.fd_count);
    EXPECT_EQ(listener, readable.fd_array[0]);
}

TEST_P(ConformanceTest, BufferSizesReadBackAsTheyWereSet) {
    const int sizes[] = {0, 1, 512, 8192, 65536, 1 << 20};
    for (int type : {SOCK_STREAM, SOCK_DGRAM}) {
        SOCKET s = socket(AF_INET, type, 0);
        ASSERT_NE(INVALID_SOCKET, s);
        for (int option : {SO_SNDBUF, SO_RCVBUF}) {
            for (int size : sizes) {
                SCOPED_TRACE(testing::Message() << "type " << type << " option " << option << " size " << size);
                ASSERT_EQ(0, setsockopt(s, SOL_SOCKET, option, reinterpret_cast<const char*>(&size), sizeof(size)));
                int value = -1, length = sizeof(value);
                ASSERT_EQ(0, getsockopt(s, SOL_SOCKET, option, reinterpret_cast<char*>(&value), &length));
                EXPECT_EQ(size, value);
                EXPECT_EQ(static_cast<int>(sizeof(int)), length);
            }
        }
        closesocket(s);
    }
}

TEST_P(ConformanceTest, LingerIsNoOptionOfADatagramSocket) {
    sockaddr_in address;
    SOCKET datagram = udp_socket(address);
    LINGER linger{};
    int length = sizeof(linger);
    EXPECT_EQ(WSAENOPROTOOPT, error_of(getsockopt(datagram, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&linger), &length)));
    BOOL dontLinger = FALSE;
    length = sizeof(dontLinger);
    EXPECT_EQ(WSAENOPROTOOPT,
              error_of(getsockopt(datagram, SOL_SOCKET, SO_DONTLINGER, reinterpret_cast<char*>(&dontLinger), &length)));
    closesocket(datagram);

    SOCKET stream = socket(AF_INET, SOCK_STREAM, 0);
    length = sizeof(linger);
    EXPECT_EQ(0, getsockopt(stream, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&linger), &length));
    EXPECT_EQ(static_cast<int>(sizeof(LINGER)), length);
    closesocket(stream);
}

TEST_P(ConformanceTest, SuccessfulTransfersAndReadingSoErrorClearTheThreadsError) {
    sockaddr_in first, second;
    SOCKET a = udp_socket(first);
    SOCKET b = udp_socket(second);
    char text[] = "clear";
    WSABUF buffer{5, text};
    DWORD bytes = 0;
    WSASetLastError(WSAEWOULDBLOCK);
    ASSERT_EQ(0, WSASendTo(a, &buffer, 1, &bytes, 0, reinterpret_cast<sockaddr*>(&second), sizeof(second), nullptr, nullptr));
    EXPECT_EQ(0, WSAGetLastError());

    ASSERT_TRUE(wait_readable(b));
    char received[16];
    WSABUF into{sizeof(received), received};
    DWORD flags = 0;
    WSASetLastError(WSAEWOULDBLOCK);
    ASSERT_EQ(0, WSARecvFrom(b, &into, 1, &bytes, &flags, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, WSAGetLastError());

    WSASetLastError(WSAECONNRESET);
    int error = -1, length = sizeof(error);
    ASSERT_EQ(0, getsockopt(a, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length));
    EXPECT_EQ(0, WSAGetLastError());
    closesocket(a);
    closesocket(b);
}

TEST_P(ConformanceTest, PeerNameOutlivesAShutdownOfBothDirections) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    sockaddr_in before{}, after{};
    int length = sizeof(before);
    ASSERT_EQ(0, getpeername(client, reinterpret_cast<sockaddr*>(&before), &length));
    ASSERT_EQ(0, shutdown(client, SD_BOTH));
    // The peer reads the end and closes too: the kernel lets go of the connection.
    ASSERT_TRUE(wait_readable(server));
    char byte;
    EXPECT_EQ(0, recv(server, &byte, 1, 0));
    closesocket(server);
    ASSERT_TRUE(wait_readable(client));
    length = sizeof(after);
    ASSERT_EQ(0, getpeername(client, reinterpret_cast<sockaddr*>(&after), &length)) << WSAGetLastError();
    EXPECT_EQ(static_cast<int>(sizeof(sockaddr_in)), length);
    EXPECT_EQ(before.sin_port, after.sin_port);
    EXPECT_EQ(before.sin_addr.s_addr, after.sin_addr.s_addr);
    closesocket(client);
}

TEST_P(ConformanceTest, PendingReceiveGetsDataThatArrivesAfterAReceiveShutdown) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    char buffer[16] = {};
    WSABUF wsabuf{sizeof(buffer), buffer};
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    DWORD received = 0, flags = 0;
    ASSERT_EQ(SOCKET_ERROR, WSARecv(server, &wsabuf, 1, &received, &flags, &overlapped, nullptr));
    ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    ASSERT_EQ(0, shutdown(server, SD_RECEIVE));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(overlapped.hEvent, 100));  // nothing ends it yet

    EXPECT_EQ(4, send(client, "late", 4, 0));
    DWORD transferred = 0;
    ASSERT_TRUE(overlapped_result(server, overlapped, transferred, flags)) << WSAGetLastError();
    EXPECT_EQ(4u, transferred);
    EXPECT_EQ(0, std::memcmp(buffer, "late", 4));
    // A receive begun after the shutdown is refused.
    EXPECT_EQ(WSAESHUTDOWN, error_of(recv(server, buffer, sizeof(buffer), 0)));
    WSACloseEvent(overlapped.hEvent);
    closesocket(client);
    closesocket(server);
}

TEST_P(ConformanceTest, DatagramShutdownRefusesOneDirectionAndLeavesTheOther) {
    sockaddr_in firstAddress, secondAddress;
    SOCKET first = udp_socket(firstAddress);
    SOCKET second = udp_socket(secondAddress);
    const sockaddr* toFirst = reinterpret_cast<const sockaddr*>(&firstAddress);
    const sockaddr* toSecond = reinterpret_cast<const sockaddr*>(&secondAddress);
    char buffer[16];

    ASSERT_EQ(0, shutdown(second, SD_RECEIVE));
    EXPECT_EQ(WSAESHUTDOWN, error_of(recvfrom(second, buffer, sizeof(buffer), 0, nullptr, nullptr)));
    EXPECT_EQ(3, sendto(second, "out", 3, 0, toFirst, sizeof(firstAddress)));  // sending goes on
    ASSERT_TRUE(wait_readable(first));
    EXPECT_EQ(3, recvfrom(first, buffer, sizeof(buffer), 0, nullptr, nullptr));

    ASSERT_EQ(0, shutdown(first, SD_SEND));
    EXPECT_EQ(WSAESHUTDOWN, error_of(sendto(first, "no", 2, 0, toSecond, sizeof(secondAddress))));
    EXPECT_EQ(2, sendto(second, "in", 2, 0, toFirst, sizeof(firstAddress)));  // receiving goes on
    ASSERT_TRUE(wait_readable(first));
    EXPECT_EQ(2, recvfrom(first, buffer, sizeof(buffer), 0, nullptr, nullptr));

    ASSERT_EQ(0, shutdown(second, SD_BOTH));
    EXPECT_EQ(WSAESHUTDOWN, error_of(sendto(second, "no", 2, 0, toFirst, sizeof(firstAddress))));
    closesocket(first);
    closesocket(second);
}

INSTANTIATE_TEST_SUITE_P(Stacks, ConformanceTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

}  // namespace
