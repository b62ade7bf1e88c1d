#include "asyncwindow.h"

#include <string.h>

#include <new>

#include "dprovide.h"
#include "spi_state.h"

namespace {

const char kWindowClass[] = "Layered Provider Async Window";
HWND const kFailed = reinterpret_cast<HWND>(~static_cast<ULONG_PTR>(0));
// Asks the window's thread to destroy the window.
const UINT kCloseRequest = WM_CLOSE;
const DWORD kCloseWaitMs = 5000;

}  // namespace

AsyncWindow::AsyncWindow() : m_hwnd(nullptr), m_thread(nullptr), m_onOwnThread(false), m_closing(0), m_accepts(0), m_earlyCount(0) {}

AsyncWindow* AsyncWindow::Create() {
    AsyncWindow* window = new (std::nothrow) AsyncWindow;
    if (!window) return nullptr;
    // The thread holds the library from before it starts until it ends.
    HMODULE library = LoadLibraryA(kVtlspLibrary);
    HANDLE thread = library ? CreateThread(nullptr, 0, ThreadMain, window, 0, nullptr) : nullptr;
    if (thread) {
        window->m_thread = thread;
        while (window->m_hwnd.load() == nullptr) Sleep(0);
        if (window->m_hwnd.load() == kFailed) {
            // The thread has ended by itself.
            WaitForSingleObject(thread, kCloseWaitMs);
            CloseHandle(thread);
            delete window;
            return nullptr;
        }
        return window;
    }
    if (library) FreeLibrary(library);
    // Without a thread of its own the window lives on the caller's.
    if (!window->CreateNotificationWindow()) {
        delete window;
        return nullptr;
    }
    return window;
}

DWORD WINAPI AsyncWindow::ThreadMain(LPVOID parameter) {
    AsyncWindow* window = static_cast<AsyncWindow*>(parameter);
    HMODULE library = GetModuleHandleA(kVtlspLibrary);
    window->m_onOwnThread = true;
    if (window->CreateNotificationWindow()) {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) == 1) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    FreeLibraryAndExitThread(library, 0);
    return 0;
}

bool AsyncWindow::CreateNotificationWindow() {
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof(windowClass));
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbWndExtra = 4;  // the object's address, in the 32-bit layout of the target
    windowClass.hInstance = g_vtlsp.module;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    HWND hwnd = nullptr;
    if (RegisterClassA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        hwnd = CreateWindowExA(0, kWindowClass, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, nullptr, nullptr, g_vtlsp.module, nullptr);
    if (!hwnd) {
        m_hwnd = kFailed;
        return false;
    }
    SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(this));
    m_hwnd = hwnd;
    return true;
}

int AsyncWindow::Register(SocketContext* context, LONG lEvent) {
    INT error = 0;
    if (context->provider->Procs().lpWSPAsyncSelect(context->lowerSocket, m_hwnd.load(), kAsyncNotifyMessage, lEvent,
                                                    &error) != 0)
        return error ? error : WSAEINVAL;
    return 0;
}

void AsyncWindow::Close() {
    HWND hwnd = m_hwnd.load();
    if (!hwnd || hwnd == kFailed) return;
    HANDLE thread = m_thread;
    m_closing = 1;
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(hwnd);  // this object is gone from here on
    } else {
        PostMessageA(hwnd, kCloseRequest, 0, 0);
    }
    if (thread) {
        // Once the thread has ended nothing uses the socket list any more.
        WaitForSingleObject(thread, kCloseWaitMs);
        CloseHandle(thread);
    }
}

LRESULT CALLBACK AsyncWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    AsyncWindow* window = reinterpret_cast<AsyncWindow*>(GetWindowLongPtrA(hwnd, 0));
    if (!window) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_DESTROY) {
        SetWindowLongPtrA(hwnd, 0, 0);
        // Only the window's own loop ends with it; a window on the program's thread leaves the
        // program's loop running.
        if (window->m_onOwnThread) PostQuitMessage(0);
        delete window;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (window->m_closing.load()) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (message == kAsyncNotifyMessage) {
        window->Notify(static_cast<SOCKET>(wParam), lParam);
        return 0;
    }
    // The window goes only when the provider closes it: the object goes with it.
    if (message == WM_CLOSE) return 0;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void AsyncWindow::Notify(SOCKET lowerSocket, LPARAM lParam) {
    EnterCriticalSection(&g_vtlsp.socketListLock);
    SocketContext* context = spi_find_lower_locked(lowerSocket);
    if (context) {
        if (context->asyncWindow)
            g_vtlsp.upcalls.lpWPUPostMessage(context->asyncWindow, context->asyncMessage, context->ownHandle, lParam);
    } else if (m_accepts.load() > 0) {
        // Perhaps a socket being accepted; kept until the accept has listed it.
        if (m_earlyCount == kEarlyCapacity) {
            for (int i = 1; i < kEarlyCapacity; ++i) m_early[i - 1] = m_early[i];
            m_earlyCount--;
        }
        m_early[m_earlyCount++] = Early{lowerSocket, lParam};
    }
    LeaveCriticalSection(&g_vtlsp.socketListLock);
}

void AsyncWindow::DeliverEarlyLocked(SocketContext* context) {
    int kept = 0;
    for (int i = 0; i < m_earlyCount; ++i) {
        if (m_early[i].lowerSocket == context->lowerSocket)
            g_vtlsp.upcalls.lpWPUPostMessage(context->asyncWindow, context->asyncMessage, context->ownHandle,
                                             m_early[i].lParam);
        else
            m_early[kept++] = m_early[i];
    }
    m_earlyCount = kept;
}

void AsyncWindow::EndAccept() {
    if (--m_accepts == 0) {
        EnterCriticalSection(&g_vtlsp.socketListLock);
        if (m_accepts.load() == 0) m_earlyCount = 0;
        LeaveCriticalSection(&g_vtlsp.socketListLock);
    }
}
