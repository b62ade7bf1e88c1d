#include "spi_harness.h"

#include <lexstore.h>

#include "machine.h"
#include "vtlsp_install.h"

namespace spi_test {

const char kWord[] = "gorgonzola";

std::vector<WSAPROTOCOL_INFOW> enumerate_catalog() { return vtlsp_install::enumerate_catalog(); }

void install_vtlsp() {
    WSAPROTOCOL_INFOW base;
    std::string error;
    ASSERT_TRUE(vtlsp_install::install_vtlsp(base, error)) << error;
}

WSAPROTOCOL_INFOW tcp_chain_entry() {
    for (const auto& entry : enumerate_catalog())
        if (vtlsp_install::same_id(entry.ProviderId, vtlsp_install::kChainId)) return entry;
    return WSAPROTOCOL_INFOW{};
}

sockaddr_in address_of(const char* dotted, u_short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = inet_addr(dotted);
    return a;
}

const sockaddr* as_sockaddr(const sockaddr_in& address) { return reinterpret_cast<const sockaddr*>(&address); }

std::string own_loopback_address() {
    // One address per process id (ids stay below 2^23): 127.0.0.0/8 is all loopback.
    DWORD n = GetCurrentProcessId();
    return "127." + std::to_string(1 + ((n >> 16) & 0x7f)) + "." + std::to_string((n >> 8) & 0xff) + "." +
           std::to_string(n & 0xff);
}

void ProviderTest::SetUp() {
    // The filter's policy tables live until the process ends, so vtlsp is held for the whole
    // process here (its unload would leave them behind). The policy is therefore loaded once per
    // process: run one case per process, as ctest does.
    static HMODULE vtlsp = LoadLibraryA("vtlsp.dll");
    ASSERT_NE(nullptr, vtlsp);
    std::string error;
    ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
}

void ProviderTest::TearDown() {
    if (started_) {
        EXPECT_EQ(0, WSACleanup());
    }
}

void ProviderTest::addListEntry(const char* key, int type) {
    ASSERT_EQ(lexs_openit(), 1);
    char value[LEXS_VALUE_SIZE] = {};
    ASSERT_EQ(lexs_insertdb(value, key, type, -1), 1) << key;
    lexs_closedbase();
}

void ProviderTest::start() {
    install_vtlsp();
    if (HasFatalFailure()) return;
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    started_ = true;
}

SOCKET tcp_listener(const char* dotted, u_short port, sockaddr_in& bound) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(INVALID_SOCKET, s) << WSAGetLastError();
    BOOL reuse = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof(reuse));
    bound = address_of(dotted, port);
    EXPECT_EQ(0, bind(s, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
    EXPECT_EQ(0, listen(s, 16)) << WSAGetLastError();
    int length = sizeof(bound);
    EXPECT_EQ(0, getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length));
    return s;
}

OneShotServer::OneShotServer(SOCKET listener, std::function<void(SOCKET)> serve)
    : listener_(listener), thread_([listener, serve] {
          if (!wait_readable(listener, kDeadlineMs)) return;
          SOCKET peer = accept(listener, nullptr, nullptr);
          if (peer == INVALID_SOCKET) return;
          serve(peer);
          closesocket(peer);
      }) {}

OneShotServer::~OneShotServer() {
    thread_.join();
    closesocket(listener_);
}

bool wait_readable(SOCKET s, DWORD timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{static_cast<LONG>(timeoutMs / 1000), static_cast<LONG>(timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) == 1;
}

int receive_all(SOCKET s, std::string& data) {
    char buffer[4096];
    for (;;) {
        if (!wait_readable(s, kDeadlineMs)) return WSAETIMEDOUT;
        int got = recv(s, buffer, sizeof(buffer), 0);
        if (got == 0) return 0;
        if (got < 0) return WSAGetLastError();
        data.append(buffer, got);
    }
}

BOOL wait_overlapped(SOCKET s, WSAOVERLAPPED& overlapped, DWORD& bytes, DWORD& flags) {
    DWORD start = GetTickCount();
    for (;;) {
        if (WSAGetOverlappedResult(s, &overlapped, &bytes, FALSE, &flags)) return TRUE;
        int error = WSAGetLastError();
        if ((error != WSA_IO_PENDING && error != WSA_IO_INCOMPLETE) || GetTickCount() - start > kDeadlineMs)
            return FALSE;
        SleepEx(2, TRUE);
    }
}

namespace {
LRESULT CALLBACK keep_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
}  // namespace

MessageWindow::MessageWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = keep_proc;
    windowClass.lpszClassName = "Provider Test Window";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "Provider Test Window", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

MessageWindow::~MessageWindow() {
    if (window_) DestroyWindow(window_);
}

bool MessageWindow::wait_for_event(UINT message, SOCKET s, WORD event, MSG& received) {
    DWORD start = GetTickCount();
    for (;;) {
        for (size_t i = 0; i < seen_.size(); ++i) {
            const MSG& m = seen_[i];
            if (m.message == message && m.wParam == s && WSAGETSELECTEVENT(m.lParam) == event) {
                received = m;
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
        if (GetTickCount() - start > kDeadlineMs) return false;
        Sleep(2);
    }
}

}  // namespace spi_test

