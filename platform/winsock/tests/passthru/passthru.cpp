// A layered provider that only forwards: every socket it hands out is a handle of its own (made by
// WPUCreateSocketHandle) over the next provider's socket. Overlapped operations go down with the
// provider's own overlapped structures and come back through its completion port and worker
// thread; WSPAsyncSelect notifications come back through its hidden window and are reposted with
// the application's handle.
#include "passthru.h"

#include <mswsock.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr int kEntryPoints = 30;
constexpr UINT kNotifyMessage = WM_USER + 0x64;
std::atomic<long> calls[kEntryPoints];

enum Entry {
    eAccept, eAddressToString, eAsyncSelect, eBind, eCancelBlockingCall, eCleanup, eCloseSocket, eConnect,
    eDuplicateSocket, eEnumNetworkEvents, eEventSelect, eGetOverlappedResult, eGetPeerName, eGetSockName,
    eGetSockOpt, eGetQOSByName, eIoctl, eJoinLeaf, eListen, eRecv, eRecvDisconnect, eRecvFrom, eSelect, eSend,
    eSendDisconnect, eSendTo, eSetSockOpt, eShutdown, eSocket, eStringToAddress
};

void count(Entry entry) { calls[entry]++; }

struct Lower {
    GUID providerId{};
    HMODULE module = nullptr;
    WSPPROC_TABLE procs{};
    LPFN_ACCEPTEX acceptEx = nullptr;
    LPFN_TRANSMITFILE transmitFile = nullptr;
};

struct Context {
    SOCKET own = INVALID_SOCKET;
    SOCKET lower = INVALID_SOCKET;
    Lower* provider = nullptr;
    DWORD chainEntryId = 0;
    HWND window = nullptr;
    UINT message = 0;
    bool onPort = false;
};

struct Request {
    WSAOVERLAPPED lowerOverlapped{};  // first: a completion's overlapped pointer leads back to the request
    LPWSAOVERLAPPED overlapped = nullptr;
    SOCKET own = INVALID_SOCKET;
    SOCKET lower = INVALID_SOCKET;
    Lower* provider = nullptr;
    std::vector<WSABUF> buffers;
    DWORD flags = 0;
};

struct State {
    std::recursive_mutex lock;
    int startups = 0;
    WSPUPCALLTABLE upcalls{};
    DWORD layeredEntryId = 0;
    std::vector<std::unique_ptr<Lower>> lowers;
    std::vector<Context*> contexts;
    HANDLE port = nullptr;
    HANDLE worker = nullptr;
    HWND window = nullptr;
    HANDLE windowThread = nullptr;
    LPWPUCOMPLETEOVERLAPPEDREQUEST completeRequest = nullptr;
};

State& state() {
    static State instance;  // gone with the library when the runtime unloads it
    return instance;
}

int fail(LPINT lpErrno, int error) {
    if (lpErrno) *lpErrno = error;
    return SOCKET_ERROR;
}

bool same_guid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

std::vector<WSAPROTOCOL_INFOW> catalog() {
    DWORD size = 0;
    int error = 0;
    WSCEnumProtocols(nullptr, nullptr, &size, &error);
    std::vector<WSAPROTOCOL_INFOW> entries(size / sizeof(WSAPROTOCOL_INFOW));
    int count = WSCEnumProtocols(nullptr, entries.data(), &size, &error);
    entries.resize(count > 0 ? count : 0);
    return entries;
}

Context* context_of(SOCKET s, LPINT lpErrno) {
    DWORD_PTR value = 0;
    if (state().upcalls.lpWPUQuerySocketHandleContext(s, &value, lpErrno) != 0) return nullptr;
    return reinterpret_cast<Context*>(value);
}

// The next provider of a chain entry, loaded on first use, and the catalog info it is used with.
Lower* lower_for(const WSAPROTOCOL_INFOW* info, WSAPROTOCOL_INFOW& nextInfo, int& error) {
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    error = WSASYSNOTREADY;
    if (!info) return nullptr;
    const WSAPROTOCOLCHAIN& chain = info->ProtocolChain;
    DWORD nextId = 0;
    for (int i = 0; i + 1 < chain.ChainLen && i < MAX_PROTOCOL_CHAIN - 1; ++i)
        if (chain.ChainEntries[i] == s.layeredEntryId) nextId = chain.ChainEntries[i + 1];
    if (!nextId) return nullptr;
    bool found = false;
    for (const WSAPROTOCOL_INFOW& entry : catalog()) {
        if (entry.dwCatalogEntryId == nextId) {
            nextInfo = entry;
            found = true;
        }
    }
    if (!found) return nullptr;
    for (auto& lower : s.lowers)
        if (same_guid(lower->providerId, nextInfo.ProviderId)) {
            error = 0;
            return lower.get();
        }
    WCHAR widePath[MAX_PATH];
    int pathLength = MAX_PATH;
    if (s.upcalls.lpWPUGetProviderPath(&nextInfo.ProviderId, widePath, &pathLength, &error) != 0) return nullptr;
    char narrow[MAX_PATH], expanded[MAX_PATH];
    size_t n = 0;
    for (; n + 1 < sizeof(narrow) && widePath[n]; ++n) narrow[n] = static_cast<char>(widePath[n]);
    narrow[n] = 0;
    if (!ExpandEnvironmentStringsA(narrow, expanded, sizeof(expanded))) return nullptr;
    auto lower = std::make_unique<Lower>();
    lower->providerId = nextInfo.ProviderId;
    lower->module = LoadLibraryA(expanded);
    error = WSAEPROVIDERFAILEDINIT;
    if (!lower->module) return nullptr;
    auto startup = reinterpret_cast<LPWSPSTARTUP>(reinterpret_cast<void*>(GetProcAddress(lower->module, "WSPStartup")));
    WSPDATA data{};
    WSAPROTOCOL_INFOW startInfo = nextInfo;
    if (!startup || (error = startup(MAKEWORD(2, 2), &data, &startInfo, s.upcalls, &lower->procs)) != 0) {
        if (!error) error = WSAEPROVIDERFAILEDINIT;
        FreeLibrary(lower->module);
        return nullptr;
    }
    s.lowers.push_back(std::move(lower));
    error = 0;
    return s.lowers.back().get();
}

Context* new_context(Lower* provider, SOCKET lower, DWORD chainEntryId, LPINT lpErrno) {
    State& s = state();
    auto* context = new Context;
    context->provider = provider;
    context->lower = lower;
    context->chainEntryId = chainEntryId;
    context->own = s.upcalls.lpWPUCreateSocketHandle(s.layeredEntryId, reinterpret_cast<DWORD_PTR>(context), lpErrno);
    if (context->own == INVALID_SOCKET) {
        int ignored = 0;
        provider->procs.lpWSPCloseSocket(lower, &ignored);
        delete context;
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.contexts.push_back(context);
    return context;
}

void forget_context(Context* context) {
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    for (size_t i = 0; i < s.contexts.size(); ++i)
        if (s.contexts[i] == context) {
            s.contexts.erase(s.contexts.begin() + i);
            break;
        }
}

// ---- Overlapped requests: down with our own structure, back through the completion port ----

// Event, completion port or completion routine: the runtime's completion upcall does each.
void complete_to_application(Request* request, DWORD error, DWORD bytes, DWORD flags) {
    LPWSAOVERLAPPED overlapped = request->overlapped;
    overlapped->Offset = error;
    overlapped->OffsetHigh = flags;
    int ignored = 0;
    state().completeRequest(request->own, overlapped, error, bytes, &ignored);
}

DWORD WINAPI worker_main(LPVOID) {
    State& s = state();
    for (;;) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED overlapped = nullptr;
        GetQueuedCompletionStatus(s.port, &bytes, &key, &overlapped, INFINITE);
        if (key == ~static_cast<ULONG_PTR>(0)) break;
        if (!overlapped) continue;
        auto* request = reinterpret_cast<Request*>(overlapped);
        DWORD flags = 0;
        int error = 0;
        if (!request->provider->procs.lpWSPGetOverlappedResult(request->lower, &request->lowerOverlapped, &bytes, FALSE,
                                                                &flags, &error))
            if (!error) error = WSASYSCALLFAILURE;
        complete_to_application(request, static_cast<DWORD>(error), bytes, flags);
        delete request;
    }
    return 0;
}

bool ensure_worker() {
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.worker) return true;
    s.port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    if (!s.port) return false;
    s.worker = CreateThread(nullptr, 0, worker_main, nullptr, 0, nullptr);
    return s.worker != nullptr;
}

Request* new_request(Context* context, LPWSAOVERLAPPED overlapped) {
    if (!ensure_worker()) return nullptr;
    State& s = state();
    {
        std::lock_guard<std::recursive_mutex> guard(s.lock);
        if (!context->onPort) {
            CreateIoCompletionPort(reinterpret_cast<HANDLE>(context->lower), s.port, reinterpret_cast<ULONG_PTR>(context), 0);
            context->onPort = true;
        }
    }
    auto* request = new Request;
    request->overlapped = overlapped;
    request->own = context->own;
    request->lower = context->lower;
    request->provider = context->provider;
    overlapped->InternalHigh = 0;
    overlapped->Internal = WSS_OPERATION_IN_PROGRESS;
    return request;
}

// The lower call has been made: pending or done, the completion comes through the port.
int queued(Request* request, int result, int error, LPINT lpErrno) {
    if (result != 0 && error != WSA_IO_PENDING) {
        delete request;
        return fail(lpErrno, error);
    }
    return fail(lpErrno, WSA_IO_PENDING);
}

// ---- The hidden window that relays WSPAsyncSelect notifications ----

LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kNotifyMessage) {
        State& s = state();
        std::lock_guard<std::recursive_mutex> guard(s.lock);
        for (Context* context : s.contexts)
            if (context->lower == static_cast<SOCKET>(wParam) && context->window) {
                s.upcalls.lpWPUPostMessage(context->window, context->message, context->own, lParam);
                break;
            }
        return 0;
    }
    if (message == WM_CLOSE) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

DWORD WINAPI window_main(LPVOID ready) {
    // A class outlives the library that registered it; after an unload and a new load the old
    // class would name a procedure that is gone. Each load of the library registers a class of its own.
    char className[64];
    snprintf(className, sizeof(className), "Passthru Async Window %p", reinterpret_cast<void*>(&window_proc));
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = window_proc;
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);  // a second registration by this load finds its own class there
    HWND window = CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    state().window = window;
    SetEvent(static_cast<HANDLE>(ready));
    if (!window) return 0;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

HWND ensure_window() {
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.window) return s.window;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    s.windowThread = CreateThread(nullptr, 0, window_main, ready, 0, nullptr);
    if (s.windowThread) WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
    return s.window;
}

// ---- Extension function replacements ----

BOOL PASCAL PassthruAcceptEx(SOCKET sListenSocket, SOCKET sAcceptSocket, PVOID lpOutputBuffer, DWORD dwReceiveDataLength,
                             DWORD dwLocalAddressLength, DWORD dwRemoteAddressLength, LPDWORD lpdwBytesReceived,
                             LPOVERLAPPED lpOverlapped) {
    int error = 0;
    Context* listening = context_of(sListenSocket, &error);
    Context* accepting = listening ? context_of(sAcceptSocket, &error) : nullptr;
    if (!listening || !accepting) {
        SetLastError(error);
        return FALSE;
    }
    LPFN_ACCEPTEX lower = listening->provider->acceptEx;
    if (!lower) {
        SetLastError(WSAEOPNOTSUPP);
        return FALSE;
    }
    if (!lpOverlapped)
        return lower(listening->lower, accepting->lower, lpOutputBuffer, dwReceiveDataLength, dwLocalAddressLength,
                     dwRemoteAddressLength, lpdwBytesReceived, nullptr);
    Request* request = new_request(listening, lpOverlapped);
    if (!request) {
        SetLastError(WSAENOBUFS);
        return FALSE;
    }
    DWORD received = 0;
    if (!lower(listening->lower, accepting->lower, lpOutputBuffer, dwReceiveDataLength, dwLocalAddressLength,
               dwRemoteAddressLength, &received, &request->lowerOverlapped) &&
        GetLastError() != WSA_IO_PENDING) {
        error = GetLastError();
        delete request;
        SetLastError(error);
        return FALSE;
    }
    SetLastError(WSA_IO_PENDING);
    return FALSE;
}

BOOL PASCAL PassthruTransmitFile(SOCKET hSocket, HANDLE hFile, DWORD nNumberOfBytesToWrite, DWORD nNumberOfBytesPerSend,
                                 LPOVERLAPPED lpOverlapped, LPTRANSMIT_FILE_BUFFERS lpTransmitBuffers, DWORD dwReserved) {
    int error = 0;
    Context* context = context_of(hSocket, &error);
    if (!context) {
        SetLastError(error);
        return FALSE;
    }
    LPFN_TRANSMITFILE lower = context->provider->transmitFile;
    if (!lower) {
        SetLastError(WSAEOPNOTSUPP);
        return FALSE;
    }
    if (!lpOverlapped)
        return lower(context->lower, hFile, nNumberOfBytesToWrite, nNumberOfBytesPerSend, nullptr, lpTransmitBuffers,
                     dwReserved);
    Request* request = new_request(context, lpOverlapped);
    if (!request) {
        SetLastError(WSAENOBUFS);
        return FALSE;
    }
    request->lowerOverlapped.Offset = lpOverlapped->Offset;
    request->lowerOverlapped.OffsetHigh = lpOverlapped->OffsetHigh;
    if (!lower(context->lower, hFile, nNumberOfBytesToWrite, nNumberOfBytesPerSend, &request->lowerOverlapped,
               lpTransmitBuffers, dwReserved) &&
        GetLastError() != WSA_IO_PENDING) {
        error = GetLastError();
        delete request;
        SetLastError(error);
        return FALSE;
    }
    SetLastError(WSA_IO_PENDING);
    return FALSE;
}

// ---- The 30 entry points ----

SOCKET WSPAPI PtSocket(int af, int type, int protocol, LPWSAPROTOCOL_INFOW lpProtocolInfo, GROUP g, DWORD dwFlags,
                       LPINT lpErrno) {
    count(eSocket);
    WSAPROTOCOL_INFOW nextInfo;
    int error = 0;
    Lower* lower = lower_for(lpProtocolInfo, nextInfo, error);
    if (!lower) {
        fail(lpErrno, error);
        return INVALID_SOCKET;
    }
    nextInfo.dwProviderReserved = lpProtocolInfo->dwProviderReserved;
    SOCKET lowerSocket = lower->procs.lpWSPSocket(af, type, protocol, &nextInfo, g, dwFlags, lpErrno);
    if (lowerSocket == INVALID_SOCKET) return INVALID_SOCKET;
    Context* context = new_context(lower, lowerSocket, lpProtocolInfo->dwCatalogEntryId, lpErrno);
    return context ? context->own : INVALID_SOCKET;
}

SOCKET WSPAPI PtAccept(SOCKET s, struct sockaddr* addr, LPINT addrlen, LPCONDITIONPROC lpfnCondition,
                       DWORD_PTR dwCallbackData, LPINT lpErrno) {
    count(eAccept);
    Context* listening = context_of(s, lpErrno);
    if (!listening) return INVALID_SOCKET;
    // With notifications on, the accepted socket's first ones wait until it has its context here.
    State& st = state();
    std::unique_lock<std::recursive_mutex> guard(st.lock, std::defer_lock);
    if (listening->window) guard.lock();
    SOCKET lowerSocket = listening->provider->procs.lpWSPAccept(listening->lower, addr, addrlen, lpfnCondition,
                                                                dwCallbackData, lpErrno);
    if (lowerSocket == INVALID_SOCKET) return INVALID_SOCKET;
    Context* context = new_context(listening->provider, lowerSocket, listening->chainEntryId, lpErrno);
    if (!context) return INVALID_SOCKET;
    context->window = listening->window;
    context->message = listening->message;
    return context->own;
}

INT WSPAPI PtAddressToString(LPSOCKADDR lpsaAddress, DWORD dwAddressLength, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                             LPWSTR lpszAddressString, LPDWORD lpdwAddressStringLength, LPINT lpErrno) {
    count(eAddressToString);
    WSAPROTOCOL_INFOW nextInfo;
    int error = 0;
    Lower* lower = lower_for(lpProtocolInfo, nextInfo, error);
    if (!lower) return fail(lpErrno, error);
    return lower->procs.lpWSPAddressToString(lpsaAddress, dwAddressLength, &nextInfo, lpszAddressString,
                                             lpdwAddressStringLength, lpErrno);
}

int WSPAPI PtAsyncSelect(SOCKET s, HWND hWnd, unsigned int wMsg, LONG lEvent, LPINT lpErrno) {
    count(eAsyncSelect);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    HWND window = ensure_window();
    if (!window) return fail(lpErrno, WSAENOBUFS);
    {
        std::lock_guard<std::recursive_mutex> guard(state().lock);
        context->window = lEvent ? hWnd : nullptr;
        context->message = wMsg;
    }
    return context->provider->procs.lpWSPAsyncSelect(context->lower, window, kNotifyMessage, lEvent, lpErrno);
}

int WSPAPI PtBind(SOCKET s, const struct sockaddr* name, int namelen, LPINT lpErrno) {
    count(eBind);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPBind(context->lower, name, namelen, lpErrno) : SOCKET_ERROR;
}

int WSPAPI PtCancelBlockingCall(LPINT lpErrno) {
    count(eCancelBlockingCall);
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.lowers.empty()) return fail(lpErrno, WSAEINVAL);
    return s.lowers.front()->procs.lpWSPCancelBlockingCall(lpErrno);
}

int WSPAPI PtCleanup(LPINT lpErrno) {
    count(eCleanup);
    State& s = state();
    std::unique_lock<std::recursive_mutex> guard(s.lock);
    if (s.startups == 0) return fail(lpErrno, WSANOTINITIALISED);
    if (--s.startups > 0) return 0;
    HANDLE worker = s.worker, windowThread = s.windowThread;
    HWND window = s.window;
    s.worker = s.windowThread = nullptr;
    s.window = nullptr;
    std::vector<Context*> contexts;
    contexts.swap(s.contexts);
    guard.unlock();
    if (worker) {
        PostQueuedCompletionStatus(s.port, 0, ~static_cast<ULONG_PTR>(0), nullptr);
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        CloseHandle(s.port);
        s.port = nullptr;
    }
    if (windowThread) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        WaitForSingleObject(windowThread, INFINITE);
        CloseHandle(windowThread);
    }
    for (Context* context : contexts) {
        int ignored = 0;
        context->provider->procs.lpWSPCloseSocket(context->lower, &ignored);
        s.upcalls.lpWPUCloseSocketHandle(context->own, &ignored);
        delete context;
    }
    guard.lock();
    for (auto& lower : s.lowers) {
        int ignored = 0;
        lower->procs.lpWSPCleanup(&ignored);
        FreeLibrary(lower->module);
    }
    s.lowers.clear();
    if (lpErrno) *lpErrno = 0;
    return 0;
}

int WSPAPI PtCloseSocket(SOCKET s, LPINT lpErrno) {
    count(eCloseSocket);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (context->provider->procs.lpWSPCloseSocket(context->lower, lpErrno) != 0) return SOCKET_ERROR;
    forget_context(context);
    state().upcalls.lpWPUCloseSocketHandle(context->own, lpErrno);
    delete context;
    return 0;
}

int WSPAPI PtConnect(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData, LPWSABUF lpCalleeData,
                     LPQOS lpSQOS, LPQOS lpGQOS, LPINT lpErrno) {
    count(eConnect);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPConnect(context->lower, name, namelen, lpCallerData, lpCalleeData,
                                                           lpSQOS, lpGQOS, lpErrno)
                   : SOCKET_ERROR;
}

int WSPAPI PtDuplicateSocket(SOCKET s, DWORD dwProcessId, LPWSAPROTOCOL_INFOW lpProtocolInfo, LPINT lpErrno) {
    count(eDuplicateSocket);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (context->provider->procs.lpWSPDuplicateSocket(context->lower, dwProcessId, lpProtocolInfo, lpErrno) != 0)
        return SOCKET_ERROR;
    // The duplicate is opened on this chain again; the lower provider's token goes with it.
    DWORD token = lpProtocolInfo->dwProviderReserved;
    for (const WSAPROTOCOL_INFOW& entry : catalog())
        if (entry.dwCatalogEntryId == context->chainEntryId) *lpProtocolInfo = entry;
    lpProtocolInfo->dwProviderReserved = token;
    return 0;
}

int WSPAPI PtEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents, LPINT lpErrno) {
    count(eEnumNetworkEvents);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPEnumNetworkEvents(context->lower, hEventObject, lpNetworkEvents, lpErrno)
                   : SOCKET_ERROR;
}

int WSPAPI PtEventSelect(SOCKET s, WSAEVENT hEventObject, LONG lNetworkEvents, LPINT lpErrno) {
    count(eEventSelect);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPEventSelect(context->lower, hEventObject, lNetworkEvents, lpErrno)
                   : SOCKET_ERROR;
}

BOOL WSPAPI PtGetOverlappedResult(SOCKET s, LPWSAOVERLAPPED lpOverlapped, LPDWORD lpcbTransfer, BOOL fWait,
                                  LPDWORD lpdwFlags, LPINT lpErrno) {
    count(eGetOverlappedResult);
    if (!context_of(s, lpErrno)) return FALSE;
    auto pending = [&] {
        return __atomic_load_n(&lpOverlapped->Internal, __ATOMIC_ACQUIRE) == WSS_OPERATION_IN_PROGRESS;
    };
    if (pending()) {
        if (!fWait) {
            fail(lpErrno, WSA_IO_INCOMPLETE);
            return FALSE;
        }
        HANDLE event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(lpOverlapped->hEvent) & ~static_cast<ULONG_PTR>(1));
        if (event) WaitForSingleObject(event, INFINITE);
        while (pending()) Sleep(1);
    }
    *lpcbTransfer = static_cast<DWORD>(lpOverlapped->InternalHigh);
    *lpdwFlags = lpOverlapped->OffsetHigh;
    if (lpOverlapped->Offset) {
        fail(lpErrno, static_cast<int>(lpOverlapped->Offset));
        return FALSE;
    }
    return TRUE;
}

int WSPAPI PtGetPeerName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno) {
    count(eGetPeerName);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPGetPeerName(context->lower, name, namelen, lpErrno) : SOCKET_ERROR;
}

int WSPAPI PtGetSockName(SOCKET s, struct sockaddr* name, LPINT namelen, LPINT lpErrno) {
    count(eGetSockName);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPGetSockName(context->lower, name, namelen, lpErrno) : SOCKET_ERROR;
}

int WSPAPI PtGetSockOpt(SOCKET s, int level, int optname, char* optval, LPINT optlen, LPINT lpErrno) {
    count(eGetSockOpt);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPGetSockOpt(context->lower, level, optname, optval, optlen, lpErrno)
                   : SOCKET_ERROR;
}

BOOL WSPAPI PtGetQOSByName(SOCKET s, LPWSABUF lpQOSName, LPQOS lpQOS, LPINT lpErrno) {
    count(eGetQOSByName);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPGetQOSByName(context->lower, lpQOSName, lpQOS, lpErrno) : FALSE;
}

int WSPAPI PtIoctl(SOCKET s, DWORD dwIoControlCode, LPVOID lpvInBuffer, DWORD cbInBuffer, LPVOID lpvOutBuffer,
                   DWORD cbOutBuffer, LPDWORD lpcbBytesReturned, LPWSAOVERLAPPED lpOverlapped,
                   LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT lpErrno) {
    count(eIoctl);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    DWORD returned = 0;
    if (context->provider->procs.lpWSPIoctl(context->lower, dwIoControlCode, lpvInBuffer, cbInBuffer, lpvOutBuffer,
                                            cbOutBuffer, &returned, nullptr, nullptr, nullptr, lpErrno) != 0)
        return SOCKET_ERROR;
    if (dwIoControlCode == SIO_GET_EXTENSION_FUNCTION_POINTER) {
        const GUID acceptEx = WSAID_ACCEPTEX, transmitFile = WSAID_TRANSMITFILE;
        void* replacement = nullptr;
        if (std::memcmp(lpvInBuffer, &acceptEx, sizeof(GUID)) == 0) {
            std::memcpy(&context->provider->acceptEx, lpvOutBuffer, sizeof(void*));
            replacement = reinterpret_cast<void*>(&PassthruAcceptEx);
        } else if (std::memcmp(lpvInBuffer, &transmitFile, sizeof(GUID)) == 0) {
            std::memcpy(&context->provider->transmitFile, lpvOutBuffer, sizeof(void*));
            replacement = reinterpret_cast<void*>(&PassthruTransmitFile);
        }
        if (replacement) std::memcpy(lpvOutBuffer, &replacement, sizeof(void*));
    }
    if (lpcbBytesReturned) *lpcbBytesReturned = returned;
    if (lpOverlapped) {
        Request request;
        request.overlapped = lpOverlapped;
        request.own = s;
        complete_to_application(&request, 0, returned, 0);
    }
    return 0;
}

SOCKET WSPAPI PtJoinLeaf(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                         LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS, DWORD dwFlags, LPINT lpErrno) {
    count(eJoinLeaf);
    Context* context = context_of(s, lpErrno);
    if (!context) return INVALID_SOCKET;
    SOCKET leaf = context->provider->procs.lpWSPJoinLeaf(context->lower, name, namelen, lpCallerData, lpCalleeData,
                                                         lpSQOS, lpGQOS, dwFlags, lpErrno);
    if (leaf == INVALID_SOCKET) return INVALID_SOCKET;
    if (leaf == context->lower) return s;
    Context* created = new_context(context->provider, leaf, context->chainEntryId, lpErrno);
    return created ? created->own : INVALID_SOCKET;
}

int WSPAPI PtListen(SOCKET s, int backlog, LPINT lpErrno) {
    count(eListen);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPListen(context->lower, backlog, lpErrno) : SOCKET_ERROR;
}

int WSPAPI PtRecv(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd, LPDWORD lpFlags,
                  LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE,
                  LPWSATHREADID, LPINT lpErrno) {
    count(eRecv);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (!lpOverlapped)
        return context->provider->procs.lpWSPRecv(context->lower, lpBuffers, dwBufferCount, lpNumberOfBytesRecvd,
                                                  lpFlags, nullptr, nullptr, nullptr, lpErrno);
    Request* request = new_request(context, lpOverlapped);
    if (!request) return fail(lpErrno, WSAENOBUFS);
    request->buffers.assign(lpBuffers, lpBuffers + dwBufferCount);
    request->flags = lpFlags ? *lpFlags : 0;
    DWORD bytes = 0;
    int error = 0;
    int result = context->provider->procs.lpWSPRecv(context->lower, request->buffers.data(), dwBufferCount, &bytes,
                                                    &request->flags, &request->lowerOverlapped, nullptr, nullptr, &error);
    return queued(request, result, error, lpErrno);
}

int WSPAPI PtRecvDisconnect(SOCKET s, LPWSABUF lpInboundDisconnectData, LPINT lpErrno) {
    count(eRecvDisconnect);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPRecvDisconnect(context->lower, lpInboundDisconnectData, lpErrno)
                   : SOCKET_ERROR;
}

int WSPAPI PtRecvFrom(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd, LPDWORD lpFlags,
                      struct sockaddr* lpFrom, LPINT lpFromlen, LPWSAOVERLAPPED lpOverlapped,
                      LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT lpErrno) {
    count(eRecvFrom);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (!lpOverlapped)
        return context->provider->procs.lpWSPRecvFrom(context->lower, lpBuffers, dwBufferCount, lpNumberOfBytesRecvd,
                                                      lpFlags, lpFrom, lpFromlen, nullptr, nullptr, nullptr, lpErrno);
    Request* request = new_request(context, lpOverlapped);
    if (!request) return fail(lpErrno, WSAENOBUFS);
    request->buffers.assign(lpBuffers, lpBuffers + dwBufferCount);
    request->flags = lpFlags ? *lpFlags : 0;
    DWORD bytes = 0;
    int error = 0;
    int result = context->provider->procs.lpWSPRecvFrom(context->lower, request->buffers.data(), dwBufferCount, &bytes,
                                                        &request->flags, lpFrom, lpFromlen, &request->lowerOverlapped,
                                                        nullptr, nullptr, &error);
    return queued(request, result, error, lpErrno);
}

int WSPAPI PtSelect(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const struct timeval* timeout,
                    LPINT lpErrno) {
    count(eSelect);
    // Each set goes down with the lower sockets and comes back with the application's handles.
    fd_set lowerSets[3];
    fd_set* sets[3] = {readfds, writefds, exceptfds};
    std::vector<std::pair<SOCKET, SOCKET>> pairs;
    Lower* lower = nullptr;
    for (int i = 0; i < 3; ++i) {
        FD_ZERO(&lowerSets[i]);
        if (!sets[i]) continue;
        if (sets[i]->fd_count > FD_SETSIZE) return fail(lpErrno, WSAENOBUFS);  // more than its own sets hold
        for (u_int j = 0; j < sets[i]->fd_count; ++j) {
            Context* context = context_of(sets[i]->fd_array[j], lpErrno);
            if (!context) return fail(lpErrno, WSAEINVAL);
            lower = context->provider;
            pairs.emplace_back(context->lower, context->own);
            lowerSets[i].fd_array[lowerSets[i].fd_count++] = context->lower;
        }
    }
    if (!lower) return fail(lpErrno, WSAEINVAL);
    int result = lower->procs.lpWSPSelect(nfds, sets[0] ? &lowerSets[0] : nullptr, sets[1] ? &lowerSets[1] : nullptr,
                                          sets[2] ? &lowerSets[2] : nullptr, timeout, lpErrno);
    if (result == SOCKET_ERROR) return SOCKET_ERROR;
    for (int i = 0; i < 3; ++i) {
        if (!sets[i]) continue;
        sets[i]->fd_count = 0;
        for (u_int j = 0; j < lowerSets[i].fd_count; ++j)
            for (const auto& pair : pairs)
                if (pair.first == lowerSets[i].fd_array[j]) {
                    sets[i]->fd_array[sets[i]->fd_count++] = pair.second;
                    break;
                }
    }
    return result;
}

int WSPAPI PtSend(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
                  LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE,
                  LPWSATHREADID, LPINT lpErrno) {
    count(eSend);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (!lpOverlapped)
        return context->provider->procs.lpWSPSend(context->lower, lpBuffers, dwBufferCount, lpNumberOfBytesSent, dwFlags,
                                                  nullptr, nullptr, nullptr, lpErrno);
    Request* request = new_request(context, lpOverlapped);
    if (!request) return fail(lpErrno, WSAENOBUFS);
    request->buffers.assign(lpBuffers, lpBuffers + dwBufferCount);
    DWORD bytes = 0;
    int error = 0;
    int result = context->provider->procs.lpWSPSend(context->lower, request->buffers.data(), dwBufferCount, &bytes,
                                                    dwFlags, &request->lowerOverlapped, nullptr, nullptr, &error);
    return queued(request, result, error, lpErrno);
}

int WSPAPI PtSendDisconnect(SOCKET s, LPWSABUF lpOutboundDisconnectData, LPINT lpErrno) {
    count(eSendDisconnect);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPSendDisconnect(context->lower, lpOutboundDisconnectData, lpErrno)
                   : SOCKET_ERROR;
}

int WSPAPI PtSendTo(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
                    const struct sockaddr* lpTo, int iTolen, LPWSAOVERLAPPED lpOverlapped,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT lpErrno) {
    count(eSendTo);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (!lpOverlapped)
        return context->provider->procs.lpWSPSendTo(context->lower, lpBuffers, dwBufferCount, lpNumberOfBytesSent,
                                                    dwFlags, lpTo, iTolen, nullptr, nullptr, nullptr, lpErrno);
    Request* request = new_request(context, lpOverlapped);
    if (!request) return fail(lpErrno, WSAENOBUFS);
    request->buffers.assign(lpBuffers, lpBuffers + dwBufferCount);
    DWORD bytes = 0;
    int error = 0;
    int result = context->provider->procs.lpWSPSendTo(context->lower, request->buffers.data(), dwBufferCount, &bytes,
                                                      dwFlags, lpTo, iTolen, &request->lowerOverlapped, nullptr, nullptr,
                                                      &error);
    return queued(request, result, error, lpErrno);
}

int WSPAPI PtSetSockOpt(SOCKET s, int level, int optname, const char* optval, int optlen, LPINT lpErrno) {
    count(eSetSockOpt);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPSetSockOpt(context->lower, level, optname, optval, optlen, lpErrno)
                   : SOCKET_ERROR;
}

int WSPAPI PtShutdown(SOCKET s, int how, LPINT lpErrno) {
    count(eShutdown);
    Context* context = context_of(s, lpErrno);
    return context ? context->provider->procs.lpWSPShutdown(context->lower, how, lpErrno) : SOCKET_ERROR;
}

INT WSPAPI PtStringToAddress(LPWSTR AddressString, INT AddressFamily, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                             LPSOCKADDR lpAddress, LPINT lpAddressLength, LPINT lpErrno) {
    count(eStringToAddress);
    WSAPROTOCOL_INFOW nextInfo;
    int error = 0;
    Lower* lower = lower_for(lpProtocolInfo, nextInfo, error);
    if (!lower) return fail(lpErrno, error);
    return lower->procs.lpWSPStringToAddress(AddressString, AddressFamily, &nextInfo, lpAddress, lpAddressLength,
                                             lpErrno);
}

}  // namespace

extern "C" long passthru_calls(int index) {
    return index >= 0 && index < kEntryPoints ? calls[index].load() : -1;
}

extern "C" int WSPAPI WSPStartup(WORD wVersionRequested, LPWSPDATA lpWSPData, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                                 WSPUPCALLTABLE UpcallTable, LPWSPPROC_TABLE lpProcTable) {
    (void)wVersionRequested;
    (void)lpProtocolInfo;
    State& s = state();
    {
        std::lock_guard<std::recursive_mutex> guard(s.lock);
        s.upcalls = UpcallTable;
        if (s.startups == 0) {
            HMODULE ws2 = GetModuleHandleA("ws2_32.dll");
            s.completeRequest = ws2 ? reinterpret_cast<LPWPUCOMPLETEOVERLAPPEDREQUEST>(reinterpret_cast<void*>(
                                          GetProcAddress(ws2, "WPUCompleteOverlappedRequest")))
                                    : nullptr;
            if (!s.completeRequest) return WSAVERNOTSUPPORTED;
            s.layeredEntryId = 0;
            for (const WSAPROTOCOL_INFOW& entry : catalog())
                if (same_guid(entry.ProviderId, kPassthruLayeredId)) s.layeredEntryId = entry.dwCatalogEntryId;
            if (!s.layeredEntryId) return WSASYSNOTREADY;
        }
        s.startups++;
    }
    lpWSPData->wVersion = MAKEWORD(2, 2);
    lpWSPData->wHighVersion = MAKEWORD(2, 2);
    lpWSPData->szDescription[0] = 0;
    WSPPROC_TABLE table = {
        PtAccept,      PtAddressToString, PtAsyncSelect,     PtBind,         PtCancelBlockingCall,
        PtCleanup,     PtCloseSocket,     PtConnect,         PtDuplicateSocket, PtEnumNetworkEvents,
        PtEventSelect, PtGetOverlappedResult, PtGetPeerName, PtGetSockName,  PtGetSockOpt,
        PtGetQOSByName, PtIoctl,          PtJoinLeaf,        PtListen,       PtRecv,
        PtRecvDisconnect, PtRecvFrom,     PtSelect,          PtSend,         PtSendDisconnect,
        PtSendTo,      PtSetSockOpt,      PtShutdown,        PtSocket,       PtStringToAddress,
    };
    *lpProcTable = table;
    return 0;
}
