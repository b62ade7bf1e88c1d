// A private session bus for one test: its own dbus-daemon with a configuration of the test's own
// (no activatable services, so nothing of the machine's desktop answers), ended with the test.
#pragma once

#include <sys/types.h>

#include <string>

namespace qf_test {

class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // The address to give as DBUS_SESSION_BUS_ADDRESS.
    const std::string& address() const { return address_; }

private:
    std::string folder_;
    std::string address_;
    pid_t daemon_ = -1;
};

}  // namespace qf_test
