// What the provider's tests share: a machine root with the base catalog and vtlsp installed over
// it by hand (its layered entry, one chain over the base TCP entry, the chain first in the order),
// the user's lists written before Winsock starts, loopback servers and a window that collects
// the messages posted to it. The policy is loaded once per process: one case per process.
#pragma once

#include <mswsock.h>
#include <ws2spi.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "temp_machine_root.h"

namespace spi_test {

// Every wait of the tests ends by this deadline.
constexpr DWORD kDeadlineMs = 10000;

extern const char kWord[];  // a disallowed word

std::vector<WSAPROTOCOL_INFOW> enumerate_catalog();
// Installs vtlsp: its hidden layered entry and a chain over the base TCP entry, moved first.
void install_vtlsp();
// The chain entry that vtlsp's TCP sockets are made for.
WSAPROTOCOL_INFOW tcp_chain_entry();

sockaddr_in address_of(const char* dotted, u_short port);
const sockaddr* as_sockaddr(const sockaddr_in& address);

// A loopback address of the test's own, so that parallel tests never meet on one port.
std::string own_loopback_address();

class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Lists the entry in the user's lists (before start()).
    void addListEntry(const char* key, int type);
    // Installs vtlsp and starts Winsock.
    void start();

    qf_test::TempMachineRoot root_;
    bool started_ = false;
};

// A TCP listener on address (port 0: the system's choice), through Winsock.
SOCKET tcp_listener(const char* dotted, u_short port, sockaddr_in& bound);

// A server thread that accepts one connection on listener and runs serve on it, then closes it.
class OneShotServer {
public:
    OneShotServer(SOCKET listener, std::function<void(SOCKET)> serve);
    ~OneShotServer();

private:
    SOCKET listener_;
    std::thread thread_;
};

// Receives until the peer closes or fails; the error (0 at a clean end).
int receive_all(SOCKET s, std::string& data);
bool wait_readable(SOCKET s, DWORD timeoutMs);

// The outcome of an overlapped operation, polled for at most kDeadlineMs.
BOOL wait_overlapped(SOCKET s, WSAOVERLAPPED& overlapped, DWORD& bytes, DWORD& flags);

// A hidden window on the calling thread that keeps the messages posted to it.
class MessageWindow {
public:
    MessageWindow();
    ~MessageWindow();
    HWND handle() const { return window_; }
    // Pumps until a message with this number for socket s carrying event arrives.
    bool wait_for_event(UINT message, SOCKET s, WORD event, MSG& received);

private:
    HWND window_ = nullptr;
    std::vector<MSG> seen_;
};

}  // namespace spi_test
