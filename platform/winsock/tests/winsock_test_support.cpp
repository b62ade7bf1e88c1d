#include "winsock_test_support.h"

#include "passthru.h"
#include "winsock_seed.h"

#include <wide_text.h>

#include <cstring>
#include <ctime>

namespace wstest {

std::string stack_name(const ::testing::TestParamInfo<Stack>& info) {
    return info.param == Stack::Base ? "BaseProvider" : "LayeredProvider";
}

std::vector<WSAPROTOCOL_INFOW> enumerate_catalog() {
    DWORD size = 0;
    int error = 0;
    WSCEnumProtocols(nullptr, nullptr, &size, &error);
    std::vector<WSAPROTOCOL_INFOW> entries(size / sizeof(WSAPROTOCOL_INFOW));
    int count = WSCEnumProtocols(nullptr, entries.data(), &size, &error);
    entries.resize(count > 0 ? count : 0);
    return entries;
}

void install_passthru() {
    WSAPROTOCOL_INFOW layered{};
    layered.dwProviderFlags = PFL_HIDDEN;
    layered.ProviderId = kPassthruLayeredId;
    layered.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    layered.iAddressFamily = AF_INET;
    layered.iMaxSockAddr = layered.iMinSockAddr = sizeof(sockaddr_in);
    layered.iSocketType = SOCK_RAW;
    const char name[] = "LAYERED_PASSTHRU";
    for (size_t i = 0; name[i]; ++i) layered.szProtocol[i] = name[i];
    GUID id = kPassthruLayeredId;
    int error = 0;
    ASSERT_EQ(0, WSCInstallProvider(&id, QF_WTEXT("qfpassthru.dll"), &layered, 1, &error)) << error;

    DWORD layeredId = 0;
    for (const auto& entry : enumerate_catalog())
        if (std::memcmp(&entry.ProviderId, &kPassthruLayeredId, sizeof(GUID)) == 0) layeredId = entry.dwCatalogEntryId;
    ASSERT_NE(0u, layeredId);

    static DWORD counter = static_cast<DWORD>(time(nullptr));
    std::vector<DWORD> chains;
    for (const auto& base : enumerate_catalog()) {
        if (base.ProtocolChain.ChainLen != BASE_PROTOCOL) continue;
        WSAPROTOCOL_INFOW chain = base;
        GUID chainId = {counter++, 0xE0AF, 0x11D4, {0x95, 0x08, 0x00, 0x00, 0xE8, 0x70, 0x8F, 0xED}};
        chain.ProviderId = chainId;
        chain.ProtocolChain.ChainLen = 2;
        chain.ProtocolChain.ChainEntries[0] = layeredId;
        chain.ProtocolChain.ChainEntries[1] = base.dwCatalogEntryId;
        const char prefix[] = "LAYERED ";
        WCHAR text[WSAPROTOCOL_LEN + 1] = {};
        size_t n = 0;
        for (; prefix[n]; ++n) text[n] = prefix[n];
        for (size_t i = 0; base.szProtocol[i] && n < WSAPROTOCOL_LEN; ++i) text[n++] = base.szProtocol[i];
        std::memcpy(chain.szProtocol, text, sizeof(text));
        ASSERT_EQ(0, WSCInstallProvider(&chainId, QF_WTEXT("qfpassthru.dll"), &chain, 1, &error)) << error;
    }
    std::vector<DWORD> order;
    auto entries = enumerate_catalog();
    for (const auto& entry : entries)
        if (entry.ProtocolChain.ChainLen > 1 && entry.ProtocolChain.ChainEntries[0] == layeredId)
            order.push_back(entry.dwCatalogEntryId);
    for (const auto& entry : entries)
        if (!(entry.ProtocolChain.ChainLen > 1 && entry.ProtocolChain.ChainEntries[0] == layeredId))
            order.push_back(entry.dwCatalogEntryId);
    ASSERT_EQ(0, WSCWriteProviderOrder(order.data(), static_cast<DWORD>(order.size())));
}

void WinsockTest::SetUp() {
    std::string error;
    ASSERT_TRUE(qf::seed_winsock_catalog(error)) << error;
    if (layered()) {
        install_passthru();
        if (HasFatalFailure()) return;
    }
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    started_ = true;
}

void WinsockTest::TearDown() {
    if (started_) {
        EXPECT_EQ(0, WSACleanup());
    }
}

sockaddr_in loopback(u_short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

SOCKET tcp_listener(sockaddr_in& address) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(INVALID_SOCKET, s) << WSAGetLastError();
    address = loopback(0);
    EXPECT_EQ(0, bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address))) << WSAGetLastError();
    EXPECT_EQ(0, listen(s, 16)) << WSAGetLastError();
    int length = sizeof(address);
    EXPECT_EQ(0, getsockname(s, reinterpret_cast<sockaddr*>(&address), &length));
    return s;
}

void tcp_pair(SOCKET& client, SOCKET& server) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(INVALID_SOCKET, client);
    ASSERT_EQ(0, connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address))) << WSAGetLastError();
    ASSERT_TRUE(wait_readable(listener));
    server = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, server) << WSAGetLastError();
    closesocket(listener);
}

SOCKET udp_socket(sockaddr_in& address) {
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    EXPECT_NE(INVALID_SOCKET, s) << WSAGetLastError();
    address = loopback(0);
    EXPECT_EQ(0, bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address))) << WSAGetLastError();
    int length = sizeof(address);
    EXPECT_EQ(0, getsockname(s, reinterpret_cast<sockaddr*>(&address), &length));
    return s;
}

bool wait_readable(SOCKET s, DWORD timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{static_cast<LONG>(timeoutMs / 1000), static_cast<LONG>(timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) == 1;
}

std::string receive_exactly(SOCKET s, size_t n) {
    std::string data;
    char buffer[4096];
    while (data.size() < n) {
        if (!wait_readable(s)) break;
        int got = recv(s, buffer, static_cast<int>(std::min(sizeof(buffer), n - data.size())), 0);
        if (got <= 0) break;
        data.append(buffer, got);
    }
    return data;
}

BOOL overlapped_result(SOCKET s, WSAOVERLAPPED& overlapped, DWORD& bytes, DWORD& flags, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (WSAGetOverlappedResult(s, &overlapped, &bytes, FALSE, &flags)) return TRUE;
        if (WSAGetLastError() != WSA_IO_INCOMPLETE || GetTickCount() - start > timeoutMs) return FALSE;
        Sleep(2);
    }
}

namespace {
LRESULT CALLBACK record_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
}  // namespace

MessageWindow::MessageWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = record_proc;
    windowClass.lpszClassName = "Winsock Test Window";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "Winsock Test Window", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

MessageWindow::~MessageWindow() {
    if (window_) DestroyWindow(window_);
}

bool MessageWindow::wait_for(UINT message, MSG& received, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        for (size_t i = 0; i < seen_.size(); ++i)
            if (seen_[i].message == message) {
                received = seen_[i];
                seen_.erase(seen_.begin() + i);
                return true;
            }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) seen_.push_back(msg);
        bool found = false;
        for (const MSG& m : seen_) found = found || m.message == message;
        if (found) continue;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(2);
    }
}

bool MessageWindow::wait_for_event(UINT message, SOCKET s, WORD event, WORD& error, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        for (size_t i = 0; i < seen_.size(); ++i) {
            const MSG& m = seen_[i];
            if (m.message == message && m.wParam == s && WSAGETSELECTEVENT(m.lParam) == event) {
                error = WSAGETSELECTERROR(m.lParam);
                seen_.erase(seen_.begin() + i);
                return true;
            }
        }
        MSG msg;
        bool any = false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            seen_.push_back(msg);
            any = true;
        }
        if (any) continue;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(2);
    }
}

}  // namespace wstest
