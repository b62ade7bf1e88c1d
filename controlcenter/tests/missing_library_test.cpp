// Filtering switched on while the chains' library vtlsp.dll cannot be loaded: the base provider
// must stay usable, and switching off must give programs their plain sockets back.
#include "installer_test_support.h"

#include "filtering_state.h"

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace installer_test {
namespace {

// A module directory holding the base provider alone, so "vtlsp.dll" names no library.
class WithoutProviderLibrary : public SeededMachine {
protected:
    void SetUp() override {
        SeededMachine::SetUp();
        const std::string modules = root_.file("modules");
        std::filesystem::create_directories(modules);
        const std::filesystem::path base = QFAFD_LIBRARY;
        std::filesystem::create_symlink(base, modules + "/" + base.filename().string());
        setenv("QUILLFENCE_MODULE_PATH", modules.c_str(), 1);
    }
    void TearDown() override {
        if (started_) WSACleanup();
        unsetenv("QUILLFENCE_MODULE_PATH");
    }
    void start() {
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
        started_ = true;
    }
    void stop() {
        ASSERT_EQ(0, WSACleanup());
        started_ = false;
    }

    bool started_ = false;
};

// A TCP connection on loopback between two sockets made by make(); false when one cannot be made.
template <class Make>
bool connects_on_loopback(Make make) {
    SOCKET listener = make();
    SOCKET client = make();
    bool connected = false;
    if (listener != INVALID_SOCKET && client != INVALID_SOCKET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        connected = bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                    listen(listener, 1) == 0 &&
                    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
                    connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    if (listener != INVALID_SOCKET) closesocket(listener);
    if (client != INVALID_SOCKET) closesocket(client);
    return connected;
}

SOCKET plain_tcp_socket() { return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

TEST_F(WithoutProviderLibrary, WinsockStartsAndTheBaseTcpEntryStillConnectsWhenAskedForByName) {
    toggle();
    ASSERT_TRUE(IsFilteringOn());
    start();
    WSAPROTOCOL_INFOW visible[16];
    DWORD length = sizeof(visible);
    int count = WSAEnumProtocolsW(nullptr, visible, &length);
    ASSERT_GT(count, 0);
    const WSAPROTOCOL_INFOW* base = nullptr;
    for (int i = 0; i < count; ++i)
        if (visible[i].ProtocolChain.ChainLen == BASE_PROTOCOL && visible[i].iSocketType == SOCK_STREAM) base = &visible[i];
    ASSERT_NE(nullptr, base);
    WSAPROTOCOL_INFOW info = *base;
    EXPECT_TRUE(connects_on_loopback([&] {
        return WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0, 0);
    }));
}

TEST_F(WithoutProviderLibrary, SwitchingOffGivesProgramsTheirPlainSocketsBack) {
    toggle();
    ASSERT_TRUE(IsFilteringOn());
    start();
    SOCKET onChain = plain_tcp_socket();  // picks the chain first; whether it works is the provider's affair
    if (onChain != INVALID_SOCKET) closesocket(onChain);
    stop();

    toggle();
    ASSERT_FALSE(IsFilteringOn());
    start();
    EXPECT_TRUE(connects_on_loopback(plain_tcp_socket));
}

}  // namespace
}  // namespace installer_test
