// The provider inside a process: library attach and detach, WSPStartup and WSPCleanup.
#include <string.h>

#include <new>

#include <filter.h>

#include "asyncwindow.h"
#include "dcatalog.h"
#include "dprovide.h"
#include "dworker.h"
#include "spi_entries.h"
#include "spi_state.h"

ProviderState g_vtlsp;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        // The start-up lock (vtlsp_startup_lock) lives with the filter, which loads its policy
        // under it; it is made when the library is loaded.
        g_vtlsp.module = instance;
        g_vtlsp.tlsIndex = TlsAlloc();
        g_vtlsp.window = vtlsp_not_created<AsyncWindow>();
        g_vtlsp.worker = vtlsp_not_created<Worker>();
    } else if (reason == DLL_PROCESS_DETACH) {
        if (!reserved && g_vtlsp.tlsIndex != TLS_OUT_OF_INDEXES) {
            TlsFree(g_vtlsp.tlsIndex);
            g_vtlsp.tlsIndex = TLS_OUT_OF_INDEXES;
        }
    }
    return TRUE;
}

namespace {

const WSPPROC_TABLE kProcedures = {
    WSPAccept,      WSPAddressToString, WSPAsyncSelect,  WSPBind,         WSPCancelBlockingCall,
    WSPCleanup,     WSPCloseSocket,     WSPConnect,      WSPDuplicateSocket, WSPEnumNetworkEvents,
    WSPEventSelect, WSPGetOverlappedResult, WSPGetPeerName, WSPGetSockName, WSPGetSockOpt,
    WSPGetQOSByName, WSPIoctl,          WSPJoinLeaf,     WSPListen,       WSPRecv,
    WSPRecvDisconnect, WSPRecvFrom,     WSPSelect,       WSPSend,         WSPSendDisconnect,
    WSPSendTo,      WSPSetSockOpt,      WSPShutdown,     WSPSocket,       WSPStringToAddress,
};

// The first start-up in the process: the completion upcall, the socket list and the catalog.
int first_startup() {
    HMODULE ws2 = GetModuleHandleA("ws2_32.dll");
    if (!ws2) return WSAVERNOTSUPPORTED;
    g_vtlsp.completeRequest = reinterpret_cast<LPWPUCOMPLETEOVERLAPPEDREQUEST>(
        reinterpret_cast<void*>(GetProcAddress(ws2, "WPUCompleteOverlappedRequest")));
    if (!g_vtlsp.completeRequest) return WSAVERNOTSUPPORTED;
    g_vtlsp.socketList.next = g_vtlsp.socketList.prev = &g_vtlsp.socketList;
    InitializeCriticalSection(&g_vtlsp.socketListLock);
    g_vtlsp.catalog = new (std::nothrow) Catalog;
    int result = g_vtlsp.catalog ? g_vtlsp.catalog->Initialize() : WSASYSNOTREADY;
    if (result != 0) {
        delete g_vtlsp.catalog;
        g_vtlsp.catalog = nullptr;
        DeleteCriticalSection(&g_vtlsp.socketListLock);
    }
    return result;
}

// The last clean-up: the provider's threads told to go, every socket closed, the next providers
// cleaned up and unloaded.
void last_cleanup() {
    AsyncWindow* window = g_vtlsp.window;
    if (window && window != vtlsp_not_created<AsyncWindow>()) window->Close();
    g_vtlsp.window = vtlsp_not_created<AsyncWindow>();
    Worker* worker = g_vtlsp.worker;
    if (worker && worker != vtlsp_not_created<Worker>()) worker->Stop();
    g_vtlsp.worker = vtlsp_not_created<Worker>();
    Sleep(100);

    // The list is taken whole under its lock; the next providers are called without it.
    EnterCriticalSection(&g_vtlsp.socketListLock);
    SocketContext* head = &g_vtlsp.socketList;
    SocketContext* first = head->next;
    head->prev->next = nullptr;
    head->next = head->prev = head;
    LeaveCriticalSection(&g_vtlsp.socketListLock);
    for (SocketContext* context = first; context && context != head;) {
        SocketContext* next = context->next;
        INT ignored = 0;
        context->provider->Procs().lpWSPCloseSocket(context->lowerSocket, &ignored);
        g_vtlsp.upcalls.lpWPUCloseSocketHandle(context->ownHandle, &ignored);
        delete context;
        context = next;
    }
    DeleteCriticalSection(&g_vtlsp.socketListLock);

    delete g_vtlsp.catalog;
    g_vtlsp.catalog = nullptr;
}

}  // namespace

extern "C" int WSPAPI WSPStartup(WORD wVersionRequested, LPWSPDATA lpWSPData, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                                 WSPUPCALLTABLE UpcallTable, LPWSPPROC_TABLE lpProcTable) {
    (void)wVersionRequested;
    (void)lpProtocolInfo;
    EnterCriticalSection(vtlsp_startup_lock());
    g_vtlsp.upcalls = UpcallTable;
    int result = g_vtlsp.startCount == 0 ? first_startup() : 0;
    if (result == 0) g_vtlsp.startCount++;
    LeaveCriticalSection(vtlsp_startup_lock());
    if (result == 0) *lpProcTable = kProcedures;
    lpWSPData->wVersion = MAKEWORD(2, 2);
    lpWSPData->wHighVersion = MAKEWORD(2, 2);
    lpWSPData->szDescription[0] = 0;
    return result;
}

int WSPAPI WSPCleanup(LPINT lpErrno) {
    EnterCriticalSection(vtlsp_startup_lock());
    if (g_vtlsp.startCount != 0 && --g_vtlsp.startCount == 0) last_cleanup();
    if (lpErrno) *lpErrno = 0;
    LeaveCriticalSection(vtlsp_startup_lock());
    return 0;
}
