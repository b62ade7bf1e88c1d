// The provider's process-wide state and the socket context that ties an application's handle to
// the next provider's socket.
#ifndef VTLSP_SPI_STATE_H
#define VTLSP_SPI_STATE_H

#include <ws2spi.h>

#include <atomic>

class AsyncWindow;
class Catalog;
class LowerProvider;
class Worker;

struct SocketContext {
    LowerProvider* provider;
    SOCKET lowerSocket;
    DWORD catalogEntryId;     // the chain entry the socket was made for
    SOCKET ownHandle;         // the handle the application holds
    ULONG_PTR completionKey;  // kNoCompletionKey until the lower socket is on the worker's port
    BOOL portSkipsOnSuccess;  // a request the next provider finishes within the call brings no packet
    LONG asyncEvents;         // the latest WSPAsyncSelect
    HWND asyncWindow;
    UINT asyncMessage;
    SocketContext* next;  // socket list links
    SocketContext* prev;
    // Overlapped requests not yet completed to the application: a close lets them complete
    // while the application's handle still names the socket.
    std::atomic<LONG> pendingRequests;
};

const ULONG_PTR kNoCompletionKey = ~static_cast<ULONG_PTR>(0);

struct ProviderState {
    DWORD startCount;
    WSPUPCALLTABLE upcalls;  // copied at every WSPStartup
    LPWPUCOMPLETEOVERLAPPEDREQUEST completeRequest;
    Catalog* catalog;
    SocketContext socketList;  // the list's head; never a socket
    CRITICAL_SECTION socketListLock;
    DWORD tlsIndex;  // TLS_OUT_OF_INDEXES when none
    HMODULE module;
    AsyncWindow* window;  // vtlsp_not_created() until first needed, null when creation failed
    Worker* worker;       // likewise
};

extern ProviderState g_vtlsp;

// The "not created yet" value of the worker and the notification window.
template <class T>
T* vtlsp_not_created() {
    return reinterpret_cast<T*>(~static_cast<ULONG_PTR>(0));
}

// The module name under which the provider's own threads hold the library.
extern const char kVtlspLibrary[];

// Fails a call: *lpErrno = error, SOCKET_ERROR.
int spi_fail(LPINT lpErrno, int error);

// Handle translation: the context of the application's handle s, or null with the upcall's error.
SocketContext* spi_context(SOCKET s, LPINT lpErrno);

// A new context for a lower socket, with its own handle, listed; null with *lpErrno set and the
// lower socket closed when it cannot be made. inherit (may be null) gives its async selection.
SocketContext* spi_new_context(LowerProvider* provider, SOCKET lowerSocket, DWORD catalogEntryId,
                               const SocketContext* inherit, LPINT lpErrno);
void spi_unlist_context(SocketContext* context);
// Waits (a while at most) until the context's overlapped requests have completed; false when
// some are still out.
bool spi_wait_requests(SocketContext* context);
// Under the socket list lock: the context whose lower socket is s, or null.
SocketContext* spi_find_lower_locked(SOCKET s);

// The provider of the blocking call in progress on this thread.
void spi_enter_blocking(LowerProvider* provider);
void spi_leave_blocking();
LowerProvider* spi_blocking_provider();

// Lazily created under the start-up lock; null when unavailable.
Worker* spi_get_worker();
AsyncWindow* spi_get_window();

#endif
