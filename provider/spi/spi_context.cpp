// Socket contexts and their list, handle translation and the thread's blocking call.
#include <new>

#include "asyncwindow.h"
#include "dcatalog.h"
#include "dprovide.h"
#include "spi_state.h"

#include <filter.h>

#include "dworker.h"

const char kVtlspLibrary[] = "VTLSP.DLL";

int spi_fail(LPINT lpErrno, int error) {
    if (lpErrno) *lpErrno = error;
    return SOCKET_ERROR;
}

SocketContext* spi_context(SOCKET s, LPINT lpErrno) {
    DWORD_PTR value = 0;
    if (g_vtlsp.upcalls.lpWPUQuerySocketHandleContext(s, &value, lpErrno) == SOCKET_ERROR) return nullptr;
    return reinterpret_cast<SocketContext*>(value);
}

SocketContext* spi_new_context(LowerProvider* provider, SOCKET lowerSocket, DWORD catalogEntryId,
                               const SocketContext* inherit, LPINT lpErrno) {
    SocketContext* context = new (std::nothrow) SocketContext;
    INT ignored = 0;
    if (!context) {
        provider->Procs().lpWSPCloseSocket(lowerSocket, &ignored);
        spi_fail(lpErrno, WSAENOBUFS);
        return nullptr;
    }
    context->provider = provider;
    context->lowerSocket = lowerSocket;
    context->catalogEntryId = catalogEntryId;
    context->ownHandle = INVALID_SOCKET;
    context->completionKey = kNoCompletionKey;
    context->portSkipsOnSuccess = FALSE;
    context->asyncEvents = 0;
    context->asyncWindow = nullptr;
    context->asyncMessage = 0;
    context->next = context->prev = nullptr;
    context->pendingRequests = 0;
    if (inherit) {
        context->asyncEvents = inherit->asyncEvents;
        context->asyncWindow = inherit->asyncWindow;
        context->asyncMessage = inherit->asyncMessage;
    }
    DWORD ownEntry = g_vtlsp.catalog->GetLocalItem()->GetCatalogEntryId();
    context->ownHandle =
        g_vtlsp.upcalls.lpWPUCreateSocketHandle(ownEntry, reinterpret_cast<DWORD_PTR>(context), lpErrno);
    if (context->ownHandle == INVALID_SOCKET) {
        delete context;
        provider->Procs().lpWSPCloseSocket(lowerSocket, &ignored);
        return nullptr;
    }
    EnterCriticalSection(&g_vtlsp.socketListLock);
    SocketContext* head = &g_vtlsp.socketList;
    context->next = head->next;
    context->prev = head;
    head->next->prev = context;
    head->next = context;
    // Notifications that came for the lower socket before it was listed go out now.
    if (context->asyncWindow) {
        AsyncWindow* window = g_vtlsp.window;
        if (window && window != vtlsp_not_created<AsyncWindow>()) window->DeliverEarlyLocked(context);
    }
    LeaveCriticalSection(&g_vtlsp.socketListLock);
    return context;
}

void spi_unlist_context(SocketContext* context) {
    EnterCriticalSection(&g_vtlsp.socketListLock);
    if (context->next) {
        context->prev->next = context->next;
        context->next->prev = context->prev;
        context->next = context->prev = nullptr;
    }
    LeaveCriticalSection(&g_vtlsp.socketListLock);
}

bool spi_wait_requests(SocketContext* context) {
    const DWORD kWaitMs = 2000;
    DWORD start = GetTickCount();
    while (context->pendingRequests.load() > 0 && GetTickCount() - start < kWaitMs) Sleep(1);
    return context->pendingRequests.load() == 0;
}

SocketContext* spi_find_lower_locked(SOCKET s) {
    for (SocketContext* c = g_vtlsp.socketList.next; c && c != &g_vtlsp.socketList; c = c->next)
        if (c->lowerSocket == s) return c;
    return nullptr;
}

void spi_enter_blocking(LowerProvider* provider) {
    if (g_vtlsp.tlsIndex != TLS_OUT_OF_INDEXES) TlsSetValue(g_vtlsp.tlsIndex, provider);
}

void spi_leave_blocking() {
    if (g_vtlsp.tlsIndex != TLS_OUT_OF_INDEXES) TlsSetValue(g_vtlsp.tlsIndex, nullptr);
}

LowerProvider* spi_blocking_provider() {
    if (g_vtlsp.tlsIndex == TLS_OUT_OF_INDEXES) return nullptr;
    return static_cast<LowerProvider*>(TlsGetValue(g_vtlsp.tlsIndex));
}

Worker* spi_get_worker() {
    if (g_vtlsp.worker == vtlsp_not_created<Worker>()) {
        EnterCriticalSection(vtlsp_startup_lock());
        if (g_vtlsp.worker == vtlsp_not_created<Worker>()) g_vtlsp.worker = Worker::Create();
        LeaveCriticalSection(vtlsp_startup_lock());
    }
    return g_vtlsp.worker;
}

AsyncWindow* spi_get_window() {
    if (g_vtlsp.window == vtlsp_not_created<AsyncWindow>()) {
        EnterCriticalSection(vtlsp_startup_lock());
        if (g_vtlsp.window == vtlsp_not_created<AsyncWindow>()) g_vtlsp.window = AsyncWindow::Create();
        LeaveCriticalSection(vtlsp_startup_lock());
    }
    return g_vtlsp.window;
}
