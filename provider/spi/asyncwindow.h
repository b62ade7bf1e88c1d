// AsyncWindow: the hidden window, on a thread of its own, to which the next providers post the
// WSPAsyncSelect notifications of their sockets; each is re-posted to the application's window
// with the application's message number and socket handle.
#ifndef VTLSP_ASYNCWINDOW_H
#define VTLSP_ASYNCWINDOW_H

#include <ws2spi.h>

#include <atomic>

struct SocketContext;

// The message number of the next providers' notifications.
const UINT kAsyncNotifyMessage = 0x464;

class AsyncWindow {
public:
    // A live window, or null when it cannot be made.
    static AsyncWindow* Create();
    // The next provider notifies this window about context's lower socket; 0 or its error.
    int Register(SocketContext* context, LONG lEvent);
    // Asks the window's thread to destroy the window and end; the object goes with the window.
    void Close();

    // While an accept on a selected listener is in progress, notifications for lower sockets not
    // yet listed are kept; listing the accepted socket (socket list lock held) delivers them.
    void BeginAccept() { m_accepts++; }
    void EndAccept();
    void DeliverEarlyLocked(SocketContext* context);

private:
    AsyncWindow();
    ~AsyncWindow() {}
    static DWORD WINAPI ThreadMain(LPVOID parameter);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Registers the class (an existing one is used as it is) and creates the window.
    bool CreateNotificationWindow();
    void Notify(SOCKET lowerSocket, LPARAM lParam);

    struct Early {
        SOCKET lowerSocket;
        LPARAM lParam;
    };
    static const int kEarlyCapacity = 32;

    std::atomic<HWND> m_hwnd;  // null while being created, kFailed when creation failed
    HANDLE m_thread;
    bool m_onOwnThread;  // set and read on the window's thread only
    std::atomic<LONG> m_closing;
    std::atomic<LONG> m_accepts;
    Early m_early[kEarlyCapacity];  // guarded by the socket list lock
    int m_earlyCount;
};

#endif
