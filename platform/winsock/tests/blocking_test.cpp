// Blocking socket calls are alertable, as Winsock's are: APCs queued to a thread blocked in a
// socket call run while it blocks, and WSACancelBlockingCall from one of them ends the call with
// WSAEINTR.
#include "winsock_test_support.h"

#include <atomic>
#include <functional>
#include <vector>

using namespace wstest;

namespace {

class BlockingTest : public WinsockTest {};

struct BlockedCall {
    std::function<int()> call;  // the blocking call; SOCKET_ERROR when it failed
    HANDLE started = nullptr;
    std::atomic<int> returned{0};
    int result = 0;
    int error = 0;
};

DWORD WINAPI run_blocked_call(LPVOID parameter) {
    auto* blocked = static_cast<BlockedCall*>(parameter);
    SetEvent(blocked->started);
    blocked->result = blocked->call();
    blocked->error = WSAGetLastError();
    blocked->returned = 1;
    return 0;
}

struct ApcRecord {
    HANDLE ran = nullptr;
    DWORD thread = 0;
    int callHadReturned = -1;
    BlockedCall* blocked = nullptr;
    int cancelResult = 1;
};

void CALLBACK note_apc(ULONG_PTR parameter) {
    auto* record = reinterpret_cast<ApcRecord*>(parameter);
    record->thread = GetCurrentThreadId();
    record->callHadReturned = record->blocked->returned;
    SetEvent(record->ran);
}

void CALLBACK cancel_apc(ULONG_PTR parameter) {
    auto* record = reinterpret_cast<ApcRecord*>(parameter);
    record->cancelResult = WSACancelBlockingCall();
}

// Fills the peer's receive buffer and the socket's send buffer, so that the next send blocks.
void fill_send_buffer(SOCKET s) {
    int small = 4096;
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char*>(&small), sizeof(small));
    u_long on = 1;
    ASSERT_EQ(0, ioctlsocket(s, FIONBIO, &on));
    std::vector<char> chunk(65536, 'x');
    for (int i = 0; i < 10000; ++i)
        if (send(s, chunk.data(), static_cast<int>(chunk.size()), 0) == SOCKET_ERROR) break;
    ASSERT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
    u_long off = 0;
    ASSERT_EQ(0, ioctlsocket(s, FIONBIO, &off));
}

// A listener whose queue of connections is full: the kernel drops further connection requests, so
// a blocking connect to it waits. False when the queue could not be seen to fill.
bool full_listener(SOCKET& listener, sockaddr_in& address, std::vector<SOCKET>& queued) {
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    address = loopback(0);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener, 1) != 0)
        return false;
    int length = sizeof(address);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    for (int i = 0; i < 16; ++i) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long on = 1;
        ioctlsocket(s, FIONBIO, &on);
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        queued.push_back(s);
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval wait{0, 300000};
        if (select(0, nullptr, &set, nullptr, &wait) == 0) return true;  // this one is left waiting
    }
    return false;
}

TEST_P(BlockingTest, ApcsRunInABlockedCallAndCancellingItEndsTheCallWithInterrupted) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    SOCKET full, fullPeer;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(full, fullPeer));
    ASSERT_NO_FATAL_FAILURE(fill_send_buffer(full));
    std::vector<char> big(1 << 20, 'y');
    char buffer[16];
    SOCKET busy;
    sockaddr_in busyAddress;
    std::vector<SOCKET> queued;
    ASSERT_TRUE(full_listener(busy, busyAddress, queued));
    SOCKET connecting = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);

    struct Case {
        const char* what;
        std::function<int()> call;
        SOCKET unblock;  // closed when the call does not end by itself, so that a fault fails the test
    };
    const Case cases[] = {
        {"recv", [&] { return recv(server, buffer, sizeof(buffer), 0); }, server},
        {"accept", [&] { return accept(listener, nullptr, nullptr) == INVALID_SOCKET ? SOCKET_ERROR : 0; }, listener},
        {"select",
         [&] {
             fd_set set;
             FD_ZERO(&set);
             FD_SET(client, &set);
             return select(0, &set, nullptr, nullptr, nullptr);
         },
         client},
        {"send on a full buffer", [&] { return send(full, big.data(), static_cast<int>(big.size()), 0); }, full},
        {"connect to a full listener",
         [&] { return connect(connecting, reinterpret_cast<sockaddr*>(&busyAddress), sizeof(busyAddress)); },
         connecting},
    };
    for (const Case& c : cases) {
        BlockedCall blocked;
        blocked.call = c.call;
        blocked.started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ApcRecord record;
        record.ran = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        record.blocked = &blocked;
        HANDLE thread = CreateThread(nullptr, 0, run_blocked_call, &blocked, 0, nullptr);
        ASSERT_NE(nullptr, thread);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(blocked.started, kDeadlineMs));

        // The first APC runs on the blocked thread while its call still waits.
        ASSERT_TRUE(QueueUserAPC(note_apc, thread, reinterpret_cast<ULONG_PTR>(&record)));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(record.ran, kDeadlineMs)) << c.what;
        EXPECT_EQ(GetThreadId(thread), record.thread) << c.what;
        EXPECT_EQ(0, record.callHadReturned) << c.what;
        // The second cancels the call.
        ASSERT_TRUE(QueueUserAPC(cancel_apc, thread, reinterpret_cast<ULONG_PTR>(&record)));
        DWORD ended = WaitForSingleObject(thread, kDeadlineMs);
        EXPECT_EQ(WAIT_OBJECT_0, ended) << c.what;
        if (ended != WAIT_OBJECT_0) {
            closesocket(c.unblock);
            WaitForSingleObject(thread, kDeadlineMs);
        }
        EXPECT_EQ(0, record.cancelResult) << c.what;
        EXPECT_EQ(SOCKET_ERROR, blocked.result) << c.what;
        EXPECT_EQ(WSAEINTR, blocked.error) << c.what;
        CloseHandle(thread);
        CloseHandle(blocked.started);
        CloseHandle(record.ran);
    }
    for (SOCKET s : {client, server, listener, full, fullPeer, busy, connecting}) closesocket(s);
    for (SOCKET s : queued) closesocket(s);
}

TEST_P(BlockingTest, ABlockingReceiveGoesOnAfterItsApcsAndTakesTheDataThatComes) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    char buffer[16] = {};
    BlockedCall blocked;
    blocked.call = [&] { return recv(server, buffer, sizeof(buffer), 0); };
    blocked.started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ApcRecord record;
    record.ran = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    record.blocked = &blocked;
    HANDLE thread = CreateThread(nullptr, 0, run_blocked_call, &blocked, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(blocked.started, kDeadlineMs));
    ASSERT_TRUE(QueueUserAPC(note_apc, thread, reinterpret_cast<ULONG_PTR>(&record)));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(record.ran, kDeadlineMs));
    EXPECT_EQ(3, send(client, "abc", 3, 0));
    DWORD ended = WaitForSingleObject(thread, kDeadlineMs);
    EXPECT_EQ(WAIT_OBJECT_0, ended);
    if (ended != WAIT_OBJECT_0) {
        closesocket(server);
        WaitForSingleObject(thread, kDeadlineMs);
    }
    EXPECT_EQ(3, blocked.result);
    EXPECT_STREQ("abc", buffer);
    CloseHandle(thread);
    CloseHandle(blocked.started);
    CloseHandle(record.ran);
    closesocket(client);
    closesocket(server);
}

INSTANTIATE_TEST_SUITE_P(Stacks, BlockingTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

}  // namespace
