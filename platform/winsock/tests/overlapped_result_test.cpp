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

// A base socket that skips its port on success: requests done within the call bring no packet,
// a receive that waits still does. (A layered provider's completions go through
// WPUCompleteOverlappedRequest, which always queues, as with a non-IFS provider on Windows.)
TEST_P(OverlappedResultTest, ASocketThatSkipsItsPortOnSuccessHearsThroughItOnlyOfRequestsThatWaited) {
    if (layered()) GTEST_SKIP() << "the mode is the base provider's";
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    HANDLE handle = reinterpret_cast<HANDLE>(server);
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    ASSERT_EQ(port, CreateIoCompletionPort(handle, port, 5, 0));
    EXPECT_FALSE(SetFileCompletionNotificationModes(handle, 0x4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(SetFileCompletionNotificationModes(INVALID_HANDLE_VALUE, FILE_SKIP_COMPLETION_PORT_ON_SUCCESS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    ASSERT_TRUE(SetFileCompletionNotificationModes(handle, FILE_SKIP_COMPLETION_PORT_ON_SUCCESS));
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED done = nullptr;

    ASSERT_EQ(3, send(client, "abc", 3, 0));
    ASSERT_TRUE(wait_readable(server));
    char data[8] = {};
    WSABUF buffer{sizeof(data), data};
    DWORD got = 0, flags = 0;
    WSAOVERLAPPED atOnce{};
    ASSERT_EQ(0, WSARecv(server, &buffer, 1, &got, &flags, &atOnce, nullptr)) << WSAGetLastError();
    EXPECT_EQ(3u, got);
    char one[] = "x";
    WSABUF out{1, one};
    WSAOVERLAPPED sent{};
    ASSERT_EQ(0, WSASend(server, &out, 1, &got, 0, &sent, nullptr)) << WSAGetLastError();
    EXPECT_FALSE(GetQueuedCompletionStatus(port, &bytes, &key, &done, 50));
    EXPECT_EQ(nullptr, done);

    WSAOVERLAPPED waits{};
    ASSERT_EQ(SOCKET_ERROR, WSARecv(server, &buffer, 1, &got, &flags, &waits, nullptr));
    ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    ASSERT_EQ(2, send(client, "de", 2, 0));
    ASSERT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &done, kDeadlineMs));
    EXPECT_EQ(&waits, done);
    EXPECT_EQ(5u, key);
    EXPECT_EQ(2u, bytes);
    closesocket(client);
    closesocket(server);
    CloseHandle(port);
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
