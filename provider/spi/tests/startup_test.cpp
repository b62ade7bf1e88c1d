// vtlsp's start-up and clean-up as the Winsock runtime calls them, its catalog lookups, and the
// extension functions it hands out.
#include "spi_harness.h"

#include <string.h>

namespace spi_test {
namespace {

const WSPUPCALLTABLE kUpcalls = {
    WPUCloseEvent,    WPUCloseSocketHandle,        WPUCreateEvent, WPUCreateSocketHandle,
    WPUFDIsSet,       WPUGetProviderPath,          WPUModifyIFSHandle, WPUPostMessage,
    WPUQueryBlockingCallback, WPUQuerySocketHandleContext, WPUQueueApc, WPUResetEvent,
    WPUSetEvent,      WPUOpenCurrentThread,        WPUCloseThread,
};

// vtlsp's own WSPStartup, called as the runtime does.
int start_vtlsp(WSPPROC_TABLE& table, WSPDATA& data) {
    HMODULE vtlsp = GetModuleHandleA("vtlsp.dll");
    if (!vtlsp) return -1;
    auto startup = reinterpret_cast<LPWSPSTARTUP>(reinterpret_cast<void*>(GetProcAddress(vtlsp, "WSPStartup")));
    if (!startup) return -1;
    WSAPROTOCOL_INFOW chain = tcp_chain_entry();
    return startup(MAKEWORD(2, 2), &data, &chain, kUpcalls, &table);
}

TEST_F(ProviderTest, WithoutItsOwnCatalogEntryTheProviderDoesNotStart) {
    WSPPROC_TABLE table{};
    WSPDATA data{};
    EXPECT_EQ(WSASYSNOTREADY, start_vtlsp(table, data));
    EXPECT_EQ(MAKEWORD(2, 2), data.wVersion);
    EXPECT_EQ(MAKEWORD(2, 2), data.wHighVersion);
    EXPECT_EQ(nullptr, table.lpWSPSocket);
}

TEST_F(ProviderTest, TwoStartUpsNeedTwoCleanUps) {
    start();
    const std::string host = own_loopback_address();
    sockaddr_in bound;
    SOCKET listener = tcp_listener(host.c_str(), 0, bound);  // the runtime's start-up of vtlsp
    WSPPROC_TABLE table{};
    WSPDATA data{};
    ASSERT_EQ(0, start_vtlsp(table, data));
    INT error = 0;
    EXPECT_EQ(0, table.lpWSPCleanup(&error));
    EXPECT_EQ(0, error);
    // Still started: the listener works.
    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, client);
    EXPECT_EQ(0, connect(client, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
    EXPECT_TRUE(wait_readable(listener, kDeadlineMs));
    // The second clean-up tears down: every socket of vtlsp is closed.
    EXPECT_EQ(0, table.lpWSPCleanup(&error));
    EXPECT_EQ(SOCKET_ERROR, send(client, "x", 1, 0));
    EXPECT_EQ(WSAENOTSOCK, WSAGetLastError());
    EXPECT_EQ(0, table.lpWSPCleanup(&error)) << "a clean-up too many still succeeds";
}

TEST_F(ProviderTest, ChainsWithoutAProviderBelowThisOneHaveNoNextProvider) {
    start();
    SOCKET first = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);  // the runtime's start-up of vtlsp
    ASSERT_NE(INVALID_SOCKET, first);
    WSPPROC_TABLE table{};
    WSPDATA data{};
    ASSERT_EQ(0, start_vtlsp(table, data));
    const WSAPROTOCOL_INFOW chain = tcp_chain_entry();
    // The layered entry itself is an entry that no socket has been made for yet.
    const DWORD layered = chain.ProtocolChain.ChainEntries[0];
    struct Case {
        const char* name;
        DWORD entryId;
        int length;
        DWORD entries[2];
    } cases[] = {
        {"this provider last", layered, 2,
         {chain.ProtocolChain.ChainEntries[1], chain.ProtocolChain.ChainEntries[0]}},
        {"this provider alone", layered, 1, {chain.ProtocolChain.ChainEntries[0], 0}},
        {"no such catalog entry", 0xFFFF, 2,
         {chain.ProtocolChain.ChainEntries[0], chain.ProtocolChain.ChainEntries[1]}},
    };
    for (const Case& c : cases) {
        WSAPROTOCOL_INFOW info = chain;
        info.dwCatalogEntryId = c.entryId;
        info.ProtocolChain.ChainLen = c.length;
        info.ProtocolChain.ChainEntries[0] = c.entries[0];
        info.ProtocolChain.ChainEntries[1] = c.entries[1];
        INT error = 0;
        EXPECT_EQ(INVALID_SOCKET, table.lpWSPSocket(AF_INET, SOCK_STREAM, IPPROTO_TCP, &info, 0, 0, &error)) << c.name;
        EXPECT_EQ(WSASYSNOTREADY, error) << c.name;
    }
    INT error = 0;
    table.lpWSPCleanup(&error);
    closesocket(first);
}

TEST_F(ProviderTest, AcceptExIsHandedOutAsTheProvidersOwnAndReachesTheLowerOne) {
    start();
    const std::string host = own_loopback_address();
    sockaddr_in bound;
    SOCKET listener = tcp_listener(host.c_str(), 0, bound);
    SOCKET accepting = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
    ASSERT_NE(INVALID_SOCKET, accepting);
    GUID id = WSAID_ACCEPTEX;
    LPFN_ACCEPTEX acceptEx = nullptr;
    DWORD returned = 0;
    ASSERT_EQ(0, WSAIoctl(listener, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &acceptEx, sizeof(acceptEx),
                          &returned, nullptr, nullptr))
        << WSAGetLastError();
    ASSERT_NE(nullptr, acceptEx);
    {
        // Asked for overlapped, the answer is the same replacement once the request completes.
        LPFN_ACCEPTEX viaRequest = nullptr;
        WSAOVERLAPPED request{};
        request.hEvent = WSACreateEvent();
        int result = WSAIoctl(listener, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &viaRequest,
                              sizeof(viaRequest), &returned, &request, nullptr);
        ASSERT_TRUE(result == 0 || WSAGetLastError() == WSA_IO_PENDING) << WSAGetLastError();
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(request.hEvent, kDeadlineMs));
        DWORD bytes = 0, flags = 0;
        EXPECT_TRUE(WSAGetOverlappedResult(listener, &request, &bytes, FALSE, &flags)) << WSAGetLastError();
        EXPECT_EQ(acceptEx, viaRequest);
        WSACloseEvent(request.hEvent);
    }
    // The replacement takes vtlsp's handles only: a socket of the base provider is not one.
    WSAPROTOCOL_INFOW baseInfo{};
    for (const auto& entry : enumerate_catalog())
        if (entry.ProtocolChain.ChainLen == BASE_PROTOCOL && entry.iSocketType == SOCK_STREAM) baseInfo = entry;
    SOCKET baseSocket = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, &baseInfo, 0, WSA_FLAG_OVERLAPPED);
    ASSERT_NE(INVALID_SOCKET, baseSocket);
    {
        char unused[2 * (sizeof(sockaddr_in) + 16)];
        WSAOVERLAPPED notQueued{};
        DWORD none = 0;
        EXPECT_FALSE(acceptEx(listener, baseSocket, unused, 0, sizeof(sockaddr_in) + 16, sizeof(sockaddr_in) + 16,
                              &none, &notQueued));
        EXPECT_NE(static_cast<DWORD>(WSA_IO_PENDING), GetLastError());
    }
    closesocket(baseSocket);
    char buffer[2 * (sizeof(sockaddr_in) + 16)];
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    DWORD bytes = 0;
    EXPECT_FALSE(acceptEx(listener, accepting, buffer, 0, sizeof(sockaddr_in) + 16, sizeof(sockaddr_in) + 16, &bytes,
                          &overlapped));
    EXPECT_EQ(static_cast<DWORD>(WSA_IO_PENDING), GetLastError());
    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(0, connect(client, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(overlapped.hEvent, kDeadlineMs));
    DWORD flags = 0;
    EXPECT_TRUE(WSAGetOverlappedResult(accepting, &overlapped, &bytes, FALSE, &flags)) << WSAGetLastError();
    ASSERT_EQ(1, send(client, "y", 1, 0));
    char data[4];
    ASSERT_TRUE(wait_readable(accepting, kDeadlineMs));
    EXPECT_EQ(1, recv(accepting, data, sizeof(data), 0));

    WSACloseEvent(overlapped.hEvent);
    closesocket(client);
    closesocket(accepting);
    closesocket(listener);
}

}  // namespace
}  // namespace spi_test
