// Overlapped operations through vtlsp's worker: events, completion routines and completion ports,
// the fixed pool of request records, and receives inspected as they complete.
#include <lexstore.h>

#include <stdio.h>

#include <atomic>

#include "spi_harness.h"

namespace spi_test {
namespace {

// A connected pair on loopback: client through vtlsp's chain, server accepted.
class OverlappedTest : public ProviderTest {
protected:
    void connectPair(u_short port = 0) {
        start();
        if (HasFatalFailure()) return;
        const std::string host = own_loopback_address();
        sockaddr_in bound;
        SOCKET listener = tcp_listener(host.c_str(), port, bound);
        client_ = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
        ASSERT_NE(INVALID_SOCKET, client_);
        ASSERT_EQ(0, connect(client_, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
        ASSERT_TRUE(wait_readable(listener, kDeadlineMs));
        server_ = accept(listener, nullptr, nullptr);
        ASSERT_NE(INVALID_SOCKET, server_);
        closesocket(listener);
    }
    void TearDown() override {
        if (client_ != INVALID_SOCKET) closesocket(client_);
        if (server_ != INVALID_SOCKET) closesocket(server_);
        ProviderTest::TearDown();
    }
    SOCKET client_ = INVALID_SOCKET;
    SOCKET server_ = INVALID_SOCKET;
};

struct Completion {
    std::atomic<int> calls{0};
    DWORD error = 0xFFFFFFFF;
    DWORD bytes = 0;
    LPWSAOVERLAPPED overlapped = nullptr;
};
Completion g_completion;

void CALLBACK note_completion(DWORD error, DWORD bytes, LPWSAOVERLAPPED overlapped, DWORD) {
    g_completion.error = error;
    g_completion.bytes = bytes;
    g_completion.overlapped = overlapped;
    g_completion.calls++;
}

enum class Mode { Event, Routine, Port };

class OverlappedModeTest : public OverlappedTest, public ::testing::WithParamInterface<Mode> {};

TEST_P(OverlappedModeTest, AnOverlappedReceiveCompletesWithTheDataAndTheBufferArrayMayGoAtOnce) {
    connectPair();
    if (HasFatalFailure()) return;
    HANDLE port = nullptr;
    if (GetParam() == Mode::Port) {
        port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
        ASSERT_NE(nullptr, CreateIoCompletionPort(reinterpret_cast<HANDLE>(client_), port, 77, 0));
    }
    char data[64] = {};
    WSAOVERLAPPED overlapped{};
    if (GetParam() == Mode::Event) overlapped.hEvent = WSACreateEvent();
    DWORD flags = 0;
    {
        WSABUF* buffers = new WSABUF[1];
        buffers[0] = WSABUF{sizeof(data), data};
        int result = WSARecv(client_, buffers, 1, nullptr, &flags, &overlapped,
                             GetParam() == Mode::Routine ? note_completion : nullptr);
        delete[] buffers;
        ASSERT_EQ(SOCKET_ERROR, result);
        ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    }
    ASSERT_EQ(5, send(server_, "hello", 5, 0));
    DWORD bytes = 0;
    switch (GetParam()) {
    case Mode::Event:
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(overlapped.hEvent, kDeadlineMs));
        ASSERT_TRUE(WSAGetOverlappedResult(client_, &overlapped, &bytes, FALSE, &flags)) << WSAGetLastError();
        WSACloseEvent(overlapped.hEvent);
        break;
    case Mode::Routine: {
        DWORD start = GetTickCount();
        while (g_completion.calls == 0 && GetTickCount() - start < kDeadlineMs) SleepEx(10, TRUE);
        ASSERT_EQ(1, g_completion.calls.load());
        EXPECT_EQ(0u, g_completion.error);
        EXPECT_EQ(&overlapped, g_completion.overlapped);
        bytes = g_completion.bytes;
        SleepEx(50, TRUE);
        EXPECT_EQ(1, g_completion.calls.load()) << "the routine ran more than once";
        break;
    }
    case Mode::Port: {
        ULONG_PTR key = 0;
        LPOVERLAPPED done = nullptr;
        ASSERT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &done, kDeadlineMs));
        EXPECT_EQ(77u, key);
        EXPECT_EQ(&overlapped, done);
        CloseHandle(port);
        break;
    }
    }
    EXPECT_EQ(5u, bytes);
    EXPECT_STREQ("hello", data);
}

// Data already waiting: the next provider finishes each receive within the call, and the
// completion still comes exactly once per receive, in the program's chosen way. More receives than
// the pool has records: a record kept after its receive would run the pool dry.
TEST_P(OverlappedModeTest, ReceivesOfDataAlreadyWaitingCompleteOnceEachAndGiveTheirRecordsBack) {
    connectPair();
    if (HasFatalFailure()) return;
    HANDLE port = nullptr;
    if (GetParam() == Mode::Port) {
        port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
        ASSERT_NE(nullptr, CreateIoCompletionPort(reinterpret_cast<HANDLE>(client_), port, 77, 0));
    }
    WSAOVERLAPPED overlapped{};
    if (GetParam() == Mode::Event) overlapped.hEvent = WSACreateEvent();
    g_completion.calls = 0;
    const int kReceives = 1100;
    for (int i = 0; i < kReceives; ++i) {
        char sent[8];
        snprintf(sent, sizeof(sent), "m%05d", i);
        ASSERT_EQ(6, send(server_, sent, 6, 0));
        ASSERT_TRUE(wait_readable(client_, kDeadlineMs));
        char data[8] = {};
        WSABUF buffer{6, data};
        DWORD flags = 0;
        ASSERT_EQ(SOCKET_ERROR, WSARecv(client_, &buffer, 1, nullptr, &flags, &overlapped,
                                        GetParam() == Mode::Routine ? note_completion : nullptr));
        ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError()) << "receive " << i;
        DWORD bytes = 0;
        switch (GetParam()) {
        case Mode::Event:
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(overlapped.hEvent, kDeadlineMs)) << "receive " << i;
            ASSERT_TRUE(WSAGetOverlappedResult(client_, &overlapped, &bytes, FALSE, &flags)) << WSAGetLastError();
            break;
        case Mode::Routine: {
            DWORD start = GetTickCount();
            while (g_completion.calls == i && GetTickCount() - start < kDeadlineMs) SleepEx(10, TRUE);
            ASSERT_EQ(i + 1, g_completion.calls.load()) << "receive " << i;
            ASSERT_EQ(0u, g_completion.error);
            bytes = g_completion.bytes;
            break;
        }
        case Mode::Port: {
            ULONG_PTR key = 0;
            LPOVERLAPPED done = nullptr;
            ASSERT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &done, kDeadlineMs)) << "receive " << i;
            ASSERT_EQ(&overlapped, done);
            break;
        }
        }
        ASSERT_EQ(6u, bytes) << "receive " << i;
        ASSERT_STREQ(sent, data);
    }
    // Nothing more is reported than one completion per receive.
    SleepEx(50, TRUE);
    if (GetParam() == Mode::Routine) {
        EXPECT_EQ(kReceives, g_completion.calls.load());
    }
    if (GetParam() == Mode::Port) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED done = nullptr;
        EXPECT_FALSE(GetQueuedCompletionStatus(port, &bytes, &key, &done, 50));
        CloseHandle(port);
    }
    if (overlapped.hEvent) WSACloseEvent(overlapped.hEvent);
}

INSTANTIATE_TEST_SUITE_P(Modes, OverlappedModeTest, ::testing::Values(Mode::Event, Mode::Routine, Mode::Port),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                             return std::string(info.param == Mode::Event     ? "Event"
                                                : info.param == Mode::Routine ? "CompletionRoutine"
                                                                              : "CompletionPort");
                         });

TEST_F(OverlappedTest, NineHundredNinetyNineRequestsMayBePendingAndTheThousandthHasNoRecord) {
    connectPair();
    if (HasFatalFailure()) return;
    const int kRecords = 999;
    std::vector<WSAOVERLAPPED> overlapped(kRecords + 1);
    std::vector<char> data(kRecords + 1);
    for (int i = 0; i <= kRecords; ++i) {
        WSABUF buffer{1, &data[i]};
        DWORD flags = 0;
        overlapped[i] = WSAOVERLAPPED{};
        ASSERT_EQ(SOCKET_ERROR, WSARecv(client_, &buffer, 1, nullptr, &flags, &overlapped[i], nullptr));
        if (i < kRecords) {
            ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError()) << "request " << i + 1;
        } else {
            EXPECT_EQ(WSAENOBUFS, WSAGetLastError()) << "request " << i + 1;
        }
    }
    DWORD pendingBytes = 0, pendingFlags = 0;
    EXPECT_FALSE(WSAGetOverlappedResult(client_, &overlapped[1], &pendingBytes, FALSE, &pendingFlags));
    EXPECT_EQ(WSA_IO_PENDING, WSAGetLastError());
    // One byte completes the oldest request, whose record then serves a new one.
    ASSERT_EQ(1, send(server_, "x", 1, 0));
    DWORD bytes = 0, flags = 0;
    ASSERT_TRUE(wait_overlapped(client_, overlapped[0], bytes, flags)) << WSAGetLastError();
    EXPECT_EQ(1u, bytes);
    WSABUF buffer{1, &data[kRecords]};
    flags = 0;
    EXPECT_EQ(SOCKET_ERROR, WSARecv(client_, &buffer, 1, nullptr, &flags, &overlapped[kRecords], nullptr));
    EXPECT_EQ(WSA_IO_PENDING, WSAGetLastError());
    // Closing aborts them all; each completes before its structure goes.
    closesocket(client_);
    client_ = INVALID_SOCKET;
    DWORD start = GetTickCount();
    for (int i = 1; i <= kRecords; ++i) {
        while (*static_cast<volatile ULONG_PTR*>(&overlapped[i].Internal) == WSS_OPERATION_IN_PROGRESS &&
               GetTickCount() - start < kDeadlineMs)
            Sleep(2);
        ASSERT_NE(static_cast<ULONG_PTR>(WSS_OPERATION_IN_PROGRESS), overlapped[i].Internal) << "request " << i + 1;
        EXPECT_EQ(static_cast<DWORD>(WSA_OPERATION_ABORTED), overlapped[i].Offset) << "request " << i + 1;
    }
}

TEST_F(OverlappedTest, ClosingASocketReportsItsAbortedReceiveOnTheProgramsCompletionPort) {
    connectPair();
    if (HasFatalFailure()) return;
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    ASSERT_NE(nullptr, CreateIoCompletionPort(reinterpret_cast<HANDLE>(client_), port, 5, 0));
    char data[8];
    WSABUF buffer{sizeof(data), data};
    WSAOVERLAPPED overlapped{};
    DWORD flags = 0;
    ASSERT_EQ(SOCKET_ERROR, WSARecv(client_, &buffer, 1, nullptr, &flags, &overlapped, nullptr));
    ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    EXPECT_EQ(0, closesocket(client_));
    client_ = INVALID_SOCKET;
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED done = nullptr;
    EXPECT_FALSE(GetQueuedCompletionStatus(port, &bytes, &key, &done, kDeadlineMs));
    EXPECT_EQ(&overlapped, done);
    EXPECT_EQ(5u, key);
    EXPECT_EQ(static_cast<DWORD>(WSA_OPERATION_ABORTED), overlapped.Offset);
    CloseHandle(port);
}

TEST_F(OverlappedTest, AnOverlappedReceiveOfADisallowedPageIsBlankedAndReportsShutdownWithNoBytes) {
    addListEntry(kWord, Word);
    connectPair(80);
    if (HasFatalFailure()) return;
    const std::string get = "GET / HTTP/1.0\r\nHost: www.example.org\r\n\r\n";
    ASSERT_EQ(static_cast<int>(get.size()), send(client_, get.data(), static_cast<int>(get.size()), 0));
    char data[256] = {};
    WSABUF buffer{sizeof(data) - 1, data};
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    DWORD flags = 0;
    ASSERT_EQ(SOCKET_ERROR, WSARecv(client_, &buffer, 1, nullptr, &flags, &overlapped, nullptr));
    ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    const std::string page = std::string("HTTP/1.0 200 OK\r\n\r\n<p>") + kWord + "</p>";
    ASSERT_EQ(static_cast<int>(page.size()), send(server_, page.data(), static_cast<int>(page.size()), 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(overlapped.hEvent, kDeadlineMs));
    DWORD bytes = 99;
    EXPECT_FALSE(WSAGetOverlappedResult(client_, &overlapped, &bytes, FALSE, &flags));
    EXPECT_EQ(WSAESHUTDOWN, WSAGetLastError());
    EXPECT_EQ(0u, bytes);
    EXPECT_EQ(std::string::npos, std::string(data).find(kWord));
    WSACloseEvent(overlapped.hEvent);
}

TEST_F(OverlappedTest, ADisallowedPageAlreadyWaitingIsBlankedAndReportsShutdownWithNoBytes) {
    addListEntry(kWord, Word);
    connectPair(80);
    if (HasFatalFailure()) return;
    const std::string get = "GET / HTTP/1.0\r\nHost: www.example.org\r\n\r\n";
    ASSERT_EQ(static_cast<int>(get.size()), send(client_, get.data(), static_cast<int>(get.size()), 0));
    const std::string page = std::string("HTTP/1.0 200 OK\r\n\r\n<p>") + kWord + "</p>";
    ASSERT_EQ(static_cast<int>(page.size()), send(server_, page.data(), static_cast<int>(page.size()), 0));
    ASSERT_TRUE(wait_readable(client_, kDeadlineMs));
    char data[256] = {};
    WSABUF buffer{sizeof(data) - 1, data};
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    DWORD flags = 0;
    ASSERT_EQ(SOCKET_ERROR, WSARecv(client_, &buffer, 1, nullptr, &flags, &overlapped, nullptr));
    ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(overlapped.hEvent, kDeadlineMs));
    DWORD bytes = 99;
    EXPECT_FALSE(WSAGetOverlappedResult(client_, &overlapped, &bytes, FALSE, &flags));
    EXPECT_EQ(WSAESHUTDOWN, WSAGetLastError());
    EXPECT_EQ(0u, bytes);
    EXPECT_EQ(std::string::npos, std::string(data).find(kWord));
    WSACloseEvent(overlapped.hEvent);
}

TEST_F(OverlappedTest, AnOverlappedSendOfNineBuffersArrivesWhole) {
    connectPair();
    if (HasFatalFailure()) return;
    const char* parts[9] = {"a", "bb", "ccc", "dddd", "e", "ff", "ggg", "hhhh", "i"};
    WSABUF buffers[9];
    std::string expected;
    for (int i = 0; i < 9; ++i) {
        buffers[i] = WSABUF{static_cast<ULONG>(strlen(parts[i])), const_cast<char*>(parts[i])};
        expected += parts[i];
    }
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    DWORD sent = 0;
    int result = WSASend(client_, buffers, 9, &sent, 0, &overlapped, nullptr);
    ASSERT_TRUE(result == 0 || WSAGetLastError() == WSA_IO_PENDING) << WSAGetLastError();
    DWORD bytes = 0, flags = 0;
    ASSERT_TRUE(wait_overlapped(client_, overlapped, bytes, flags)) << WSAGetLastError();
    EXPECT_EQ(expected.size(), bytes);
    std::string received;
    char chunk[64];
    while (received.size() < expected.size() && wait_readable(server_, kDeadlineMs)) {
        int got = recv(server_, chunk, sizeof(chunk), 0);
        if (got <= 0) break;
        received.append(chunk, got);
    }
    EXPECT_EQ(expected, received);
    WSACloseEvent(overlapped.hEvent);
}

TEST_F(OverlappedTest, AnOverlappedTransmitFileSendsTheHeadTheFileFromItsOffsetAndTheTail) {
    connectPair();
    if (HasFatalFailure()) return;
    const char kPath[] = "C:\\transmit.txt";
    HANDLE file = CreateFileA(kPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "0123456789", 10, &written, nullptr));
    GUID id = WSAID_TRANSMITFILE;
    LPFN_TRANSMITFILE transmitFile = nullptr;
    DWORD returned = 0;
    ASSERT_EQ(0, WSAIoctl(client_, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &transmitFile,
                          sizeof(transmitFile), &returned, nullptr, nullptr))
        << WSAGetLastError();
    char head[] = "head:";
    char tail[] = ":tail";
    TRANSMIT_FILE_BUFFERS buffers{head, 5, tail, 5};
    WSAOVERLAPPED overlapped{};
    overlapped.Offset = 4;  // from "4"
    overlapped.hEvent = WSACreateEvent();
    BOOL done = transmitFile(client_, file, 0, 0, &overlapped, &buffers, 0);
    ASSERT_FALSE(done);
    ASSERT_EQ(static_cast<DWORD>(WSA_IO_PENDING), GetLastError());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(overlapped.hEvent, kDeadlineMs));
    DWORD bytes = 0, flags = 0;
    EXPECT_TRUE(WSAGetOverlappedResult(client_, &overlapped, &bytes, FALSE, &flags)) << WSAGetLastError();
    const std::string expected = "head:456789:tail";
    std::string received;
    char chunk[64];
    while (received.size() < expected.size() && wait_readable(server_, kDeadlineMs)) {
        int got = recv(server_, chunk, sizeof(chunk), 0);
        if (got <= 0) break;
        received.append(chunk, got);
    }
    EXPECT_EQ(expected, received);
    WSACloseEvent(overlapped.hEvent);
    CloseHandle(file);
}

}  // namespace
}  // namespace spi_test
