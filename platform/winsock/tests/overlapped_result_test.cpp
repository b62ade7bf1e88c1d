// GetOverlappedResult and CancelIo on socket handles.
#include "winsock_test_support.h"

#include <thread>

using namespace wstest;

namespace {

class OverlappedResultTest : public WinsockTest {};

struct PendingReceive {
    char buffer[8] = {};
    WSABUF wsabuf{sizeof(buffer), buffer};
    DWORD flags = 0;
    WSAOVERLAPPED overlapped{};

    int start(SOCKET s) {
        overlapped.hEvent = WSACreateEvent();
        DWORD count = 0;
        if (WSARecv(s, &wsabuf, 1, &count, &flags, &overlapped, nullptr) == 0) return 0;
        return WSAGetLastError();
    }
    ~PendingReceive() {
        if (overlapped.hEvent) WSACloseEvent(overlapped.hEvent);
    }
};

TEST_P(OverlappedResultTest, GetOverlappedResultTellsPendingThenWaitsForTheOutcome) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    PendingReceive receive;
    ASSERT_EQ(WSA_IO_PENDING, receive.start(server));
    HANDLE handle = reinterpret_cast<HANDLE>(server);
    DWORD bytes = 99;
    EXPECT_FALSE(GetOverlappedResult(handle, &receive.overlapped, &bytes, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_IO_INCOMPLETE), GetLastError());

    ASSERT_EQ(3, send(client, "abc", 3, 0));
    EXPECT_TRUE(GetOverlappedResult(handle, &receive.overlapped, &bytes, TRUE)) << GetLastError();
    EXPECT_EQ(3u, bytes);
    EXPECT_STREQ("abc", receive.buffer);
    EXPECT_TRUE(GetOverlappedResult(handle, &receive.overlapped, &bytes, FALSE));  // asked again: the same

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(GetOverlappedResult(event, &receive.overlapped, &bytes, FALSE));  // not a socket
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    CloseHandle(event);
    closesocket(client);
    closesocket(server);
}

TEST_P(OverlappedResultTest, CancelIoAbortsTheCallingThreadsRequestsOnTheHandleAlone) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    PendingReceive mine, others;
    int othersStarted = 0;
    std::thread([&] { othersStarted = others.start(server); }).join();
    ASSERT_EQ(WSA_IO_PENDING, othersStarted);
    ASSERT_EQ(WSA_IO_PENDING, mine.start(server));

    HANDLE handle = reinterpret_cast<HANDLE>(server);
    EXPECT_TRUE(CancelIo(handle)) << GetLastError();
    EXPECT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &mine.overlapped.hEvent, TRUE, kDeadlineMs, FALSE));
    DWORD bytes = 0;
    EXPECT_FALSE(GetOverlappedResult(handle, &mine.overlapped, &bytes, TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), GetLastError());

    // The other thread's request is still pending and takes the data that comes.
    EXPECT_FALSE(GetOverlappedResult(handle, &others.overlapped, &bytes, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_IO_INCOMPLETE), GetLastError());
    ASSERT_EQ(2, send(client, "xy", 2, 0));
    EXPECT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &others.overlapped.hEvent, TRUE, kDeadlineMs, FALSE));
    EXPECT_TRUE(GetOverlappedResult(handle, &others.overlapped, &bytes, TRUE)) << GetLastError();
    EXPECT_EQ(2u, bytes);
    EXPECT_STREQ("xy", others.buffer);

    EXPECT_FALSE(CancelIo(mine.overlapped.hEvent));  // not a socket
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    closesocket(client);
    closesocket(server);
}

INSTANTIATE_TEST_SUITE_P(Stacks, OverlappedResultTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

}  // namespace
