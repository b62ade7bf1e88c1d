// A web page fetched over loopback through vtlsp in each way a program may receive it: blocking,
// non-blocking, overlapped (event, completion routine, completion port) and WSAAsyncSelect
// messages. A page with a disallowed word or a rating above the limits is blocked, a clean page
// arrives byte for byte. Also: the worker without completion ports, and the notification window
// that cannot be made.
#include <string.h>

#include <lexstore.h>
#include <qf/fault_injection.h>
#include <vtlogger.h>
#include <vtrsac.h>

#include <ostream>
#include <vector>

#include "spi_harness.h"

namespace spi_test {
namespace {

enum class Mode { Blocking, NonBlocking, Event, Routine, Port, AsyncSelect };
enum class Page { Clean, Word, Rating };

const char kHead[] = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
const char kRequest[] = "GET /index.html HTTP/1.0\r\nHost: www.example.org\r\n\r\n";
const char kLabel[] = "PICS-Label";
const UINT kMessage = WM_USER + 9;

std::string page_of(Page page) {
    switch (page) {
    case Page::Word:
        return kHead + std::string("<html><body><p>Today: ") + kWord + ".</p></body></html>";
    case Page::Rating:
        return kHead +
               std::string("<html><head><META http-equiv=\"PICS-Label\" content='(PICS-1.1 "
                           "\"http://www.rsac.org/ratingsv01.html\" l r (n 4 s 0 v 0 l 0))'></head>"
                           "<body><p>Cheese of the day.</p></body></html>");
    case Page::Clean:
        break;
    }
    return kHead + std::string("<html><body><p>Cheese of the day.</p></body></html>");
}

bool log_has(const std::string& kindAndText) {
    VTLogEntry entries[64];
    for (int mark = 0, n; (n = VTLogger_ReadEntries(mark, entries, 64)) > 0; mark = entries[n - 1].id)
        for (int i = 0; i < n; ++i)
            if ((std::string(entries[i].kind) + " " + entries[i].text).find(kindAndText) != std::string::npos)
                return true;
    return false;
}

// What a fetch brought: the error that ended it (0 at the server's close) and the bytes.
struct Received {
    int error = -1;
    std::string data;
    DWORD bytesWithError = 0;  // what a failed overlapped completion reported
};

// Plain receives on a non-blocking socket: WSAEWOULDBLOCK, then select until readable.
int receive_nonblocking(SOCKET s, Received& r) {
    char buffer[4096];
    for (;;) {
        int got = recv(s, buffer, sizeof(buffer), 0);
        if (got > 0) {
            r.data.append(buffer, got);
            continue;
        }
        if (got == 0) return 0;
        int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return error;
        if (!wait_readable(s, kDeadlineMs)) return WSAETIMEDOUT;
    }
}

// One overlapped receive; hEvent is free for the program's use with a completion routine.
struct Request {
    WSAOVERLAPPED overlapped;
    int calls;
    DWORD error;
    DWORD bytes;
};

void CALLBACK note_completion(DWORD error, DWORD bytes, LPWSAOVERLAPPED overlapped, DWORD) {
    Request* request = reinterpret_cast<Request*>(overlapped);
    request->error = error;
    request->bytes = bytes;
    request->calls++;
}

// The outcome of one pending receive in the given mode: its error and byte count.
int complete(Mode mode, SOCKET s, HANDLE port, Request& request, DWORD& bytes) {
    DWORD flags = 0;
    switch (mode) {
    case Mode::Event:
        if (WaitForSingleObject(request.overlapped.hEvent, kDeadlineMs) != WAIT_OBJECT_0) return WSAETIMEDOUT;
        break;
    case Mode::Routine: {
        DWORD start = GetTickCount();
        while (request.calls == 0 && GetTickCount() - start < kDeadlineMs) SleepEx(10, TRUE);
        if (request.calls != 1) return WSAETIMEDOUT;
        bytes = request.bytes;
        return static_cast<int>(request.error);
    }
    case Mode::Port: {
        ULONG_PTR key = 0;
        LPOVERLAPPED done = nullptr;
        GetQueuedCompletionStatus(port, &bytes, &key, &done, kDeadlineMs);
        if (!done) return WSAETIMEDOUT;
        EXPECT_EQ(&request.overlapped, done);
        EXPECT_EQ(static_cast<ULONG_PTR>(s), key);
        DWORD reported = bytes;
        BOOL ok = WSAGetOverlappedResult(s, &request.overlapped, &bytes, FALSE, &flags);
        EXPECT_EQ(reported, bytes) << "the port and the result disagree";
        return ok ? 0 : WSAGetLastError();
    }
    default:
        return WSAEINVAL;
    }
    return WSAGetOverlappedResult(s, &request.overlapped, &bytes, FALSE, &flags) ? 0 : WSAGetLastError();
}

// Overlapped receives one after another until the server closes or a receive fails.
int receive_overlapped(Mode mode, SOCKET s, HANDLE port, Received& r) {
    for (;;) {
        char buffer[4096];
        WSABUF wsabuf{sizeof(buffer), buffer};
        Request request{};
        if (mode == Mode::Event) request.overlapped.hEvent = WSACreateEvent();
        DWORD flags = 0;
        int result = WSARecv(s, &wsabuf, 1, nullptr, &flags, &request.overlapped,
                             mode == Mode::Routine ? note_completion : nullptr);
        int error = result == 0 ? 0 : WSAGetLastError();
        DWORD bytes = 0;
        if (error == 0 || error == WSA_IO_PENDING) error = complete(mode, s, port, request, bytes);
        if (request.overlapped.hEvent) WSACloseEvent(request.overlapped.hEvent);
        if (error) {
            r.bytesWithError = bytes;
            return error;
        }
        if (bytes == 0) return 0;
        r.data.append(buffer, bytes);
    }
}

// The program's own window for WSAAsyncSelect: it keeps the events posted to it.
struct Notification {
    SOCKET s;
    int event;
    int error;
};
std::vector<Notification> g_notifications;

LRESULT CALLBACK keep_notifications(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kMessage) return DefWindowProcA(hwnd, message, wParam, lParam);
    g_notifications.push_back({static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam)});
    return 0;
}

HWND make_window() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = keep_notifications;
    windowClass.lpszClassName = "Web Fetch Test Window";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

// The message loop: dispatches (so that windows of this thread run) until a notification for s
// arrives or the deadline passes.
bool next_notification(SOCKET s, Notification& next) {
    DWORD start = GetTickCount();
    for (;;) {
        for (size_t i = 0; i < g_notifications.size(); ++i) {
            if (g_notifications[i].s != s) continue;
            next = g_notifications[i];
            g_notifications.erase(g_notifications.begin() + i);
            return true;
        }
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        if (GetTickCount() - start > kDeadlineMs) return false;
        Sleep(2);
    }
}

// FD_READ: one receive; FD_CLOSE: the rest.
int receive_async(SOCKET s, Received& r) {
    char buffer[4096];
    for (;;) {
        Notification n{};
        if (!next_notification(s, n)) return WSAETIMEDOUT;
        if (n.error) return n.error;
        for (bool more = true; more;) {
            int got = recv(s, buffer, sizeof(buffer), 0);
            if (got == 0) return 0;
            if (got < 0) {
                int error = WSAGetLastError();
                if (error != WSAEWOULDBLOCK) return error;
                break;
            }
            r.data.append(buffer, got);
            more = n.event == FD_CLOSE;
        }
    }
}

struct FetchCase {
    const char* name;
    Mode mode;
    Page page;
    bool workerWithoutPort;  // the worker's completion port cannot be made
};
void PrintTo(const FetchCase& c, std::ostream* out) { *out << c.name; }

class FetchInEachModeTest : public ProviderTest, public ::testing::WithParamInterface<FetchCase> {
protected:
    void TearDown() override {
        qf::fail_next(qf::Fault::CreateIoCompletionPort, 0);
        ProviderTest::TearDown();
    }
};

TEST_P(FetchInEachModeTest, ADisallowedOrOverRatedPageIsBlockedAndACleanOneArrivesByteForByte) {
    const FetchCase& c = GetParam();
    addListEntry(kWord, Word);
    if (HasFatalFailure()) return;
    RsacSettings rsac = {1, 0, 0, 0, 0};
    ASSERT_EQ(1, vtrsac_write(&rsac));
    start();
    if (HasFatalFailure()) return;
    const std::string host = own_loopback_address();
    sockaddr_in bound;
    SOCKET listener = tcp_listener(host.c_str(), 80, bound);
    const std::string page = page_of(c.page);
    std::string request;
    Received r;
    {
        OneShotServer server(listener, [&](SOCKET peer) {
            char buffer[1024];
            int got = recv(peer, buffer, sizeof(buffer), 0);
            if (got > 0) request.assign(buffer, got);
            send(peer, page.data(), static_cast<int>(page.size()), 0);
        });
        SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
        ASSERT_NE(INVALID_SOCKET, s) << WSAGetLastError();
        ASSERT_EQ(0, connect(s, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
        HANDLE port = nullptr;
        HWND window = nullptr;
        if (c.mode == Mode::Port) {
            port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
            ASSERT_NE(nullptr, port);
            ASSERT_EQ(port, CreateIoCompletionPort(reinterpret_cast<HANDLE>(s), port, s, 0));
        }
        if (c.mode == Mode::NonBlocking) {
            u_long on = 1;
            ASSERT_EQ(0, ioctlsocket(s, FIONBIO, &on)) << WSAGetLastError();
            char byte;
            EXPECT_EQ(SOCKET_ERROR, recv(s, &byte, 1, 0)) << "nothing has been sent yet";
            EXPECT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
        }
        if (c.mode == Mode::AsyncSelect) {
            window = make_window();
            ASSERT_NE(nullptr, window);
            ASSERT_EQ(0, WSAAsyncSelect(s, window, kMessage, FD_READ | FD_CLOSE)) << WSAGetLastError();
        }
        if (c.workerWithoutPort) qf::fail_next(qf::Fault::CreateIoCompletionPort, 1);
        const int requestLength = static_cast<int>(strlen(kRequest));
        ASSERT_EQ(requestLength, send(s, kRequest, requestLength, 0)) << WSAGetLastError();
        switch (c.mode) {
        case Mode::Blocking:
            r.error = receive_all(s, r.data);
            break;
        case Mode::NonBlocking:
            r.error = receive_nonblocking(s, r);
            break;
        case Mode::AsyncSelect:
            r.error = receive_async(s, r);
            break;
        default:
            r.error = receive_overlapped(c.mode, s, port, r);
            break;
        }
        if (c.workerWithoutPort) {
            EXPECT_EQ(0, qf::fail_remaining(qf::Fault::CreateIoCompletionPort));
        }
        EXPECT_EQ(0, closesocket(s));
        if (port) CloseHandle(port);
        if (window) DestroyWindow(window);
    }
    EXPECT_EQ(0u, request.find("GET /index.html"));
    if (c.page == Page::Clean) {
        EXPECT_EQ(0, r.error);
        EXPECT_EQ(page, r.data);
        EXPECT_FALSE(log_has("BLOCK "));
        return;
    }
    EXPECT_EQ(WSAESHUTDOWN, r.error);
    EXPECT_EQ(0u, r.bytesWithError);
    EXPECT_EQ(std::string::npos, r.data.find(c.page == Page::Word ? kWord : kLabel));
    EXPECT_TRUE(log_has("BLOCK www.example.org (" + host + "); " +
                        (c.page == Page::Word ? "1 violation." : "Due to RSACi rating.")));
}

// Blocking fetches of clean and worded pages and an event's worded page have tests of their own.
INSTANTIATE_TEST_SUITE_P(
    Modes, FetchInEachModeTest,
    ::testing::Values(FetchCase{"BlockingRated", Mode::Blocking, Page::Rating, false},
                      FetchCase{"NonBlockingClean", Mode::NonBlocking, Page::Clean, false},
                      FetchCase{"NonBlockingWord", Mode::NonBlocking, Page::Word, false},
                      FetchCase{"NonBlockingRated", Mode::NonBlocking, Page::Rating, false},
                      FetchCase{"EventClean", Mode::Event, Page::Clean, false},
                      FetchCase{"EventRated", Mode::Event, Page::Rating, false},
                      FetchCase{"RoutineClean", Mode::Routine, Page::Clean, false},
                      FetchCase{"RoutineWord", Mode::Routine, Page::Word, false},
                      FetchCase{"RoutineRated", Mode::Routine, Page::Rating, false},
                      FetchCase{"PortClean", Mode::Port, Page::Clean, false},
                      FetchCase{"PortWord", Mode::Port, Page::Word, false},
                      FetchCase{"PortRated", Mode::Port, Page::Rating, false},
                      FetchCase{"AsyncSelectClean", Mode::AsyncSelect, Page::Clean, false},
                      FetchCase{"AsyncSelectWord", Mode::AsyncSelect, Page::Word, false},
                      FetchCase{"AsyncSelectRated", Mode::AsyncSelect, Page::Rating, false},
                      FetchCase{"EventCleanWithoutWorkerPort", Mode::Event, Page::Clean, true},
                      FetchCase{"RoutineCleanWithoutWorkerPort", Mode::Routine, Page::Clean, true},
                      FetchCase{"PortCleanWithoutWorkerPort", Mode::Port, Page::Clean, true},
                      FetchCase{"RoutineWordWithoutWorkerPort", Mode::Routine, Page::Word, true}),
    [](const ::testing::TestParamInfo<FetchCase>& info) { return std::string(info.param.name); });

// A connected pair on loopback: the client through the chain, the server accepted.
void connect_pair(const std::string& host, SOCKET& client, SOCKET& server) {
    sockaddr_in bound;
    SOCKET listener = tcp_listener(host.c_str(), 0, bound);
    client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, client);
    ASSERT_EQ(0, connect(client, as_sockaddr(bound), sizeof(bound))) << WSAGetLastError();
    ASSERT_TRUE(wait_readable(listener, kDeadlineMs));
    server = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, server);
    closesocket(listener);
}

// Data from the server reaches the client's window as FD_READ (the loop dispatches, so that a
// notification window on this thread runs too).
void expect_read_notification(SOCKET client, SOCKET server) {
    ASSERT_EQ(1, send(server, "x", 1, 0));
    Notification n{};
    ASSERT_TRUE(next_notification(client, n));
    EXPECT_EQ(FD_READ, n.event);
    EXPECT_EQ(0, n.error);
    char byte;
    EXPECT_EQ(1, recv(client, &byte, 1, 0));
}

struct WindowFaultCase {
    const char* name;
    std::vector<qf::Fault> faults;
    bool windowMade;  // on the caller's thread, when only the thread could not be started
};
void PrintTo(const WindowFaultCase& c, std::ostream* out) { *out << c.name; }

const qf::Fault kWindowFaults[] = {qf::Fault::CreateThread, qf::Fault::RegisterClassA, qf::Fault::CreateWindowExA};

class WindowFaultTest : public ProviderTest, public ::testing::WithParamInterface<WindowFaultCase> {
protected:
    void TearDown() override {
        for (qf::Fault kind : kWindowFaults) qf::fail_next(kind, 0);
        ProviderTest::TearDown();
    }
};

TEST_P(WindowFaultTest, AWindowThatCannotBeMadeFailsEveryAsyncSelectWithNoBuffersUntilTheFinalCleanUp) {
    const WindowFaultCase& c = GetParam();
    start();
    if (HasFatalFailure()) return;
    const std::string host = own_loopback_address();
    HWND window = make_window();  // before any failure is armed
    ASSERT_NE(nullptr, window);
    SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
    connect_pair(host, client, server);
    if (HasFatalFailure()) return;

    for (qf::Fault kind : c.faults) qf::fail_next(kind, 1);
    int result = WSAAsyncSelect(client, window, kMessage, FD_READ);
    int error = WSAGetLastError();
    for (qf::Fault kind : c.faults) EXPECT_EQ(0, qf::fail_remaining(kind)) << "a failure was not reached";
    for (qf::Fault kind : kWindowFaults) qf::fail_next(kind, 0);
    if (c.windowMade) {
        ASSERT_EQ(0, result) << error;
        expect_read_notification(client, server);
    } else {
        EXPECT_EQ(SOCKET_ERROR, result);
        EXPECT_EQ(WSAENOBUFS, error);
        // Nothing fails any more, but the window stays unavailable, for other sockets too.
        SOCKET other = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_NE(INVALID_SOCKET, other);
        for (SOCKET s : {client, other}) {
            EXPECT_EQ(SOCKET_ERROR, WSAAsyncSelect(s, window, kMessage, FD_READ));
            EXPECT_EQ(WSAENOBUFS, WSAGetLastError());
        }
        closesocket(other);
    }
    closesocket(client);
    closesocket(server);

    // After the final clean-up the window is made anew; one that lived on this thread leaves the
    // program's message loop running.
    ASSERT_EQ(0, WSACleanup());
    MSG quit;
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program's loop was told to quit";
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    connect_pair(host, client, server);
    if (HasFatalFailure()) return;
    ASSERT_EQ(0, WSAAsyncSelect(client, window, kMessage, FD_READ)) << WSAGetLastError();
    expect_read_notification(client, server);
    closesocket(client);
    closesocket(server);
    DestroyWindow(window);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WindowFaultTest,
    ::testing::Values(
        WindowFaultCase{"NoThreadAndNoClass", {qf::Fault::CreateThread, qf::Fault::RegisterClassA}, false},
        WindowFaultCase{"NoThreadAndNoWindow", {qf::Fault::CreateThread, qf::Fault::CreateWindowExA}, false},
        WindowFaultCase{"NoClassOnTheWindowThread", {qf::Fault::RegisterClassA}, false},
        WindowFaultCase{"NoWindowOnTheWindowThread", {qf::Fault::CreateWindowExA}, false},
        WindowFaultCase{"NoThreadPutsTheWindowOnTheCallersThread", {qf::Fault::CreateThread}, true}),
    [](const ::testing::TestParamInfo<WindowFaultCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace spi_test
