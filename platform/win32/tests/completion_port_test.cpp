// I/O completion ports: packets, waiters, associations and closing.
#include "thread_helpers.h"

#include <qf/completion_port.h>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <set>

using win32_test::join_thread;
using win32_test::kDeadlineMs;
using win32_test::wait_until;
using win32_test::start_thread;

namespace {

HANDLE new_port() { return CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0); }

// A socket handle is a descriptor: a kernel socket that the test closes itself, dropping its
// association as the Winsock runtime does when it closes a socket.
class SocketDescriptor {
public:
    SocketDescriptor() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {}
    ~SocketDescriptor() { close(); }
    HANDLE handle() const { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(fd_)); }
    bool valid() const { return fd_ >= 0; }
    void close() {
        if (fd_ < 0) return;
        qf::completion_port_forget(handle());
        ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

TEST(CompletionPorts, PacketsComeOutInTheOrderTheyWentIn) {
    HANDLE port = new_port();
    ASSERT_NE(port, nullptr);
    OVERLAPPED first = {}, second = {};
    ASSERT_TRUE(PostQueuedCompletionStatus(port, 10, 1, &first));
    ASSERT_TRUE(PostQueuedCompletionStatus(port, 20, 0xFFFFFFFF, &second));
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED overlapped = nullptr;
    ASSERT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &overlapped, 0));
    EXPECT_EQ(bytes, 10u);
    EXPECT_EQ(key, 1u);
    EXPECT_EQ(overlapped, &first);
    ASSERT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &overlapped, 0));
    EXPECT_EQ(bytes, 20u);
    EXPECT_EQ(key, 0xFFFFFFFFu);
    EXPECT_EQ(overlapped, &second);
    CloseHandle(port);
}

TEST(CompletionPorts, EmptyPortTimesOutWithNoOverlapped) {
    HANDLE port = new_port();
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED dummy = {};
    LPOVERLAPPED overlapped = &dummy;
    EXPECT_FALSE(GetQueuedCompletionStatus(port, &bytes, &key, &overlapped, 10));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(overlapped, nullptr);
    CloseHandle(port);
}

TEST(CompletionPorts, TwoWaitersEachTakeOnePacket) {
    HANDLE port = new_port();
    std::atomic<int> ready{0};
    OVERLAPPED packets[2] = {};
    auto waiter = [&] {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED overlapped = nullptr;
        ++ready;
        if (!GetQueuedCompletionStatus(port, &bytes, &key, &overlapped, 5000)) return DWORD{99};
        return static_cast<DWORD>(overlapped - packets);
    };
    HANDLE a = start_thread(waiter);
    HANDLE b = start_thread(waiter);
    ASSERT_TRUE(wait_until([&] { return ready == 2; }));
    Sleep(20);
    PostQueuedCompletionStatus(port, 0, 0, &packets[0]);
    PostQueuedCompletionStatus(port, 0, 0, &packets[1]);
    std::set<DWORD> taken = {join_thread(a), join_thread(b)};
    EXPECT_EQ(taken, (std::set<DWORD>{0, 1}));
    CloseHandle(port);
}

TEST(CompletionPorts, AssociatedHandleCompletesUnderItsKeyWithItsError) {
    HANDLE port = new_port();
    SocketDescriptor socket;
    ASSERT_TRUE(socket.valid());
    HANDLE socketLike = socket.handle();
    EXPECT_FALSE(qf::completion_port_associated(socketLike));
    ASSERT_EQ(CreateIoCompletionPort(socketLike, port, 0x1234, 0), port);
    EXPECT_TRUE(qf::completion_port_associated(socketLike));
    // A handle joins one port only.
    HANDLE other = new_port();
    EXPECT_EQ(CreateIoCompletionPort(socketLike, other, 1, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    OVERLAPPED ok = {}, failed = {};
    ASSERT_TRUE(qf::completion_port_complete(socketLike, 100, &ok, 0));
    ASSERT_TRUE(qf::completion_port_complete(socketLike, 0, &failed, WSAECONNRESET));
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED overlapped = nullptr;
    ASSERT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &overlapped, 0));
    EXPECT_EQ(bytes, 100u);
    EXPECT_EQ(key, 0x1234u);
    EXPECT_EQ(overlapped, &ok);
    // A failed operation: FALSE, yet the overlapped comes back and the error is the last error.
    EXPECT_FALSE(GetQueuedCompletionStatus(port, &bytes, &key, &overlapped, 0));
    EXPECT_EQ(overlapped, &failed);
    EXPECT_EQ(key, 0x1234u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSAECONNRESET));

    // Once forgotten (the socket closed), the value may join another port.
    qf::completion_port_forget(socketLike);
    EXPECT_FALSE(qf::completion_port_complete(socketLike, 0, &ok, 0));
    EXPECT_EQ(CreateIoCompletionPort(socketLike, other, 1, 0), other);
    socket.close();
    CloseHandle(other);
    CloseHandle(port);
}

TEST(CompletionPorts, AssociationWithoutAPortMakesOne) {
    SocketDescriptor socket;
    ASSERT_TRUE(socket.valid());
    HANDLE handle = socket.handle();
    HANDLE port = CreateIoCompletionPort(handle, nullptr, 5, 0);
    ASSERT_NE(port, nullptr);
    OVERLAPPED o = {};
    ASSERT_TRUE(qf::completion_port_complete(handle, 1, &o, 0));
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED overlapped = nullptr;
    EXPECT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &overlapped, 0));
    EXPECT_EQ(key, 5u);
    CloseHandle(port);
    // The port is gone: the association no longer delivers.
    EXPECT_FALSE(qf::completion_port_complete(handle, 1, &o, 0));
}

TEST(CompletionPorts, OnlyAnOpenHandleJoinsAPort) {
    HANDLE port = new_port();
    ASSERT_NE(port, nullptr);
    SocketDescriptor socket;
    ASSERT_TRUE(socket.valid());
    HANDLE closedSocket = socket.handle();
    socket.close();
    HANDLE closedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(closedEvent);
    for (HANDLE closed : {closedSocket, closedEvent}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(CreateIoCompletionPort(closed, port, 1, 0), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(CreateIoCompletionPort(closed, nullptr, 1, 0), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(qf::completion_port_associated(closed));
    }
    // So a socket that later gets the closed one's descriptor number starts with no port.
    SocketDescriptor reused;
    ASSERT_TRUE(reused.valid());
    ASSERT_EQ(reused.handle(), closedSocket);  // the kernel gives out the lowest free number
    EXPECT_FALSE(qf::completion_port_associated(reused.handle()));
    CloseHandle(port);
}

TEST(CompletionPorts, ClosingAHandleEndsItsAssociation) {
    HANDLE port = new_port();
    HANDLE handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // stands for any handle of the stand-in
    ASSERT_EQ(CreateIoCompletionPort(handle, port, 3, 0), port);
    EXPECT_TRUE(qf::completion_port_associated(handle));
    ASSERT_TRUE(CloseHandle(handle));
    EXPECT_FALSE(qf::completion_port_associated(handle));
    OVERLAPPED o = {};
    EXPECT_FALSE(qf::completion_port_complete(handle, 1, &o, 0));
    CloseHandle(port);
}

TEST(CompletionPorts, ClosingThePortReleasesAWaiter) {
    HANDLE port = new_port();
    std::atomic<bool> waiting{false};
    HANDLE thread = start_thread([&] {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED overlapped = nullptr;
        waiting = true;
        BOOL ok = GetQueuedCompletionStatus(port, &bytes, &key, &overlapped, INFINITE);  // closing ends it
        return ok ? DWORD{0} : GetLastError();
    });
    ASSERT_TRUE(wait_until([&] { return waiting.load(); }));
    Sleep(20);
    CloseHandle(port);
    EXPECT_EQ(join_thread(thread), static_cast<DWORD>(ERROR_ABANDONED_WAIT_0));
}

TEST(CompletionPorts, BadHandlesAndArgumentsFail) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(PostQueuedCompletionStatus(event, 0, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    DWORD bytes;
    ULONG_PTR key;
    LPOVERLAPPED overlapped;
    EXPECT_FALSE(GetQueuedCompletionStatus(event, &bytes, &key, &overlapped, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(CreateIoCompletionPort(INVALID_HANDLE_VALUE, event, 0, 0), nullptr);
    EXPECT_EQ(CreateIoCompletionPort(reinterpret_cast<HANDLE>(11), event, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);
}

}  // namespace
