// Completion port associations go with the socket handle: a socket that gets a descriptor number
// used before starts with no port, however the old user of the number went away.
#include "linux_probe.h"
#include "winsock_test_support.h"

#include <qf/completion_port.h>

using namespace wstest;

namespace {

class PortAssociationTest : public WinsockTest {};

HANDLE as_handle(SOCKET s) { return reinterpret_cast<HANDLE>(s); }

TEST_P(PortAssociationTest, SocketOnTheNumberOfAClosedSocketStartsWithNoPort) {
    HANDLE first = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    HANDLE second = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    SOCKET old = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(INVALID_SOCKET, old);
    ASSERT_EQ(first, CreateIoCompletionPort(as_handle(old), first, 1, 0));
    ASSERT_EQ(0, closesocket(old));
    SOCKET fresh = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(INVALID_SOCKET, fresh);
    EXPECT_EQ(old, fresh);  // the kernel gives out the lowest free numbers again
    EXPECT_FALSE(qf::completion_port_associated(as_handle(fresh)));
    EXPECT_EQ(second, CreateIoCompletionPort(as_handle(fresh), second, 2, 0));
    closesocket(fresh);
    CloseHandle(second);
    CloseHandle(first);
}

TEST_P(PortAssociationTest, SocketOnANumberThatJoinedAPortBehindTheRuntimesBackStartsWithNoPort) {
    // A first socket makes whatever the runtime and the provider keep open for sockets.
    ASSERT_EQ(0, closesocket(socket(AF_INET, SOCK_STREAM, 0)));
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    int fd = open_kernel_socket();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(port, CreateIoCompletionPort(as_handle(static_cast<SOCKET>(fd)), port, 1, 0));
    close_descriptor(fd);  // the runtime never knew the descriptor
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(INVALID_SOCKET, s);
    // Through a layered provider, the number went to the base socket below the application's handle.
    ASSERT_TRUE(descriptor_open(fd));
    EXPECT_FALSE(qf::completion_port_associated(as_handle(static_cast<SOCKET>(fd))));
    EXPECT_FALSE(qf::completion_port_associated(as_handle(s)));
    closesocket(s);
    CloseHandle(port);
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Stacks, PortAssociationTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);
