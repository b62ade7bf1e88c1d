// What the Winsock tests share: a machine root with the base catalog, the pass-through layered
// provider's installation, loopback sockets and a hidden window that collects messages.
#pragma once

#include <temp_machine_root.h>

#include <mswsock.h>
#include <sporder.h>
#include <ws2spi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wstest {

enum class Stack { Base, Layered };
std::string stack_name(const ::testing::TestParamInfo<Stack>& info);

std::vector<WSAPROTOCOL_INFOW> enumerate_catalog();

// Installs the pass-through provider as the installer of the Control Center does: one hidden
// layered entry, a chain over every base entry, the chains moved to the front of the order.
void install_passthru();

// A machine root with the base catalog (and, for Stack::Layered, the pass-through chains), and
// Winsock started for the test.
class WinsockTest : public ::testing::TestWithParam<Stack> {
protected:
    void SetUp() override;
    void TearDown() override;
    bool layered() const { return GetParam() == Stack::Layered; }

    qf_test::TempMachineRoot root_;
    bool started_ = false;
};

sockaddr_in loopback(u_short port);
// A TCP socket listening on 127.0.0.1 at a port of the system's choosing.
SOCKET tcp_listener(sockaddr_in& address);
// A connected pair through a listener on loopback.
void tcp_pair(SOCKET& client, SOCKET& server);
// A UDP socket bound to 127.0.0.1.
SOCKET udp_socket(sockaddr_in& address);

// Every wait of the tests ends by this deadline, so that a fault fails a test instead of hanging it.
constexpr DWORD kDeadlineMs = 10000;

// Whether s has something to read (data, a connection, the end) within timeoutMs.
bool wait_readable(SOCKET s, DWORD timeoutMs = kDeadlineMs);
// Receives until n bytes have arrived (blocking sockets), each piece waited for at most kDeadlineMs;
// what arrived so far when a piece does not come.
std::string receive_exactly(SOCKET s, size_t n);
// The outcome of an overlapped operation, waited for (without being alertable) at most timeoutMs;
// FALSE with WSA_IO_INCOMPLETE when it has not completed by then.
BOOL overlapped_result(SOCKET s, WSAOVERLAPPED& overlapped, DWORD& bytes, DWORD& flags,
                       DWORD timeoutMs = kDeadlineMs);

// A hidden window on the calling thread that records the messages posted to it.
class MessageWindow {
public:
    MessageWindow();
    ~MessageWindow();
    HWND handle() const { return window_; }
    // Pumps messages until one with this number has arrived (at most timeoutMs), and returns it.
    bool wait_for(UINT message, MSG& received, DWORD timeoutMs = 10000);
    // Pumps until an FD_* event for socket s arrives.
    bool wait_for_event(UINT message, SOCKET s, WORD event, WORD& error, DWORD timeoutMs = 10000);

private:
    HWND window_ = nullptr;
    std::vector<MSG> seen_;
};

}  // namespace wstest
