// A layered provider in the catalog: every entry point reached through its chain, the handles it
// gets from WPUCreateSocketHandle, catalog order, and a second process that uses the chain.
#include "winsock_test_support.h"

#include "linux_probe.h"
#include "passthru.h"
#include "winsock_seed.h"

#include <cstdio>
#include <cstring>
#include <thread>

using namespace wstest;

namespace {

class LayeredTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(qf::seed_winsock_catalog(error)) << error;
        ASSERT_NO_FATAL_FAILURE(install_passthru());
        // Held by the test too, so that its counts can be read after the runtime lets it go.
        module_ = LoadLibraryA("qfpassthru.dll");
        ASSERT_NE(nullptr, module_);
        calls_ = reinterpret_cast<PassthruCallsFn>(reinterpret_cast<void*>(GetProcAddress(module_, "passthru_calls")));
        ASSERT_NE(nullptr, calls_);
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
        started_ = true;
    }
    void TearDown() override {
        if (started_) {
            EXPECT_EQ(0, WSACleanup());
        }
        if (module_) FreeLibrary(module_);
    }
    LONG calls(int index) const { return calls_(index); }
    WSAPROTOCOL_INFOW base_entry(int type) const {
        for (const auto& entry : enumerate_catalog())
            if (entry.ProtocolChain.ChainLen == BASE_PROTOCOL && entry.iSocketType == type) return entry;
        return WSAPROTOCOL_INFOW{};
    }

    qf_test::TempMachineRoot root_;
    HMODULE module_ = nullptr;
    PassthruCallsFn calls_ = nullptr;
    bool started_ = false;
};

const int kSocketEntry = 28;

TEST_F(LayeredTest, EveryEntryPointIsReachedThroughTheChain) {
    MessageWindow window;
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);  // socket, bind, listen, getsockname
    SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(0, WSAAsyncSelect(client, window.handle(), WM_USER + 1, FD_CONNECT));
    ASSERT_EQ(0, WSAAsyncSelect(client, window.handle(), 0, 0));
    u_long off = 0;
    ASSERT_EQ(0, ioctlsocket(client, FIONBIO, &off));
    ASSERT_EQ(0, connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    ASSERT_TRUE(wait_readable(listener));
    SOCKET server = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, server);
    sockaddr_in peer;
    int length = sizeof(peer);
    EXPECT_EQ(0, getpeername(server, reinterpret_cast<sockaddr*>(&peer), &length));
    BOOL on = TRUE;
    EXPECT_EQ(0, setsockopt(server, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on), sizeof(on)));
    int type = 0;
    length = sizeof(type);
    EXPECT_EQ(0, getsockopt(server, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length));
    EXPECT_EQ(SOCK_STREAM, type);

    WSAEVENT event = WSACreateEvent();
    ASSERT_EQ(0, WSAEventSelect(server, event, FD_READ));
    EXPECT_EQ(2, send(client, "ab", 2, 0));
    ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &event, FALSE, 10000, FALSE));
    WSANETWORKEVENTS events;
    EXPECT_EQ(0, WSAEnumNetworkEvents(server, event, &events));
    ASSERT_EQ(0, WSAEventSelect(server, nullptr, 0));
    ASSERT_EQ(0, ioctlsocket(server, FIONBIO, &off));
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(server, &readable);
    timeval wait{10, 0};
    EXPECT_EQ(1, select(0, &readable, nullptr, nullptr, &wait));
    char buffer[8];
    EXPECT_EQ(2, recv(server, buffer, sizeof(buffer), 0));

    WSABUF wsabuf{sizeof(buffer), buffer};
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD count = 0, flags = 0;
    EXPECT_EQ(SOCKET_ERROR, WSARecv(server, &wsabuf, 1, &count, &flags, &overlapped, nullptr));
    EXPECT_EQ(1, send(client, "c", 1, 0));
    ASSERT_EQ(WSA_WAIT_EVENT_0, WSAWaitForMultipleEvents(1, &event, FALSE, kDeadlineMs, FALSE));
    EXPECT_TRUE(WSAGetOverlappedResult(server, &overlapped, &count, TRUE, &flags));
    char qosName[] = "none";
    WSABUF qos{4, qosName};
    QOS quality{};
    EXPECT_FALSE(WSAGetQOSByName(server, &qos, &quality));

    WSAPROTOCOL_INFOW info;
    ASSERT_EQ(0, WSADuplicateSocketW(server, GetCurrentProcessId(), &info));
    SOCKET copy = WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0, 0);
    EXPECT_NE(INVALID_SOCKET, copy);
    closesocket(copy);
    EXPECT_EQ(0, WSASendDisconnect(client, nullptr));
    EXPECT_EQ(0, WSARecvDisconnect(server, nullptr));
    EXPECT_EQ(0, shutdown(server, SD_BOTH));

    sockaddr_in udpAddress;
    SOCKET udp = udp_socket(udpAddress);
    EXPECT_EQ(1, sendto(udp, "u", 1, 0, reinterpret_cast<sockaddr*>(&udpAddress), sizeof(udpAddress)));
    ASSERT_TRUE(wait_readable(udp));
    EXPECT_EQ(1, recvfrom(udp, buffer, sizeof(buffer), 0, nullptr, nullptr));
    sockaddr_in group = loopback(5000);
    group.sin_addr.s_addr = htonl(0xef010203);  // 239.1.2.3; the join may fail on a machine without multicast
    WSAJoinLeaf(udp, reinterpret_cast<sockaddr*>(&group), sizeof(group), nullptr, nullptr, nullptr, nullptr, JL_BOTH);

    char text[32];
    DWORD textLength = sizeof(text);
    EXPECT_EQ(0, WSAAddressToStringA(reinterpret_cast<sockaddr*>(&address), sizeof(address), nullptr, text, &textLength));
    sockaddr_in parsed;
    int parsedLength = sizeof(parsed);
    EXPECT_EQ(0, WSAStringToAddressA(text, AF_INET, nullptr, reinterpret_cast<sockaddr*>(&parsed), &parsedLength));
    EXPECT_EQ(SOCKET_ERROR, WSACancelBlockingCall());  // nothing in progress to cancel
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());

    for (SOCKET s : {client, server, listener, udp}) EXPECT_EQ(0, closesocket(s));
    WSACloseEvent(event);
    ASSERT_EQ(0, WSACleanup());
    started_ = false;

    const char* names[] = {"WSPAccept", "WSPAddressToString", "WSPAsyncSelect", "WSPBind", "WSPCancelBlockingCall",
                           "WSPCleanup", "WSPCloseSocket", "WSPConnect", "WSPDuplicateSocket", "WSPEnumNetworkEvents",
                           "WSPEventSelect", "WSPGetOverlappedResult", "WSPGetPeerName", "WSPGetSockName",
                           "WSPGetSockOpt", "WSPGetQOSByName", "WSPIoctl", "WSPJoinLeaf", "WSPListen", "WSPRecv",
                           "WSPRecvDisconnect", "WSPRecvFrom", "WSPSelect", "WSPSend", "WSPSendDisconnect",
                           "WSPSendTo", "WSPSetSockOpt", "WSPShutdown", "WSPSocket", "WSPStringToAddress"};
    for (int i = 0; i < 30; ++i) EXPECT_GT(calls(i), 0) << names[i];
}

TEST_F(LayeredTest, HandlesAreDuplicatesOfTheBaseSocketTheirChainMade) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    for (SOCKET s : {client, server}) {
        sockaddr_in local;
        int length = sizeof(local);
        ASSERT_EQ(0, getsockname(s, reinterpret_cast<sockaddr*>(&local), &length));
        EXPECT_EQ(ntohs(local.sin_port), kernel_local_port(static_cast<int>(s)));  // the kernel's own socket
    }
    DWORD_PTR context = 0;
    int error = 0;
    EXPECT_EQ(0, WPUQuerySocketHandleContext(server, &context, &error));
    EXPECT_NE(0u, context);
    closesocket(client);
    closesocket(server);
    EXPECT_FALSE(descriptor_open(static_cast<int>(server)));
}

TEST_F(LayeredTest, AHandleOutsideACreatingCallIsAPlaceholderDescriptor) {
    // A base socket made on another thread, and one made on this thread by a call that has ended,
    // are not what a later WPUCreateSocketHandle duplicates.
    WSAPROTOCOL_INFOW base = base_entry(SOCK_STREAM);
    SOCKET other = INVALID_SOCKET;
    std::thread([&] { other = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, &base, 0, 0); }).join();
    ASSERT_NE(INVALID_SOCKET, other);
    SOCKET mine = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, &base, 0, 0);
    ASSERT_NE(INVALID_SOCKET, mine);
    sockaddr_in any = loopback(0);
    ASSERT_EQ(0, bind(mine, reinterpret_cast<sockaddr*>(&any), sizeof(any)));

    int error = 0;
    SOCKET handle = WPUCreateSocketHandle(1004, 0xC0FFEE, &error);
    ASSERT_NE(INVALID_SOCKET, handle) << error;
    EXPECT_TRUE(descriptor_open(static_cast<int>(handle)));
    EXPECT_EQ(-1, kernel_local_port(static_cast<int>(handle)));  // not an IPv4 socket: a placeholder
    DWORD_PTR context = 0;
    ASSERT_EQ(0, WPUQuerySocketHandleContext(handle, &context, &error));
    EXPECT_EQ(0xC0FFEEu, context);
    EXPECT_EQ(SOCKET_ERROR, WPUQuerySocketHandleContext(mine, &context, &error));  // a base socket has no context
    EXPECT_EQ(WSAENOTSOCK, error);
    ASSERT_EQ(0, WPUCloseSocketHandle(handle, &error));
    EXPECT_FALSE(descriptor_open(static_cast<int>(handle)));
    EXPECT_EQ(SOCKET_ERROR, WPUCloseSocketHandle(handle, &error));
    EXPECT_EQ(WSAENOTSOCK, error);
    closesocket(other);
    closesocket(mine);
}

void WINAPI note_apc(DWORD_PTR context) { *reinterpret_cast<DWORD*>(context) = GetCurrentThreadId(); }

TEST_F(LayeredTest, EveryUpcallOfTheTableTheProviderGotWorks) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);  // the chain's provider is started now
    ASSERT_NE(INVALID_SOCKET, s);
    auto table = reinterpret_cast<PassthruUpcallsFn>(reinterpret_cast<void*>(GetProcAddress(module_, "passthru_upcalls")));
    ASSERT_NE(nullptr, table);
    const WSPUPCALLTABLE& up = *table();
    const void* const* entries = reinterpret_cast<const void* const*>(&up);
    for (int i = 0; i < 15; ++i) EXPECT_NE(nullptr, entries[i]) << i;
    int error = 0;

    // Events: manual reset, made unsignalled.
    WSAEVENT event = up.lpWPUCreateEvent(&error);
    ASSERT_NE(nullptr, event);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    EXPECT_TRUE(up.lpWPUSetEvent(event, &error));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    EXPECT_TRUE(up.lpWPUResetEvent(event, &error));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    EXPECT_TRUE(up.lpWPUCloseEvent(event, &error));
    EXPECT_FALSE(up.lpWPUCloseEvent(event, &error));
    EXPECT_EQ(WSA_INVALID_HANDLE, error);

    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    EXPECT_EQ(1, up.lpWPUFDIsSet(s, &set));
    EXPECT_EQ(0, up.lpWPUFDIsSet(s + 1, &set));

    LPBLOCKINGCALLBACK callback = reinterpret_cast<LPBLOCKINGCALLBACK>(1);
    DWORD_PTR callbackContext = 1;
    EXPECT_EQ(0, up.lpWPUQueryBlockingCallback(1001, &callback, &callbackContext, &error));
    EXPECT_EQ(nullptr, callback);  // Winsock 2 blocks without a blocking hook

    GUID base = qf::kBaseProviderId;
    WCHAR path[MAX_PATH];
    int length = 3;
    EXPECT_EQ(SOCKET_ERROR, up.lpWPUGetProviderPath(&base, path, &length, &error));
    EXPECT_EQ(WSAEFAULT, error);
    ASSERT_EQ(0, up.lpWPUGetProviderPath(&base, path, &length, &error));
    EXPECT_EQ(0, std::memcmp(path, qf::kBaseProviderPath, sizeof(qf::kBaseProviderPath)));

    EXPECT_EQ(INVALID_SOCKET, up.lpWPUModifyIFSHandle(1001, 0x7ffffff0, &error));  // no such descriptor
    EXPECT_EQ(WSAENOTSOCK, error);

    SOCKET handle = up.lpWPUCreateSocketHandle(1004, 0x5150, &error);
    ASSERT_NE(INVALID_SOCKET, handle);
    DWORD_PTR context = 0;
    ASSERT_EQ(0, up.lpWPUQuerySocketHandleContext(handle, &context, &error));
    EXPECT_EQ(0x5150u, context);
    ASSERT_EQ(0, up.lpWPUCloseSocketHandle(handle, &error));
    EXPECT_EQ(SOCKET_ERROR, up.lpWPUQuerySocketHandleContext(handle, &context, &error));
    EXPECT_EQ(WSAENOTSOCK, error);

    MessageWindow window;
    EXPECT_TRUE(up.lpWPUPostMessage(window.handle(), WM_USER + 3, 33, 44));
    MSG posted;
    ASSERT_TRUE(window.wait_for(WM_USER + 3, posted));
    EXPECT_EQ(33u, posted.wParam);
    EXPECT_EQ(44, posted.lParam);

    // A thread's id from WPUOpenCurrentThread takes APCs that run in its alertable waits only.
    WSATHREADID id{};
    DWORD ranOn = 0, ranBeforeAlertable = 0, threadId = 0, alertable = 0;
    HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr), go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread target([&] {
        threadId = GetCurrentThreadId();
        int threadError = 0;
        if (up.lpWPUOpenCurrentThread(&id, &threadError) != 0) return;
        SetEvent(opened);
        WaitForSingleObject(go, kDeadlineMs);  // not alertable: the APC queued meanwhile waits
        ranBeforeAlertable = ranOn;
        alertable = SleepEx(kDeadlineMs, TRUE);
        up.lpWPUCloseThread(&id, &threadError);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened, kDeadlineMs));
    WSATHREADID copy = id;
    EXPECT_EQ(0, up.lpWPUQueueApc(&copy, note_apc, reinterpret_cast<DWORD_PTR>(&ranOn), &error));
    SetEvent(go);
    target.join();
    EXPECT_EQ(0u, ranBeforeAlertable);
    EXPECT_EQ(static_cast<DWORD>(WAIT_IO_COMPLETION), alertable);
    EXPECT_EQ(threadId, ranOn);
    EXPECT_EQ(SOCKET_ERROR, up.lpWPUQueueApc(&copy, note_apc, reinterpret_cast<DWORD_PTR>(&ranOn), &error));  // closed
    CloseHandle(opened);
    CloseHandle(go);
    closesocket(s);
}

TEST_F(LayeredTest, TheCompletionUpcallSignalsTheEventAndThePortAsAsked) {
    int error = 0;
    SOCKET handle = WPUCreateSocketHandle(1004, 1, &error);
    ASSERT_NE(INVALID_SOCKET, handle);
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    ASSERT_EQ(port, CreateIoCompletionPort(reinterpret_cast<HANDLE>(handle), port, 77, 0));
    WSAEVENT event = WSACreateEvent();

    struct Case {
        const char* what;
        bool withEvent;
        bool noPacketBit;  // the lowest bit of hEvent set: no completion packet
        DWORD error;
    };
    const Case cases[] = {
        {"event and packet", true, false, 0},
        {"event alone", true, true, 0},
        {"packet alone, reporting a failure", false, false, WSAECONNRESET},
    };
    for (const Case& c : cases) {
        WSAResetEvent(event);
        WSAOVERLAPPED overlapped{};
        overlapped.Internal = WSS_OPERATION_IN_PROGRESS;
        if (c.withEvent)
            overlapped.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event) | (c.noPacketBit ? 1 : 0));
        ASSERT_EQ(0, WPUCompleteOverlappedRequest(handle, &overlapped, c.error, 12, &error)) << c.what;
        EXPECT_EQ(c.error, overlapped.Internal) << c.what;
        EXPECT_EQ(12u, overlapped.InternalHigh) << c.what;
        EXPECT_EQ(c.withEvent ? WSA_WAIT_EVENT_0 : WSA_WAIT_TIMEOUT, WSAWaitForMultipleEvents(1, &event, TRUE, 0, FALSE))
            << c.what;
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED done = nullptr;
        BOOL got = GetQueuedCompletionStatus(port, &bytes, &key, &done, 0);
        if (c.noPacketBit) {
            EXPECT_EQ(nullptr, done) << c.what;
            continue;
        }
        EXPECT_EQ(&overlapped, done) << c.what;
        EXPECT_EQ(77u, key) << c.what;
        EXPECT_EQ(12u, bytes) << c.what;
        EXPECT_EQ(c.error == 0, got != FALSE) << c.what;
        if (!got) {
            EXPECT_EQ(c.error, GetLastError()) << c.what;
        }
    }
    WSACloseEvent(event);
    WPUCloseSocketHandle(handle, &error);
    CloseHandle(port);
}

TEST_F(LayeredTest, ADescriptorNumberReusedAfterAForeignCloseIsNotTheOldHandle) {
    WSAPROTOCOL_INFOW base = base_entry(SOCK_DGRAM);
    closesocket(WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, &base, 0, 0));  // the base provider is loaded now
    int error = 0;
    SOCKET handle = WPUCreateSocketHandle(1004, 42, &error);
    ASSERT_NE(INVALID_SOCKET, handle);
    close_descriptor(static_cast<int>(handle));  // closed behind the runtime's back
    SOCKET reused = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, &base, 0, 0);
    ASSERT_EQ(handle, reused);  // the kernel hands out the lowest free number again
    DWORD_PTR context = 0;
    EXPECT_EQ(SOCKET_ERROR, WPUQuerySocketHandleContext(handle, &context, &error));
    EXPECT_EQ(WSAENOTSOCK, error);
    sockaddr_in address = loopback(0);
    EXPECT_EQ(0, bind(reused, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    EXPECT_EQ(0, closesocket(reused));
}

TEST_F(LayeredTest, TheProviderIsStartedOnceAndCleanedUpAtTheLastCleanup) {
    const int kCleanupEntry = 5;
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));  // a second start
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(INVALID_SOCKET, s);
    ASSERT_EQ(0, WSACleanup());
    EXPECT_EQ(0, calls(kCleanupEntry));
    sockaddr_in address = loopback(0);
    EXPECT_EQ(0, bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)));  // still started
    ASSERT_EQ(0, WSACleanup());
    started_ = false;
    EXPECT_EQ(1, calls(kCleanupEntry));  // one chain was used: one start, one clean-up
}

TEST_F(LayeredTest, SocketsTakeTheFirstMatchingEntryInCatalogOrder) {
    long before = calls(kSocketEntry);
    SOCKET chained = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(INVALID_SOCKET, chained);
    EXPECT_EQ(before + 1, calls(kSocketEntry));
    closesocket(chained);

    // Base entries first again: a new start of Winsock reads the new order.
    auto entries = enumerate_catalog();
    std::vector<DWORD> order;
    for (const auto& entry : entries)
        if (entry.ProtocolChain.ChainLen == BASE_PROTOCOL) order.push_back(entry.dwCatalogEntryId);
    for (const auto& entry : entries)
        if (entry.ProtocolChain.ChainLen != BASE_PROTOCOL) order.push_back(entry.dwCatalogEntryId);
    ASSERT_EQ(0, WSCWriteProviderOrder(order.data(), static_cast<DWORD>(order.size())));
    ASSERT_EQ(0, WSACleanup());
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    before = calls(kSocketEntry);
    SOCKET plain = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(INVALID_SOCKET, plain);
    EXPECT_EQ(before, calls(kSocketEntry));
    closesocket(plain);
}

TEST_F(LayeredTest, ASecondProcessStartedAfterTheInstallUsesTheChain) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    std::string command = std::string(WINSOCK_CHILD) + " send " + std::to_string(ntohs(address.sin_port)) + " from-child";
    FILE* child = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, child);
    ASSERT_TRUE(wait_readable(listener)) << "the child did not connect";
    SOCKET server = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, server);
    EXPECT_EQ("from-child", receive_exactly(server, 10));
    std::string output;
    char line[256];
    while (fgets(line, sizeof(line), child)) output += line;
    EXPECT_EQ(0, pclose(child)) << output;
    EXPECT_NE(std::string::npos, output.find("layered socket calls: 1")) << output;
    closesocket(server);
    closesocket(listener);
}

}  // namespace
