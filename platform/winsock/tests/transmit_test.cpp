// An overlapped TransmitFile completes asynchronously: FALSE with WSA_IO_PENDING, then the event and
// the completion port, with the head and tail copied at the call.
#include "winsock_test_support.h"

#include <filesystem>
#include <string>

using namespace wstest;

namespace {

class TransmitFileTest : public WinsockTest {
protected:
    HANDLE payload(const char* text) {
        std::filesystem::create_directories(root_.file("drive_c/Temp"));
        HANDLE file = CreateFileA("C:\\Temp\\payload.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
        return file;
    }
    LPFN_TRANSMITFILE transmit_file(SOCKET s) {
        LPFN_TRANSMITFILE function = nullptr;
        GUID id = WSAID_TRANSMITFILE;
        DWORD returned = 0;
        EXPECT_EQ(0, WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &function, sizeof(function),
                              &returned, nullptr, nullptr));
        return function;
    }
};

TEST_P(TransmitFileTest, AnOverlappedTransmissionIsPendingThenCompletesThroughEventAndPort) {
    HANDLE file = payload("file body");
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    ASSERT_EQ(port, CreateIoCompletionPort(reinterpret_cast<HANDLE>(server), port, 41, 0));
    LPFN_TRANSMITFILE transmitFile = transmit_file(server);
    ASSERT_NE(nullptr, transmitFile);

    char head[] = "<";
    char tail[] = ">";
    TRANSMIT_FILE_BUFFERS buffers{head, 1, tail, 1};
    WSAOVERLAPPED overlapped{};
    overlapped.Offset = 5;  // the file from this position
    overlapped.hEvent = WSACreateEvent();
    EXPECT_FALSE(transmitFile(server, file, 0, 0, &overlapped, &buffers, TF_DISCONNECT));
    EXPECT_EQ(static_cast<DWORD>(WSA_IO_PENDING), GetLastError());
    head[0] = tail[0] = '!';  // the call took copies

    DWORD bytes = 0, flags = 0;
    EXPECT_TRUE(overlapped_result(server, overlapped, bytes, flags)) << WSAGetLastError();
    EXPECT_EQ(6u, bytes);
    ULONG_PTR key = 0;
    LPOVERLAPPED done = nullptr;
    EXPECT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &done, kDeadlineMs));
    EXPECT_EQ(&overlapped, done);
    EXPECT_EQ(41u, key);
    EXPECT_EQ(6u, bytes);
    EXPECT_EQ("<body>", receive_exactly(client, 6));
    char more;
    EXPECT_EQ(0, recv(client, &more, 1, 0));  // TF_DISCONNECT: the end follows the data

    WSACloseEvent(overlapped.hEvent);
    CloseHandle(port);
    CloseHandle(file);
    closesocket(client);
    closesocket(server);
}

INSTANTIATE_TEST_SUITE_P(Stacks, TransmitFileTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

}  // namespace
