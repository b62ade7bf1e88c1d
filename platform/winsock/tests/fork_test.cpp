// A forked child goes on using the sockets and the Winsock of its parent: its blocking calls wait
// for its own sockets (the engine of the base provider is its parent's until the child's first
// use), and the parent's calls keep working beside it.
#include "winsock_test_support.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>

using namespace wstest;

namespace {

class ForkTest : public WinsockTest {};

// A child ends by this deadline of its own even when its parent's test stops early.
const unsigned kChildDeadlineSeconds = 2 * kDeadlineMs / 1000;

// What the child reports through its exit status.
enum ChildResult { kChildOk = 0, kChildAcceptFailed = 10, kChildAcceptedReceiveFailed, kChildInheritedReceiveFailed };

const char* child_result_text(int result) {
    switch (result) {
    case kChildOk: return "ok";
    case kChildAcceptFailed: return "the blocking accept failed";
    case kChildAcceptedReceiveFailed: return "the blocking receive on the accepted connection failed";
    case kChildInheritedReceiveFailed: return "the blocking receive on the inherited connection failed";
    default: return "unexpected exit";
    }
}

// Receives n bytes with plain blocking calls: no wait for readiness first. A child's calls end by
// its alarm or its parent's wait_child; the parent's receives are limited by SO_RCVTIMEO.
std::string receive_blocking(SOCKET s, size_t n) {
    std::string data;
    char buffer[64];
    while (data.size() < n) {
        int got = recv(s, buffer, static_cast<int>(std::min(sizeof(buffer), n - data.size())), 0);
        if (got <= 0) break;
        data.append(buffer, got);
    }
    return data;
}

bool limit_receives(SOCKET s) {
    DWORD limit = kDeadlineMs;
    return setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit)) == 0;
}

// The child: says it is about to block, then takes a connection with a blocking accept, receives
// on it, and receives on the connection it inherited.
[[noreturn]] void run_child(int readyPipe, SOCKET listener, SOCKET inherited) {
    alarm(kChildDeadlineSeconds);
    char ready = 'r';
    ssize_t ignored = write(readyPipe, &ready, 1);
    (void)ignored;
    SOCKET accepted = accept(listener, nullptr, nullptr);
    if (accepted == INVALID_SOCKET) _exit(kChildAcceptFailed);
    if (receive_blocking(accepted, 5) != "hello") _exit(kChildAcceptedReceiveFailed);
    closesocket(accepted);
    if (receive_blocking(inherited, 5) != "child") _exit(kChildInheritedReceiveFailed);
    _exit(kChildOk);
}

// The child's exit status, waited for at most timeoutMs (then it is killed: -1).
int wait_child(pid_t child, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        int status = 0;
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 || GetTickCount() - start >= timeoutMs) break;
        Sleep(10);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
}

bool send_text(SOCKET s, const std::string& text) {
    return send(s, text.data(), static_cast<int>(text.size()), 0) == static_cast<int>(text.size());
}

TEST_P(ForkTest, AForkedChildsBlockingAcceptAndReceivesWaitForItsOwnSocketsAndTheParentGoesOn) {
    sockaddr_in address{};
    SOCKET listener = tcp_listener(address);
    ASSERT_NE(INVALID_SOCKET, listener);
    SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
    tcp_pair(client, server);
    ASSERT_NE(INVALID_SOCKET, client);
    ASSERT_TRUE(limit_receives(client));
    // The parent's engine has been at work before the fork.
    ASSERT_TRUE(send_text(server, "first"));
    ASSERT_EQ("first", receive_blocking(client, 5));

    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) run_child(ready[1], listener, client);
    close(ready[1]);

    // Once the child is about to block, it is given what it waits for, one piece after the other.
    pollfd item{ready[0], POLLIN, 0};
    ASSERT_EQ(1, poll(&item, 1, static_cast<int>(kDeadlineMs)));
    close(ready[0]);
    Sleep(100);  // lets the child reach its wait (it passes either way)
    SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(0, connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof(address))) << WSAGetLastError();
    ASSERT_TRUE(send_text(connection, "hello"));
    ASSERT_TRUE(send_text(server, "child"));
    int result = wait_child(child, kDeadlineMs);
    EXPECT_EQ(kChildOk, result) << child_result_text(result);
    closesocket(connection);

    // The parent's blocking calls still wait for their sockets and are woken.
    ASSERT_TRUE(send_text(server, "again"));
    EXPECT_EQ("again", receive_blocking(client, 5));
    SOCKET late = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(0, connect(late, reinterpret_cast<sockaddr*>(&address), sizeof(address))) << WSAGetLastError();
    ASSERT_TRUE(wait_readable(listener));
    SOCKET accepted = accept(listener, nullptr, nullptr);
    EXPECT_NE(INVALID_SOCKET, accepted) << WSAGetLastError();
    closesocket(accepted);
    closesocket(late);
    closesocket(client);
    closesocket(server);
    closesocket(listener);
}

// The child's first call closes a socket that a thread of the parent is blocked on: the parent's
// wait goes on and takes the data that comes.
TEST_P(ForkTest, AChildClosingAnInheritedSocketLeavesTheParentsBlockedReceiveOnIt) {
    SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
    tcp_pair(client, server);
    ASSERT_NE(INVALID_SOCKET, client);
    ASSERT_TRUE(limit_receives(client));
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string received;
    std::thread receiver([&] {
        SetEvent(started);
        received = receive_blocking(client, 5);
    });
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started, kDeadlineMs));
    Sleep(100);  // lets the receive reach its wait (it passes either way)
    pid_t child = fork();
    if (child == 0) {
        alarm(kChildDeadlineSeconds);
        _exit(closesocket(client) == 0 ? 0 : 1);
    }
    EXPECT_EQ(0, wait_child(child, kDeadlineMs));
    EXPECT_TRUE(send_text(server, "after"));
    receiver.join();
    EXPECT_EQ("after", received);
    CloseHandle(started);
    closesocket(client);
    closesocket(server);
}

INSTANTIATE_TEST_SUITE_P(Stacks, ForkTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

}  // namespace
