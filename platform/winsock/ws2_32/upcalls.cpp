// The 15 upcalls of WSPUPCALLTABLE and WPUCompleteOverlappedRequest.
#include "overlapped_completion.h"
#include "providers.h"
#include "socket_table.h"

namespace {

int fail(LPINT lpErrno, int error) {
    if (lpErrno) *lpErrno = error;
    return SOCKET_ERROR;
}

}  // namespace

extern "C" BOOL WSPAPI WPUCloseEvent(WSAEVENT hEvent, LPINT lpErrno) {
    if (CloseHandle(hEvent)) return TRUE;
    if (lpErrno) *lpErrno = WSA_INVALID_HANDLE;
    return FALSE;
}

extern "C" int WSPAPI WPUCloseSocketHandle(SOCKET s, LPINT lpErrno) {
    int error = qf::ws2::table_close(s);
    return error ? fail(lpErrno, error) : 0;
}

extern "C" WSAEVENT WSPAPI WPUCreateEvent(LPINT lpErrno) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // manual reset, as Winsock's events are
    if (!event && lpErrno) *lpErrno = WSA_NOT_ENOUGH_MEMORY;
    return event;
}

extern "C" SOCKET WSPAPI WPUCreateSocketHandle(DWORD dwCatalogEntryId, DWORD_PTR dwContext, LPINT lpErrno) {
    int error = 0;
    SOCKET handle = qf::ws2::table_create_layered(dwCatalogEntryId, dwContext, error);
    if (handle == INVALID_SOCKET && lpErrno) *lpErrno = error;
    return handle;
}

extern "C" int WSPAPI __WSAFDIsSet(SOCKET fd, fd_set* set) {
    if (!set) return 0;
    const u_int kLimit = 0x10000;  // sets may be larger than this build's FD_SETSIZE, never this large
    u_int count = set->fd_count < kLimit ? set->fd_count : kLimit;
    for (u_int i = 0; i < count; ++i)
        if (set->fd_array[i] == fd) return 1;
    return 0;
}

extern "C" int WSPAPI WPUFDIsSet(SOCKET s, fd_set* fdset) { return __WSAFDIsSet(s, fdset); }

extern "C" int WSPAPI WSCGetProviderPath(LPGUID lpProviderId, WCHAR* lpszProviderDllPath, LPINT lpProviderDllPathLen,
                                         LPINT lpErrno);

extern "C" int WSPAPI WPUGetProviderPath(LPGUID lpProviderId, WCHAR* lpszProviderDllPath, LPINT lpProviderDllPathLen,
                                         LPINT lpErrno) {
    return WSCGetProviderPath(lpProviderId, lpszProviderDllPath, lpProviderDllPathLen, lpErrno);
}

extern "C" SOCKET WSPAPI WPUModifyIFSHandle(DWORD dwCatalogEntryId, SOCKET ProposedHandle, LPINT lpErrno) {
    int error = 0;
    SOCKET handle = qf::ws2::table_register_base(dwCatalogEntryId, ProposedHandle, error);
    if (handle == INVALID_SOCKET && lpErrno) *lpErrno = error;
    return handle;
}

extern "C" BOOL WSPAPI WPUPostMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(hWnd, Msg, wParam, lParam);
}

extern "C" int WSPAPI WPUQueryBlockingCallback(DWORD dwCatalogEntryId, LPBLOCKINGCALLBACK* lplpfnCallback,
                                               PDWORD_PTR lpdwContext, LPINT lpErrno) {
    (void)dwCatalogEntryId;
    if (!lplpfnCallback || !lpdwContext) return fail(lpErrno, WSAEFAULT);
    // Winsock 2 has no blocking hooks: a provider blocks without calling back.
    *lplpfnCallback = nullptr;
    *lpdwContext = 0;
    return 0;
}

extern "C" int WSPAPI WPUQuerySocketHandleContext(SOCKET s, PDWORD_PTR lpContext, LPINT lpErrno) {
    if (!lpContext) return fail(lpErrno, WSAEFAULT);
    DWORD_PTR context = 0;
    int error = qf::ws2::table_query_context(s, context);
    if (error) return fail(lpErrno, error);
    *lpContext = context;
    return 0;
}

extern "C" int WSPAPI WPUQueueApc(LPWSATHREADID lpThreadId, LPWSAUSERAPC lpfnUserApc, DWORD_PTR dwContext,
                                  LPINT lpErrno) {
    if (!lpThreadId || !lpfnUserApc) return fail(lpErrno, WSAEFAULT);
    if (!QueueUserAPC(reinterpret_cast<PAPCFUNC>(lpfnUserApc), lpThreadId->ThreadHandle, dwContext))
        return fail(lpErrno, WSAEINVAL);
    return 0;
}

extern "C" BOOL WSPAPI WPUResetEvent(WSAEVENT hEvent, LPINT lpErrno) {
    if (ResetEvent(hEvent)) return TRUE;
    if (lpErrno) *lpErrno = WSA_INVALID_HANDLE;
    return FALSE;
}

extern "C" BOOL WSPAPI WPUSetEvent(WSAEVENT hEvent, LPINT lpErrno) {
    if (SetEvent(hEvent)) return TRUE;
    if (lpErrno) *lpErrno = WSA_INVALID_HANDLE;
    return FALSE;
}

extern "C" int WSPAPI WPUOpenCurrentThread(LPWSATHREADID lpThreadId, LPINT lpErrno) {
    if (!lpThreadId) return fail(lpErrno, WSAEFAULT);
    DWORD id = GetCurrentThreadId();
    HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, id);
    if (!thread) return fail(lpErrno, WSASYSCALLFAILURE);
    lpThreadId->ThreadHandle = thread;
    lpThreadId->Reserved = id;
    return 0;
}

extern "C" int WSPAPI WPUCloseThread(LPWSATHREADID lpThreadId, LPINT lpErrno) {
    if (!lpThreadId) return fail(lpErrno, WSAEFAULT);
    if (!CloseHandle(lpThreadId->ThreadHandle)) return fail(lpErrno, WSAEINVAL);
    lpThreadId->ThreadHandle = nullptr;
    return 0;
}

// Completes an overlapped operation on a handle made by WPUCreateSocketHandle: records the outcome
// in the overlapped structure, signals its event and queues a packet to the completion port the
// handle is associated with (an event handle with its lowest bit set asks for no packet). It never
// runs a completion routine: a provider queues the application's routine itself (WPUQueueApc).
// Any other handle (a base provider's socket, a handle already closed) is refused with WSAEINVAL.
extern "C" int WSPAPI WPUCompleteOverlappedRequest(SOCKET s, LPWSAOVERLAPPED lpOverlapped, DWORD dwError,
                                                   DWORD cbTransferred, LPINT lpErrno) {
    DWORD_PTR context = 0;
    if (qf::ws2::table_query_context(s, context) != 0) return fail(lpErrno, WSAEINVAL);
    if (!lpOverlapped) return fail(lpErrno, WSAEFAULT);
    qf::ws::complete_overlapped(s, lpOverlapped, dwError, cbTransferred);
    if (lpErrno) *lpErrno = 0;
    return 0;
}

namespace qf::ws2 {

const WSPUPCALLTABLE& ws2_upcall_table() {
    static const WSPUPCALLTABLE table = {
        WPUCloseEvent,    WPUCloseSocketHandle,        WPUCreateEvent, WPUCreateSocketHandle,
        WPUFDIsSet,       WPUGetProviderPath,          WPUModifyIFSHandle, WPUPostMessage,
        WPUQueryBlockingCallback, WPUQuerySocketHandleContext, WPUQueueApc, WPUResetEvent,
        WPUSetEvent,      WPUOpenCurrentThread,        WPUCloseThread,
    };
    return table;
}

namespace {
struct ThreadIdHolder {
    WSATHREADID id{};
    bool open = false;
    ~ThreadIdHolder() {
        if (open) CloseHandle(id.ThreadHandle);
    }
};
thread_local ThreadIdHolder threadId;
}  // namespace

LPWSATHREADID ws2_current_thread_id() {
    if (!threadId.open) {
        int error = 0;
        if (WPUOpenCurrentThread(&threadId.id, &error) != 0) return nullptr;
        threadId.open = true;
    }
    return &threadId.id;
}

}  // namespace qf::ws2
