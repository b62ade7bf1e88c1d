// TCP and UDP over loopback through the runtime, with the base provider alone and through the
// pass-through layered provider: blocking, non-blocking, overlapped (event, completion routine,
// completion port), window messages, event selection, select, accept and AcceptEx.
#include "winsock_test_support.h"

#include "linux_probe.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

using namespace wstest;

namespace {

class TransportTest : public WinsockTest {};

int last_error_of(int result) { return result == SOCKET_ERROR ? WSAGetLastError() : 0; }

TEST_P(TransportTest, BlockingStreamCarriesDataBothWaysAndEndsWithZero) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    DWORD deadline = 2 * kDeadlineMs;  // the writer cannot outlive a reader that gave up
    ASSERT_EQ(0, setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<char*>(&deadline), sizeof(deadline)));
    const std::string request(100000, 'q');  // more than one kernel buffer's worth
    std::thread writer([&] { EXPECT_EQ(static_cast<int>(request.size()), send(client, request.data(), static_cast<int>(request.size()), 0)); });
    EXPECT_EQ(request, receive_exactly(server, request.size()));
    writer.join();
    EXPECT_EQ(5, send(server, "reply", 5, 0));
    EXPECT_EQ("reply", receive_exactly(client, 5));

    sockaddr_in peer{}, local{};
    int length = sizeof(peer);
    ASSERT_EQ(0, getpeername(server, reinterpret_cast<sockaddr*>(&peer), &length));
    length = sizeof(local);
    ASSERT_EQ(0, getsockname(client, reinterpret_cast<sockaddr*>(&local), &length));
    EXPECT_EQ(local.sin_port, peer.sin_port);
    EXPECT_EQ(htonl(INADDR_LOOPBACK), peer.sin_addr.s_addr);

    ASSERT_EQ(0, shutdown(client, SD_SEND));
    char byte;
    ASSERT_TRUE(wait_readable(server));
    EXPECT_EQ(0, recv(server, &byte, 1, 0));  // the peer's end of stream
    EXPECT_EQ(SOCKET_ERROR, send(client, "x", 1, 0));
    EXPECT_EQ(WSAESHUTDOWN, WSAGetLastError());
    EXPECT_EQ(0, closesocket(client));
    EXPECT_EQ(0, closesocket(server));
    EXPECT_EQ(SOCKET_ERROR, closesocket(server));
    EXPECT_EQ(WSAENOTSOCK, WSAGetLastError());
}

TEST_P(TransportTest, NonBlockingCallsReportWouldBlockAndConnectInProgress) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    u_long on = 1;
    ASSERT_EQ(0, ioctlsocket(listener, FIONBIO, &on));
    EXPECT_EQ(INVALID_SOCKET, accept(listener, nullptr, nullptr));
    EXPECT_EQ(WSAEWOULDBLOCK, WSAGetLastError());

    SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(0, ioctlsocket(client, FIONBIO, &on));
    int result = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    if (result == SOCKET_ERROR) {
        EXPECT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
    }
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(client, &writable);
    timeval wait{10, 0};
    ASSERT_EQ(1, select(0, nullptr, &writable, nullptr, &wait));
    EXPECT_TRUE(FD_ISSET(client, &writable));

    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    ASSERT_EQ(1, select(0, &readable, nullptr, nullptr, &wait));
    SOCKET server = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, server) << WSAGetLastError();

    char buffer[16];
    EXPECT_EQ(SOCKET_ERROR, recv(client, buffer, sizeof(buffer), 0));
    EXPECT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
    u_long available = 99;
    EXPECT_EQ(0, ioctlsocket(client, FIONREAD, &available));
    EXPECT_EQ(0u, available);
    EXPECT_EQ(4, send(server, "ping", 4, 0));
    FD_ZERO(&readable);
    FD_SET(client, &readable);
    ASSERT_EQ(1, select(0, &readable, nullptr, nullptr, &wait));
    EXPECT_EQ(0, ioctlsocket(client, FIONREAD, &available));
    EXPECT_EQ(4u, available);
    EXPECT_EQ(4, recv(client, buffer, sizeof(buffer), 0));
    closesocket(client);
    closesocket(server);
    closesocket(listener);
}

TEST_P(TransportTest, RefusedConnectionIsReportedBlockingAndNonBlocking) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    closesocket(listener);  // nobody listens on the port any more

    SOCKET blocking = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(WSAECONNREFUSED, last_error_of(connect(blocking, reinterpret_cast<sockaddr*>(&address), sizeof(address))));
    closesocket(blocking);

    SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    ASSERT_EQ(0, ioctlsocket(client, FIONBIO, &on));
    int result = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ASSERT_EQ(SOCKET_ERROR, result);
    ASSERT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(client, &writable);
    FD_SET(client, &failed);
    timeval wait{10, 0};
    ASSERT_EQ(1, select(0, nullptr, &writable, &failed, &wait));
    EXPECT_FALSE(FD_ISSET(client, &writable));
    EXPECT_TRUE(FD_ISSET(client, &failed));
    int error = 0, length = sizeof(error);
    ASSERT_EQ(0, getsockopt(client, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length));
    EXPECT_EQ(WSAECONNREFUSED, error);
    ASSERT_EQ(0, getsockopt(client, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length));
    EXPECT_EQ(0, error);  // reported once
    closesocket(client);
}

TEST_P(TransportTest, DatagramsCarryTheirSenderAndATruncatedOneSaysSo) {
    sockaddr_in first, second;
    SOCKET a = udp_socket(first);
    SOCKET b = udp_socket(second);
    EXPECT_EQ(5, sendto(a, "hello", 5, 0, reinterpret_cast<sockaddr*>(&second), sizeof(second)));
    char buffer[64];
    sockaddr_in from{};
    int fromLength = sizeof(from);
    ASSERT_TRUE(wait_readable(b));
    ASSERT_EQ(5, recvfrom(b, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &fromLength));
    EXPECT_EQ(0, std::memcmp(buffer, "hello", 5));
    EXPECT_EQ(first.sin_port, from.sin_port);
    EXPECT_EQ(static_cast<int>(sizeof(sockaddr_in)), fromLength);

    EXPECT_EQ(10, sendto(a, "0123456789", 10, 0, reinterpret_cast<sockaddr*>(&second), sizeof(second)));
    ASSERT_TRUE(wait_readable(b));
    EXPECT_EQ(SOCKET_ERROR, recvfrom(b, buffer, 4, 0, nullptr, nullptr));
    EXPECT_EQ(WSAEMSGSIZE, WSAGetLastError());

    SOCKET unbound = socket(AF_INET, SOCK_DGRAM, 0);
    EXPECT_EQ(SOCKET_ERROR, recvfrom(unbound, buffer, sizeof(buffer), 0, nullptr, nullptr));  // would wait forever
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    closesocket(unbound);

    fromLength = 4;  // too short for an address
    EXPECT_EQ(SOCKET_ERROR, recvfrom(b, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &fromLength));
    EXPECT_EQ(WSAEFAULT, WSAGetLastError());
    closesocket(a);
    closesocket(b);
}

TEST_P(TransportTest, OverlappedReceiveSignalsItsEvent) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    char buffer[32] = {};
    WSABUF wsabuf{sizeof(buffer), buffer};
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    DWORD received = 0, flags = 0;
    ASSERT_EQ(SOCKET_ERROR, WSARecv(server, &wsabuf, 1, &received, &flags, &overlapped, nullptr));
    ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    DWORD transferred = 0;
    EXPECT_FALSE(WSAGetOverlappedResult(server, &overlapped, &transferred, FALSE, &flags));
    EXPECT_EQ(WSA_IO_INCOMPLETE, WSAGetLastError());

    EXPECT_EQ(6, send(client, "events", 6, 0));
    ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &overlapped.hEvent, TRUE, 10000, FALSE));
    ASSERT_TRUE(WSAGetOverlappedResult(server, &overlapped, &transferred, TRUE, &flags));
    EXPECT_EQ(6u, transferred);
    EXPECT_EQ(0, std::memcmp(buffer, "events", 6));

    // An overlapped send whose buffer array the caller drops at once.
    WSAOVERLAPPED sendOverlapped{};
    sendOverlapped.hEvent = WSACreateEvent();
    {
        WSABUF parts[2] = {{3, const_cast<char*>("abc")}, {3, const_cast<char*>("def")}};
        DWORD sent = 0;
        int result = WSASend(client, parts, 2, &sent, 0, &sendOverlapped, nullptr);
        if (result == SOCKET_ERROR) {
            ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
        }
    }
    ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &sendOverlapped.hEvent, TRUE, 10000, FALSE));
    ASSERT_TRUE(WSAGetOverlappedResult(client, &sendOverlapped, &transferred, TRUE, &flags));
    EXPECT_EQ(6u, transferred);
    EXPECT_EQ("abcdef", receive_exactly(server, 6));
    WSACloseEvent(overlapped.hEvent);
    WSACloseEvent(sendOverlapped.hEvent);
    closesocket(client);
    closesocket(server);
}

struct RoutineRecord {
    DWORD error = 99;
    DWORD bytes = 0;
    DWORD thread = 0;
    int calls = 0;
};
RoutineRecord routineRecord;

void CALLBACK record_routine(DWORD error, DWORD bytes, LPWSAOVERLAPPED, DWORD) {
    routineRecord.error = error;
    routineRecord.bytes = bytes;
    routineRecord.thread = GetCurrentThreadId();
    routineRecord.calls++;
}

TEST_P(TransportTest, CompletionRoutineRunsOnceOnTheCallersThreadInAnAlertableWait) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    char buffer[32];
    WSABUF in{sizeof(buffer), buffer};
    WSABUF out{7, const_cast<char*>("routine")};
    u_long available = 0;
    struct Case {
        const char* what;
        SOCKET socket;
        DWORD bytes;
        std::function<int(WSAOVERLAPPED&)> start;
        std::function<void()> then;
    };
    const Case cases[] = {
        {"a receive that waits for its data", server, 7,
         [&](WSAOVERLAPPED& o) {
             DWORD count = 0, flags = 0;
             return WSARecv(server, &in, 1, &count, &flags, &o, record_routine);
         },
         [&] { EXPECT_EQ(7, send(client, "routine", 7, 0)); }},
        {"a send done at once", client, 7,
         [&](WSAOVERLAPPED& o) {
             DWORD count = 0;
             return WSASend(client, &out, 1, &count, 0, &o, record_routine);
         },
         [&] { EXPECT_EQ("routine", receive_exactly(server, 7)); }},
        {"an I/O control", server, sizeof(u_long),
         [&](WSAOVERLAPPED& o) {
             DWORD returned = 0;
             return WSAIoctl(server, FIONREAD, nullptr, 0, &available, sizeof(available), &returned, &o, record_routine);
         },
         [] {}},
    };
    for (const Case& c : cases) {
        routineRecord = RoutineRecord();
        WSAOVERLAPPED overlapped{};
        int result = c.start(overlapped);
        if (result == SOCKET_ERROR) {
            ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError()) << c.what;
        }
        c.then();
        DWORD transferred = 0, flags = 0;
        // Waiting without being alertable does not run the routine.
        ASSERT_TRUE(overlapped_result(c.socket, overlapped, transferred, flags)) << c.what;
        EXPECT_EQ(c.bytes, transferred) << c.what;
        EXPECT_EQ(0, routineRecord.calls) << c.what;
        DWORD start = GetTickCount();
        while (routineRecord.calls == 0 && GetTickCount() - start < kDeadlineMs) SleepEx(100, TRUE);
        SleepEx(20, TRUE);  // a second call would come now
        EXPECT_EQ(1, routineRecord.calls) << c.what;
        EXPECT_EQ(0u, routineRecord.error) << c.what;
        EXPECT_EQ(c.bytes, routineRecord.bytes) << c.what;
        EXPECT_EQ(GetCurrentThreadId(), routineRecord.thread) << c.what;
    }
    closesocket(client);
    closesocket(server);
}

TEST_P(TransportTest, CompletionPortReceivesPacketsWithTheAssociatedKey) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    ASSERT_NE(nullptr, port);
    ASSERT_EQ(port, CreateIoCompletionPort(reinterpret_cast<HANDLE>(server), port, 0x5e, 0));
    ASSERT_EQ(port, CreateIoCompletionPort(reinterpret_cast<HANDLE>(client), port, 0xc1, 0));

    char buffer[32];
    WSABUF wsabuf{sizeof(buffer), buffer};
    WSAOVERLAPPED receiving{}, sending{};
    DWORD count = 0, flags = 0;
    ASSERT_EQ(SOCKET_ERROR, WSARecv(server, &wsabuf, 1, &count, &flags, &receiving, nullptr));
    ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    WSABUF out{4, const_cast<char*>("port")};
    int result = WSASend(client, &out, 1, &count, 0, &sending, nullptr);
    if (result == SOCKET_ERROR) {
        ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    }

    bool sawSend = false, sawReceive = false;
    for (int i = 0; i < 2; ++i) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED done = nullptr;
        ASSERT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &done, 10000)) << GetLastError();
        EXPECT_EQ(4u, bytes);
        if (done == &sending) {
            EXPECT_EQ(0xc1u, key);
            sawSend = true;
        } else {
            EXPECT_EQ(&receiving, done);
            EXPECT_EQ(0x5eu, key);
            sawReceive = true;
        }
    }
    EXPECT_TRUE(sawSend && sawReceive);
    EXPECT_EQ(0, std::memcmp(buffer, "port", 4));
    closesocket(client);
    closesocket(server);
    CloseHandle(port);
}

TEST_P(TransportTest, WindowReceivesTheNetworkEventsOfItsSockets) {
    MessageWindow window;
    ASSERT_NE(nullptr, window.handle());
    const UINT kMessage = WM_USER + 7;
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    ASSERT_EQ(0, WSAAsyncSelect(listener, window.handle(), kMessage, FD_ACCEPT | FD_READ | FD_WRITE | FD_CLOSE));
    SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(0, connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    WORD error = 0xffff;
    ASSERT_TRUE(window.wait_for_event(kMessage, listener, FD_ACCEPT, error));
    EXPECT_EQ(0, error);
    SOCKET server = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, server);
    // The accepted socket has the listening socket's selection: it can send, then data, then the close.
    ASSERT_TRUE(window.wait_for_event(kMessage, server, FD_WRITE, error));
    EXPECT_EQ(3, send(client, "abc", 3, 0));
    ASSERT_TRUE(window.wait_for_event(kMessage, server, FD_READ, error));
    char buffer[8];
    EXPECT_EQ(3, recv(server, buffer, sizeof(buffer), 0));
    closesocket(client);
    ASSERT_TRUE(window.wait_for_event(kMessage, server, FD_CLOSE, error));
    EXPECT_EQ(0, error);
    closesocket(server);
    closesocket(listener);
}

TEST_P(TransportTest, WinsockStartsAgainAfterItsLastCleanup) {
    // Each round has the providers started afresh, with an overlapped request and a notification
    // window. The layered provider's worker and window threads hold its library and let it go as
    // they end; rounds 1 and 2 share one load of it (its window class is still registered), round
    // 3 has it loaded anew.
    MessageWindow window;
    const UINT kMessage = WM_USER + 9;
    HMODULE held = layered() ? LoadLibraryA("qfpassthru.dll") : nullptr;
    for (int round = 1; round <= 3; ++round) {
        SOCKET client, server;
        ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
        ASSERT_EQ(0, WSAAsyncSelect(server, window.handle(), kMessage, FD_READ)) << round;
        char buffer[8];
        WSABUF wsabuf{sizeof(buffer), buffer};
        WSAOVERLAPPED overlapped{};
        overlapped.hEvent = WSACreateEvent();
        DWORD count = 0, flags = 0;
        ASSERT_EQ(SOCKET_ERROR, WSARecv(client, &wsabuf, 1, &count, &flags, &overlapped, nullptr)) << round;
        ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError()) << round;
        EXPECT_EQ(1, send(server, "o", 1, 0));
        ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &overlapped.hEvent, TRUE, kDeadlineMs, FALSE)) << round;
        ASSERT_TRUE(WSAGetOverlappedResult(client, &overlapped, &count, FALSE, &flags)) << round;
        EXPECT_EQ(1u, count) << round;
        EXPECT_EQ(1, send(client, "w", 1, 0));
        WORD error = 0xffff;
        ASSERT_TRUE(window.wait_for_event(kMessage, server, FD_READ, error)) << round;
        EXPECT_EQ(0, error) << round;
        WSACloseEvent(overlapped.hEvent);
        closesocket(client);
        closesocket(server);
        ASSERT_EQ(0, WSACleanup()) << round;
        if (round == 2 && held) {
            FreeLibrary(held);
            held = nullptr;
            // Nothing else keeps the provider: once its threads have ended it is unloaded.
            DWORD start = GetTickCount();
            while (GetModuleHandleA("qfpassthru.dll") && GetTickCount() - start < kDeadlineMs) Sleep(5);
            EXPECT_EQ(nullptr, GetModuleHandleA("qfpassthru.dll"));
        }
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data)) << round;
    }
}

TEST_P(TransportTest, EventSelectionRecordsEventsUntilEnumerated) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    WSAEVENT event = WSACreateEvent();
    ASSERT_EQ(0, WSAEventSelect(server, event, FD_READ | FD_CLOSE));
    u_long off = 0;
    EXPECT_EQ(SOCKET_ERROR, ioctlsocket(server, FIONBIO, &off));  // a selecting socket stays non-blocking
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    EXPECT_EQ(2, send(client, "hi", 2, 0));
    ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &event, FALSE, 10000, FALSE));
    WSANETWORKEVENTS events{};
    ASSERT_EQ(0, WSAEnumNetworkEvents(server, event, &events));
    EXPECT_EQ(FD_READ, events.lNetworkEvents);
    EXPECT_EQ(WSA_WAIT_TIMEOUT, WSAWaitForMultipleEvents(1, &event, FALSE, 0, FALSE));  // reset by the enumeration
    ASSERT_EQ(0, WSAEnumNetworkEvents(server, nullptr, &events));
    EXPECT_EQ(0, events.lNetworkEvents);
    char buffer[4];
    EXPECT_EQ(2, recv(server, buffer, sizeof(buffer), 0));
    closesocket(client);
    ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &event, FALSE, 10000, FALSE));
    ASSERT_EQ(0, WSAEnumNetworkEvents(server, event, &events));
    EXPECT_TRUE(events.lNetworkEvents & FD_CLOSE);
    EXPECT_EQ(0, events.iErrorCode[FD_CLOSE_BIT]);
    closesocket(server);
    WSACloseEvent(event);
}

TEST_P(TransportTest, AnAbortiveCloseReachesThePeerAsAReset) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    WSAEVENT event = WSACreateEvent();
    ASSERT_EQ(0, WSAEventSelect(server, event, FD_CLOSE));
    LINGER abortive{1, 0};
    ASSERT_EQ(0, setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&abortive), sizeof(abortive)));
    ASSERT_EQ(0, closesocket(client));
    ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &event, FALSE, 10000, FALSE));
    WSANETWORKEVENTS events{};
    ASSERT_EQ(0, WSAEnumNetworkEvents(server, event, &events));
    EXPECT_EQ(FD_CLOSE, events.lNetworkEvents);
    EXPECT_EQ(WSAECONNRESET, events.iErrorCode[FD_CLOSE_BIT]);
    char byte;
    EXPECT_EQ(SOCKET_ERROR, recv(server, &byte, 1, 0));
    EXPECT_EQ(WSAECONNRESET, WSAGetLastError());
    WSACloseEvent(event);
    closesocket(server);
}

TEST_P(TransportTest, SelectReportsExactlyTheReadySocketsOfMany) {
    const int kPairs = 24;
    SOCKET clients[kPairs], servers[kPairs];
    for (int i = 0; i < kPairs; ++i) ASSERT_NO_FATAL_FAILURE(tcp_pair(clients[i], servers[i]));
    for (int i = 0; i < kPairs; i += 3) ASSERT_EQ(1, send(clients[i], "x", 1, 0));
    fd_set readable;
    FD_ZERO(&readable);
    for (int i = 0; i < kPairs; ++i) FD_SET(servers[i], &readable);
    // Data sent on loopback is there at once, but allow the kernel a moment for all of it.
    timeval wait{10, 0};
    int ready = 0;
    for (int attempt = 0; attempt < 50 && ready < (kPairs + 2) / 3; ++attempt) {
        fd_set copy = readable;
        ready = select(0, &copy, nullptr, nullptr, &wait);
        if (ready == (kPairs + 2) / 3) {
            for (int i = 0; i < kPairs; ++i) EXPECT_EQ(i % 3 == 0, FD_ISSET(servers[i], &copy) != 0) << i;
        } else {
            Sleep(10);
        }
    }
    EXPECT_EQ((kPairs + 2) / 3, ready);
    fd_set none;
    FD_ZERO(&none);
    timeval zero{0, 0};
    EXPECT_EQ(SOCKET_ERROR, select(0, &none, nullptr, nullptr, &zero));  // no socket at all
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    for (int i = 0; i < kPairs; ++i) {
        closesocket(clients[i]);
        closesocket(servers[i]);
    }
}

TEST_P(TransportTest, SelectTakesSetsBuiltLargerThanFdSetSize) {
    // A program may build its sets for more than FD_SETSIZE sockets, as Windows allows; the
    // provider decides whether it takes them (the pass-through provider holds 64 at most).
    const u_int kSockets = FD_SETSIZE + 16;
    struct {
        u_int fd_count;
        SOCKET fd_array[kSockets];
    } large;
    sockaddr_in address;
    std::vector<SOCKET> sockets;
    for (u_int i = 0; i < kSockets; ++i) sockets.push_back(udp_socket(address));
    large.fd_count = kSockets;
    for (u_int i = 0; i < kSockets; ++i) large.fd_array[i] = sockets[i];
    ASSERT_EQ(1, sendto(sockets[0], "!", 1, 0, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    timeval wait{10, 0};
    int result = select(0, reinterpret_cast<fd_set*>(&large), nullptr, nullptr, &wait);
    if (layered()) {
        EXPECT_EQ(SOCKET_ERROR, result);
        EXPECT_EQ(WSAENOBUFS, WSAGetLastError());
    } else {
        EXPECT_EQ(1, result);
        EXPECT_EQ(1u, large.fd_count);
        EXPECT_EQ(sockets.back(), large.fd_array[0]);  // the last one bound is the one sent to
    }
    for (SOCKET s : sockets) closesocket(s);
}

TEST_P(TransportTest, AcceptExHandsTheConnectionAndItsFirstDataToTheAcceptingSocket) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    LPFN_ACCEPTEX acceptEx = nullptr;
    LPFN_GETACCEPTEXSOCKADDRS getAddresses = nullptr;
    GUID acceptId = WSAID_ACCEPTEX, addressesId = WSAID_GETACCEPTEXSOCKADDRS;
    DWORD returned = 0;
    ASSERT_EQ(0, WSAIoctl(listener, SIO_GET_EXTENSION_FUNCTION_POINTER, &acceptId, sizeof(acceptId), &acceptEx,
                          sizeof(acceptEx), &returned, nullptr, nullptr));
    ASSERT_EQ(0, WSAIoctl(listener, SIO_GET_EXTENSION_FUNCTION_POINTER, &addressesId, sizeof(addressesId),
                          &getAddresses, sizeof(getAddresses), &returned, nullptr, nullptr));
    GUID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    void* nothing = nullptr;
    EXPECT_EQ(SOCKET_ERROR, WSAIoctl(listener, SIO_GET_EXTENSION_FUNCTION_POINTER, &unknown, sizeof(unknown), &nothing,
                                     sizeof(nothing), &returned, nullptr, nullptr));

    SOCKET accepting = socket(AF_INET, SOCK_STREAM, 0);
    char output[64 + 2 * (sizeof(sockaddr_in) + 16)] = {};
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    DWORD received = 0;
    ASSERT_FALSE(acceptEx(listener, accepting, output, 64, sizeof(sockaddr_in) + 16, sizeof(sockaddr_in) + 16,
                          &received, &overlapped));
    ASSERT_EQ(static_cast<DWORD>(WSA_IO_PENDING), GetLastError());

    SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(0, connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    EXPECT_EQ(5, send(client, "first", 5, 0));
    ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &overlapped.hEvent, TRUE, 10000, FALSE));
    DWORD flags = 0;
    ASSERT_TRUE(WSAGetOverlappedResult(listener, &overlapped, &received, TRUE, &flags)) << WSAGetLastError();
    EXPECT_EQ(5u, received);
    EXPECT_EQ(0, std::memcmp(output, "first", 5));

    sockaddr *local = nullptr, *remote = nullptr;
    int localLength = 0, remoteLength = 0;
    getAddresses(output, 64, sizeof(sockaddr_in) + 16, sizeof(sockaddr_in) + 16, &local, &localLength, &remote,
                 &remoteLength);
    ASSERT_EQ(static_cast<int>(sizeof(sockaddr_in)), localLength);
    ASSERT_EQ(static_cast<int>(sizeof(sockaddr_in)), remoteLength);
    sockaddr_in clientName{};
    int nameLength = sizeof(clientName);
    ASSERT_EQ(0, getsockname(client, reinterpret_cast<sockaddr*>(&clientName), &nameLength));
    EXPECT_EQ(clientName.sin_port, reinterpret_cast<sockaddr_in*>(remote)->sin_port);
    EXPECT_EQ(address.sin_port, reinterpret_cast<sockaddr_in*>(local)->sin_port);

    // The accepting handle now is the connection: it answers, and poll sees its data.
    SOCKET listenerValue = listener;
    ASSERT_EQ(0, setsockopt(accepting, SOL_SOCKET, SO_UPDATE_ACCEPT_CONTEXT, reinterpret_cast<char*>(&listenerValue),
                            sizeof(listenerValue)));
    EXPECT_EQ(4, send(accepting, "back", 4, 0));
    EXPECT_EQ("back", receive_exactly(client, 4));
    EXPECT_EQ(4, send(client, "more", 4, 0));
    EXPECT_TRUE(kernel_readable(static_cast<int>(accepting), 10000));
    EXPECT_EQ("more", receive_exactly(accepting, 4));
    WSACloseEvent(overlapped.hEvent);
    closesocket(client);
    closesocket(accepting);
    closesocket(listener);
}

TEST_P(TransportTest, HandlesAreDescriptorsThatPollSeesReady) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    EXPECT_FALSE(kernel_readable(static_cast<int>(server), 0));
    EXPECT_EQ(3, send(client, "fd!", 3, 0));
    ASSERT_TRUE(kernel_readable(static_cast<int>(server), 10000));
    EXPECT_EQ("fd!", receive_exactly(server, 3));
    closesocket(client);
    closesocket(server);
}

TEST_P(TransportTest, DuplicatedSocketIsTheSameConnection) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    WSAPROTOCOL_INFOW info{};
    ASSERT_EQ(0, WSADuplicateSocketW(server, GetCurrentProcessId(), &info)) << WSAGetLastError();
    SOCKET copy = WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0, 0);
    ASSERT_NE(INVALID_SOCKET, copy) << WSAGetLastError();
    // The narrow forms carry the same information.
    WSAPROTOCOL_INFOA narrow{};
    ASSERT_EQ(0, WSADuplicateSocketA(server, GetCurrentProcessId(), &narrow)) << WSAGetLastError();
    EXPECT_EQ(info.dwCatalogEntryId, narrow.dwCatalogEntryId);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(info.szProtocol[i], static_cast<WCHAR>(narrow.szProtocol[i])) << i;
    SOCKET narrowCopy = WSASocketA(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &narrow, 0, 0);
    ASSERT_NE(INVALID_SOCKET, narrowCopy) << WSAGetLastError();

    EXPECT_EQ(4, send(client, "twin", 4, 0));
    EXPECT_EQ("twin", receive_exactly(copy, 4));
    closesocket(server);
    EXPECT_EQ(3, send(copy, "ok!", 3, 0));  // the duplicate outlives the original handle
    EXPECT_EQ("ok!", receive_exactly(client, 3));
    closesocket(copy);
    EXPECT_EQ(2, send(narrowCopy, "a!", 2, 0));
    EXPECT_EQ("a!", receive_exactly(client, 2));
    closesocket(narrowCopy);
    closesocket(client);
}

TEST_P(TransportTest, OverlappedDatagramReportsItsSender) {
    sockaddr_in first, second;
    SOCKET a = udp_socket(first);
    SOCKET b = udp_socket(second);
    char buffer[32];
    WSABUF wsabuf{sizeof(buffer), buffer};
    sockaddr_in from{};
    int fromLength = sizeof(from);
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    DWORD count = 0, flags = 0;
    ASSERT_EQ(SOCKET_ERROR, WSARecvFrom(b, &wsabuf, 1, &count, &flags, reinterpret_cast<sockaddr*>(&from), &fromLength,
                                        &overlapped, nullptr));
    ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    WSABUF out{7, const_cast<char*>("gram!!!")};
    WSAOVERLAPPED sending{};
    sending.hEvent = WSACreateEvent();
    int result = WSASendTo(a, &out, 1, &count, 0, reinterpret_cast<sockaddr*>(&second), sizeof(second), &sending, nullptr);
    if (result == SOCKET_ERROR) {
        ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    }
    ASSERT_TRUE(overlapped_result(a, sending, count, flags));
    EXPECT_EQ(7u, count);
    ASSERT_TRUE(overlapped_result(b, overlapped, count, flags));
    EXPECT_EQ(7u, count);
    EXPECT_EQ(0, std::memcmp(buffer, "gram!!!", 7));
    EXPECT_EQ(first.sin_port, from.sin_port);
    WSACloseEvent(overlapped.hEvent);
    WSACloseEvent(sending.hEvent);
    closesocket(a);
    closesocket(b);
}

int CALLBACK accept_condition(LPWSABUF callerId, LPWSABUF, LPQOS, LPQOS, LPWSABUF calleeId, LPWSABUF, GROUP*,
                              DWORD_PTR verdict) {
    if (!callerId || callerId->len < sizeof(sockaddr_in) || !calleeId) return CF_REJECT;
    return static_cast<int>(verdict);
}

TEST_P(TransportTest, AcceptConditionRejectsDefersAndAccepts) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    SOCKET rejected = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(0, connect(rejected, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    EXPECT_EQ(INVALID_SOCKET, WSAAccept(listener, nullptr, nullptr, accept_condition, CF_REJECT));
    EXPECT_EQ(WSAECONNREFUSED, WSAGetLastError());

    SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(0, connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    EXPECT_EQ(INVALID_SOCKET, WSAAccept(listener, nullptr, nullptr, accept_condition, CF_DEFER));
    EXPECT_EQ(WSATRY_AGAIN, WSAGetLastError());
    sockaddr_in peer{};
    int peerLength = sizeof(peer);
    SOCKET server = WSAAccept(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength, accept_condition, CF_ACCEPT);
    ASSERT_NE(INVALID_SOCKET, server) << WSAGetLastError();
    sockaddr_in clientName{};
    int nameLength = sizeof(clientName);
    ASSERT_EQ(0, getsockname(client, reinterpret_cast<sockaddr*>(&clientName), &nameLength));
    EXPECT_EQ(clientName.sin_port, peer.sin_port);  // the deferred connection, not a new one
    EXPECT_EQ(3, send(client, "def", 3, 0));
    EXPECT_EQ("def", receive_exactly(server, 3));
    for (SOCKET s : {rejected, client, server, listener}) closesocket(s);
}

TEST_P(TransportTest, SocketOptionsKeepWindowsShapesAndRefuseTheUnknown) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    LINGER linger{1, 7};
    ASSERT_EQ(0, setsockopt(server, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&linger), sizeof(linger)));
    LINGER back{};
    int length = sizeof(back);
    ASSERT_EQ(0, getsockopt(server, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&back), &length));
    EXPECT_EQ(1, back.l_onoff);
    EXPECT_EQ(7, back.l_linger);
    EXPECT_EQ(static_cast<int>(sizeof(LINGER)), length);
    char yes = 1;  // Windows takes a one-byte boolean
    EXPECT_EQ(0, setsockopt(server, SOL_SOCKET, SO_KEEPALIVE, &yes, 1));
    BOOL keepAlive = FALSE;
    length = sizeof(keepAlive);
    ASSERT_EQ(0, getsockopt(server, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<char*>(&keepAlive), &length));
    EXPECT_TRUE(keepAlive);
    WSAPROTOCOL_INFOW info{};
    length = sizeof(info);
    ASSERT_EQ(0, getsockopt(server, SOL_SOCKET, SO_PROTOCOL_INFOW, reinterpret_cast<char*>(&info), &length));
    EXPECT_EQ(SOCK_STREAM, info.iSocketType);
    EXPECT_EQ(IPPROTO_TCP, info.iProtocol);

    struct Refusal {
        const char* what;
        int level, name, length, error;
    };
    const Refusal refusals[] = {
        {"unknown option", SOL_SOCKET, 0x7777, 4, WSAENOPROTOOPT},
        {"unknown level", 0x1234, 1, 4, WSAENOPROTOOPT},
        {"value too short", SOL_SOCKET, SO_RCVBUF, 2, WSAEFAULT},
        {"info too short", SOL_SOCKET, SO_PROTOCOL_INFOW, 100, WSAEFAULT},
    };
    char value[8];
    for (const Refusal& r : refusals) {
        int valueLength = r.length;
        EXPECT_EQ(SOCKET_ERROR, getsockopt(server, r.level, r.name, value, &valueLength)) << r.what;
        EXPECT_EQ(r.error, WSAGetLastError()) << r.what;
    }

    DWORD timeout = 50;
    ASSERT_EQ(0, setsockopt(server, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeout), sizeof(timeout)));
    EXPECT_EQ(SOCKET_ERROR, recv(server, value, sizeof(value), 0));
    EXPECT_EQ(WSAETIMEDOUT, WSAGetLastError());
    closesocket(client);
    closesocket(server);
}

DWORD WINAPI run_call(LPVOID call) {
    std::unique_ptr<std::function<DWORD()>> f(static_cast<std::function<DWORD()>*>(call));
    return (*f)();
}

TEST_P(TransportTest, ClosingASocketEndsEveryKindOfCallBlockedOnIt) {
    std::vector<SOCKET> others;
    auto pair_end = [&](bool serverEnd) {
        SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
        tcp_pair(client, server);
        others.push_back(serverEnd ? client : server);
        return serverEnd ? server : client;
    };
    auto listener = [] {
        sockaddr_in address;
        return tcp_listener(address);
    };
    auto error_of = [](int result) { return result == SOCKET_ERROR ? static_cast<DWORD>(WSAGetLastError()) : 0; };
    LPFN_ACCEPTEX acceptEx = nullptr;
    SOCKET accepting = INVALID_SOCKET;
    struct Case {
        const char* what;
        std::function<SOCKET()> prepare;
        std::function<DWORD(SOCKET)> call;  // the blocking call; its error
    };
    const Case cases[] = {
        {"recv on a connection", [&] { return pair_end(true); },
         [&](SOCKET s) {
             char byte;
             return error_of(recv(s, &byte, 1, 0));
         }},
        {"send while the peer reads nothing",
         [&] {
             SOCKET s = pair_end(false);
             u_long on = 1, off = 0;
             ioctlsocket(s, FIONBIO, &on);
             std::string block(65536, 's');
             // Filled twice: what was queued when the first fill stopped may still be moving to
             // the peer and leave room behind.
             for (int round = 0; round < 2; ++round) {
                 for (int i = 0; i < 4096 && send(s, block.data(), static_cast<int>(block.size()), 0) != SOCKET_ERROR; ++i) {
                 }
                 Sleep(50);
             }
             ioctlsocket(s, FIONBIO, &off);
             return s;
         },
         [&](SOCKET s) {
             std::string block(65536, 't');
             return error_of(send(s, block.data(), static_cast<int>(block.size()), 0));
         }},
        {"accept", listener, [&](SOCKET s) { return accept(s, nullptr, nullptr) == INVALID_SOCKET ? static_cast<DWORD>(WSAGetLastError()) : 0; }},
        {"AcceptEx without an overlapped structure",
         [&] {
             SOCKET s = listener();
             GUID id = WSAID_ACCEPTEX;
             DWORD returned = 0;
             EXPECT_EQ(0, WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &acceptEx, sizeof(acceptEx),
                                   &returned, nullptr, nullptr));
             accepting = socket(AF_INET, SOCK_STREAM, 0);
             others.push_back(accepting);
             return s;
         },
         [&](SOCKET s) {
             char output[2 * (sizeof(sockaddr_in) + 16)];
             DWORD received = 0;
             BOOL done = acceptEx(s, accepting, output, 0, sizeof(sockaddr_in) + 16, sizeof(sockaddr_in) + 16,
                                  &received, nullptr);
             return done ? DWORD{0} : GetLastError();
         }},
        {"recvfrom on a datagram socket",
         [] {
             sockaddr_in address;
             return udp_socket(address);
         },
         [&](SOCKET s) {
             char byte;
             return error_of(recvfrom(s, &byte, 1, 0, nullptr, nullptr));
         }},
    };
    for (const Case& c : cases) {
        SOCKET victim = c.prepare();
        ASSERT_NE(INVALID_SOCKET, victim) << c.what;
        auto* call = new std::function<DWORD()>([&c, victim] { return c.call(victim); });
        HANDLE thread = CreateThread(nullptr, 0, run_call, call, 0, nullptr);
        ASSERT_NE(nullptr, thread) << c.what;
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread, 50)) << c.what << " did not block";
        EXPECT_EQ(0, closesocket(victim)) << c.what;
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kDeadlineMs)) << c.what << " still blocked after the close";
        DWORD error = 0;
        GetExitCodeThread(thread, &error);
        CloseHandle(thread);
        EXPECT_TRUE(error == WSAEINTR || error == WSAENOTSOCK) << c.what << ": " << error;
    }
    for (SOCKET s : others) closesocket(s);
}

TEST_P(TransportTest, ClosingASocketAbortsItsPendingOverlappedReceives) {
    struct Case {
        const char* what;
        bool routine;
    };
    for (const Case& c : {Case{"signalled through the event", false}, Case{"through the completion routine", true}}) {
        SOCKET client, server;
        ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
        routineRecord = RoutineRecord();
        char buffer[8];
        WSABUF wsabuf{sizeof(buffer), buffer};
        WSAOVERLAPPED overlapped{};
        overlapped.hEvent = c.routine ? nullptr : WSACreateEvent();
        DWORD count = 0, flags = 0;
        ASSERT_EQ(SOCKET_ERROR, WSARecv(server, &wsabuf, 1, &count, &flags, &overlapped, c.routine ? record_routine : nullptr));
        ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError()) << c.what;
        EXPECT_EQ(0, closesocket(server)) << c.what;
        if (c.routine) {
            DWORD start = GetTickCount();
            while (routineRecord.calls == 0 && GetTickCount() - start < kDeadlineMs) SleepEx(100, TRUE);
            EXPECT_EQ(1, routineRecord.calls) << c.what;
            EXPECT_EQ(static_cast<DWORD>(WSA_OPERATION_ABORTED), routineRecord.error) << c.what;
        } else {
            ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &overlapped.hEvent, TRUE, kDeadlineMs, FALSE)) << c.what;
            EXPECT_EQ(static_cast<ULONG_PTR>(WSA_OPERATION_ABORTED), overlapped.Internal) << c.what;
            WSACloseEvent(overlapped.hEvent);
        }
        closesocket(client);
    }
}

TEST_P(TransportTest, EventSelectionReportsAConnectThatCompletes) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    WSAEVENT event = WSACreateEvent();
    ASSERT_EQ(0, WSAEventSelect(client, event, FD_CONNECT | FD_WRITE));
    int result = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    if (result == SOCKET_ERROR) {
        EXPECT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
    }
    WSANETWORKEVENTS events{};
    for (int i = 0; i < 2 && (events.lNetworkEvents & (FD_CONNECT | FD_WRITE)) != (FD_CONNECT | FD_WRITE); ++i) {
        ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &event, FALSE, 10000, FALSE));
        WSANETWORKEVENTS more{};
        ASSERT_EQ(0, WSAEnumNetworkEvents(client, event, &more));
        events.lNetworkEvents |= more.lNetworkEvents;
        if (more.lNetworkEvents & FD_CONNECT) events.iErrorCode[FD_CONNECT_BIT] = more.iErrorCode[FD_CONNECT_BIT];
    }
    EXPECT_EQ(FD_CONNECT | FD_WRITE, events.lNetworkEvents);
    EXPECT_EQ(0, events.iErrorCode[FD_CONNECT_BIT]);
    WSACloseEvent(event);
    closesocket(client);
    closesocket(listener);
}

TEST_P(TransportTest, RawIcmpEchoReachesLoopbackWhereTheProcessMayOpenRawSockets) {
    SOCKET raw = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (raw == INVALID_SOCKET) {
        EXPECT_EQ(WSAEACCES, WSAGetLastError());  // an unprivileged process is refused, as on Windows
        return;
    }
    unsigned char echo[8] = {8, 0, 0, 0, 0x12, 0x34, 0, 1};  // type 8: echo request
    unsigned sum = 0;
    for (int i = 0; i < 8; i += 2) sum += (echo[i] << 8) | echo[i + 1];
    sum = (sum & 0xffff) + (sum >> 16);
    u_short checksum = static_cast<u_short>(~sum);
    echo[2] = static_cast<unsigned char>(checksum >> 8);
    echo[3] = static_cast<unsigned char>(checksum);
    sockaddr_in target = loopback(0);
    ASSERT_EQ(8, sendto(raw, reinterpret_cast<char*>(echo), 8, 0, reinterpret_cast<sockaddr*>(&target), sizeof(target)));
    DWORD timeout = 5000;
    ASSERT_EQ(0, setsockopt(raw, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeout), sizeof(timeout)));
    char packet[128];
    int got = recvfrom(raw, packet, sizeof(packet), 0, nullptr, nullptr);
    ASSERT_GE(got, 28) << WSAGetLastError();  // an IPv4 header and the ICMP message
    EXPECT_EQ(0x45, static_cast<unsigned char>(packet[0]));
    closesocket(raw);
}

TEST_P(TransportTest, ADuplicatedSocketGoesToTheNamedProcessAlone) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    WSAPROTOCOL_INFOW info{};
    EXPECT_EQ(SOCKET_ERROR, WSADuplicateSocketW(server, 0x7ffffffe, &info));  // no such process
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());

    std::string infoFile = root_.file("duplicate.hex");
    FILE* child = popen((std::string(WINSOCK_CHILD) + " adopt " + infoFile + " handed-over").c_str(), "r");
    ASSERT_NE(nullptr, child);
    char line[256] = {};
    unsigned childPid = 0;
    ASSERT_TRUE(fgets(line, sizeof(line), child) && sscanf(line, "pid %u", &childPid) == 1) << line;
    ASSERT_EQ(0, WSADuplicateSocketW(server, childPid, &info)) << WSAGetLastError();

    // This process is not the one named: the socket is not handed to it.
    EXPECT_EQ(INVALID_SOCKET, WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0, 0));
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());

    std::string hex;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&info);
    for (size_t i = 0; i < sizeof(info); ++i) {
        char pair[3];
        snprintf(pair, sizeof(pair), "%02x", bytes[i]);
        hex += pair;
    }
    std::string partial = infoFile + ".part";
    FILE* out = fopen(partial.c_str(), "w");
    ASSERT_NE(nullptr, out);
    fputs(hex.c_str(), out);
    fclose(out);
    ASSERT_EQ(0, rename(partial.c_str(), infoFile.c_str()));
    std::string output;
    while (fgets(line, sizeof(line), child)) output += line;
    EXPECT_EQ(0, pclose(child)) << output;
    EXPECT_EQ("handed-over", receive_exactly(client, 11));
    closesocket(server);
    closesocket(client);
}

TEST_P(TransportTest, AProgramStartedMeanwhileInheritsNoSocketOfWinsock) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    sockaddr_in address;
    SOCKET udp = udp_socket(address);
    MessageWindow window;
    ASSERT_EQ(0, WSAAsyncSelect(udp, window.handle(), WM_USER + 5, FD_READ));
    char buffer[8];
    WSABUF wsabuf{sizeof(buffer), buffer};
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    DWORD count = 0, flags = 0;
    ASSERT_EQ(SOCKET_ERROR, WSARecv(client, &wsabuf, 1, &count, &flags, &overlapped, nullptr));
    WSAPROTOCOL_INFOW info;
    ASSERT_EQ(0, WSADuplicateSocketW(server, GetCurrentProcessId(), &info));  // an offer is open too

    FILE* child = popen((std::string(WINSOCK_CHILD) + " descriptors").c_str(), "r");
    ASSERT_NE(nullptr, child);
    std::string output;
    char line[256];
    while (fgets(line, sizeof(line), child)) output += line;
    EXPECT_EQ(0, pclose(child)) << output;
    EXPECT_EQ("inherited descriptors: 0\n", output);

    SOCKET copy = WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0, 0);
    EXPECT_NE(INVALID_SOCKET, copy);
    for (SOCKET s : {copy, client, server, udp}) closesocket(s);
    // The close aborts the receive; its completion writes to overlapped, which must outlive it.
    EXPECT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &overlapped.hEvent, TRUE, kDeadlineMs, FALSE));
    WSACloseEvent(overlapped.hEvent);
}

TEST_P(TransportTest, TransmitFileSendsHeadFileAndTail) {
    std::filesystem::create_directories(root_.file("drive_c/Temp"));
    HANDLE file = CreateFileA("C:\\Temp\\payload.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "file body", 9, &written, nullptr));
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);

    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    LPFN_TRANSMITFILE transmitFile = nullptr;
    GUID id = WSAID_TRANSMITFILE;
    DWORD returned = 0;
    ASSERT_EQ(0, WSAIoctl(server, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &transmitFile,
                          sizeof(transmitFile), &returned, nullptr, nullptr));
    TRANSMIT_FILE_BUFFERS buffers{const_cast<char*>("<"), 1, const_cast<char*>(">"), 1};
    ASSERT_TRUE(transmitFile(server, file, 0, 0, nullptr, &buffers, 0)) << GetLastError();
    EXPECT_EQ("<file body>", receive_exactly(client, 11));
    CloseHandle(file);
    closesocket(client);
    closesocket(server);
}

TEST_P(TransportTest, AddressTextsConvertBothWays) {
    struct Case {
        const char* text;
        int result;
        unsigned address;
        unsigned port;
    };
    const Case cases[] = {
        {"127.0.0.1", 0, 0x7f000001, 0},
        {"10.1.2.3:8080", 0, 0x0a010203, 8080},
        {"256.1.1.1", WSAEINVAL, 0, 0},
        {"1.2.3", WSAEINVAL, 0, 0},
        {"1.2.3.4:70000", WSAEINVAL, 0, 0},
        {"1.2.3.4x", WSAEINVAL, 0, 0},
        {"", WSAEINVAL, 0, 0},
    };
    for (const Case& c : cases) {
        sockaddr_in address{};
        int length = sizeof(address);
        int result = WSAStringToAddressA(const_cast<char*>(c.text), AF_INET, nullptr, reinterpret_cast<sockaddr*>(&address),
                                         &length);
        EXPECT_EQ(c.result, last_error_of(result)) << c.text;
        if (c.result) continue;
        EXPECT_EQ(c.address, ntohl(address.sin_addr.s_addr)) << c.text;
        EXPECT_EQ(c.port, ntohs(address.sin_port)) << c.text;
        char text[64];
        DWORD textLength = sizeof(text);
        ASSERT_EQ(0, WSAAddressToStringA(reinterpret_cast<sockaddr*>(&address), sizeof(address), nullptr, text,
                                         &textLength));
        EXPECT_STREQ(c.text, text);
        EXPECT_EQ(strlen(c.text) + 1, textLength);
        DWORD shortLength = 3;
        EXPECT_EQ(SOCKET_ERROR, WSAAddressToStringA(reinterpret_cast<sockaddr*>(&address), sizeof(address), nullptr,
                                                    text, &shortLength));
        EXPECT_EQ(WSAEFAULT, WSAGetLastError());
        EXPECT_EQ(strlen(c.text) + 1, shortLength);
    }
}

INSTANTIATE_TEST_SUITE_P(Stacks, TransportTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

}  // namespace
