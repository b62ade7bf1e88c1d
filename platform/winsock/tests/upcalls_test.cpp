// The completion upcall: only handles made by WPUCreateSocketHandle, and never a completion routine
// (a provider queues those itself).
#include "winsock_test_support.h"

using namespace wstest;

namespace {

class CompletionUpcallTest : public WinsockTest {
protected:
    WSAPROTOCOL_INFOW base_entry(int type) const {
        for (const auto& entry : enumerate_catalog())
            if (entry.ProtocolChain.ChainLen == BASE_PROTOCOL && entry.iSocketType == type) return entry;
        return WSAPROTOCOL_INFOW{};
    }
};

int routineCalls = 0;
void CALLBACK count_routine(DWORD, DWORD, LPWSAOVERLAPPED, DWORD) { routineCalls++; }

TEST_P(CompletionUpcallTest, RefusesEveryHandleNotMadeByCreateSocketHandle) {
    WSAPROTOCOL_INFOW base = base_entry(SOCK_DGRAM);
    SOCKET baseSocket = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, &base, 0, WSA_FLAG_OVERLAPPED);
    ASSERT_NE(INVALID_SOCKET, baseSocket) << WSAGetLastError();
    int error = 0;
    SOCKET closedHandle = WPUCreateSocketHandle(base.dwCatalogEntryId, 7, &error);
    ASSERT_NE(INVALID_SOCKET, closedHandle);
    ASSERT_EQ(0, WPUCloseSocketHandle(closedHandle, &error));

    struct Case {
        const char* what;
        SOCKET handle;
    };
    for (const Case& c : {Case{"a base provider's socket", baseSocket}, Case{"a handle closed already", closedHandle}}) {
        WSAEVENT event = WSACreateEvent();
        WSAOVERLAPPED overlapped{};
        overlapped.Internal = WSS_OPERATION_IN_PROGRESS;
        overlapped.hEvent = event;
        error = 0;
        EXPECT_EQ(SOCKET_ERROR, WPUCompleteOverlappedRequest(c.handle, &overlapped, 0, 5, &error)) << c.what;
        EXPECT_EQ(WSAEINVAL, error) << c.what;
        EXPECT_EQ(static_cast<ULONG_PTR>(WSS_OPERATION_IN_PROGRESS), overlapped.Internal) << c.what;
        EXPECT_EQ(0u, overlapped.InternalHigh) << c.what;
        EXPECT_EQ(WSA_WAIT_TIMEOUT, WSAWaitForMultipleEvents(1, &event, TRUE, 0, FALSE)) << c.what;
        WSACloseEvent(event);
    }
    closesocket(baseSocket);
}

// A request made with a completion routine is completed by its provider through an APC. When the
// application reuses the overlapped structure later, a completion reported on it through the
// upcall signals the event and nothing else: no routine of an earlier request runs again.
TEST_P(CompletionUpcallTest, NeverRunsACompletionRoutineEvenOfAnEarlierRequestOnTheSameStructure) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    char buffer[8];
    WSABUF in{sizeof(buffer), buffer};
    DWORD count = 0, flags = 0;
    WSAOVERLAPPED overlapped{};
    routineCalls = 0;
    int result = WSARecv(server, &in, 1, &count, &flags, &overlapped, count_routine);
    ASSERT_TRUE(result == 0 || WSAGetLastError() == WSA_IO_PENDING) << WSAGetLastError();
    ASSERT_EQ(3, send(client, "abc", 3, 0));
    DWORD start = GetTickCount();
    while (routineCalls == 0 && GetTickCount() - start < kDeadlineMs) SleepEx(50, TRUE);
    ASSERT_EQ(1, routineCalls);

    int error = 0;
    SOCKET handle = WPUCreateSocketHandle(1004, 9, &error);
    ASSERT_NE(INVALID_SOCKET, handle);
    for (SOCKET s : {server, handle}) {
        if (!layered() && s == server) continue;  // a base socket is no handle of the upcall's
        WSAEVENT event = WSACreateEvent();
        overlapped = WSAOVERLAPPED{};
        overlapped.Internal = WSS_OPERATION_IN_PROGRESS;
        overlapped.hEvent = event;
        ASSERT_EQ(0, WPUCompleteOverlappedRequest(s, &overlapped, 0, 3, &error)) << error;
        EXPECT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &event, TRUE, 0, FALSE));
        EXPECT_EQ(0u, overlapped.Internal);
        EXPECT_EQ(3u, overlapped.InternalHigh);
        SleepEx(50, TRUE);
        EXPECT_EQ(1, routineCalls);
        WSACloseEvent(event);
    }
    WPUCloseSocketHandle(handle, &error);
    closesocket(client);
    closesocket(server);
}

INSTANTIATE_TEST_SUITE_P(Stacks, CompletionUpcallTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

}  // namespace
