// Socket handles and the standard streams: a program that closed one of them never gets a socket
// under its number.
#include "winsock_test_support.h"

#include "linux_probe.h"

using namespace wstest;

namespace {

class DescriptorTest : public WinsockTest {};

TEST_P(DescriptorTest, NoSocketTakesTheNumberOfAClosedStandardInput) {
    // The providers are loaded first, so that what they open once is not what is looked at.
    SOCKET warmUp = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(INVALID_SOCKET, warmUp);
    closesocket(warmUp);

    ClosedStandardDescriptor closed(0);
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, client);
    ASSERT_EQ(0, connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address))) << WSAGetLastError();
    ASSERT_TRUE(wait_readable(listener));
    SOCKET server = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, server) << WSAGetLastError();
    sockaddr_in datagramAddress;
    SOCKET datagram = udp_socket(datagramAddress);

    for (SOCKET s : {listener, client, server, datagram}) EXPECT_GT(s, 2u);
    // Nor does a socket beneath a layered provider's handle.
    EXPECT_FALSE(descriptor_is_socket(0));

    for (SOCKET s : {listener, client, server, datagram}) closesocket(s);
}

INSTANTIATE_TEST_SUITE_P(Stacks, DescriptorTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

}  // namespace
