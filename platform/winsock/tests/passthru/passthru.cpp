// A layered provider that only forwards: every socket it hands out is a handle of its own (made by
// WPUCreateSocketHandle) over the next provider's socket. Overlapped operations go down with the
// provider's own overlapped structures and come back through its completion port and worker
// thread, which completes them to the application with WPUCompleteOverlappedRequest, or with an
// APC (WPUQueueApc) to the caller's thread when the application gave a completion routine.
// WSPAsyncSelect notifications come back through its hidden window (message 0x464, on a thread of
// its own) and are reposted with the application's handle. Its worker and window threads each hold
// a reference on this library and end with FreeLibraryAndExitThread, so the library may be
// unloaded by the last of them, after the runtime has let it go.
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
constexpr char kOwnLibrary[] = "QFPASSTHRU.DLL";  // module names are compared without regard to case
constexpr char kWindowClass[] = "Passthru Async Window";
constexpr ULONG_PTR kStopKey = 0xFFFFFFFF;
std::atomic<LONG> calls[kEntryPoints];

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
    std::atomic<int> outstanding{0};  // overlapped requests not yet completed to the application
};

struct Request {
    WSAOVERLAPPED lowerOverlapped{};  // first: a completion's overlapped pointer leads back to the request
    LPWSAOVERLAPPED overlapped = nullptr;
    LPWSAOVERLAPPED_COMPLETION_ROUTINE routine = nullptr;  // the application's, or null
    WSATHREADID thread{};                                   // the caller's thread, for the routine's APC
    SOCKET own = INVALID_SOCKET;
    SOCKET lower = INVALID_SOCKET;
    Lower* provider = nullptr;
    Context* context = nullptr;  // counts the request as outstanding until it is completed
    std::vector<WSABUF> buffers;
    DWORD flags = 0;
};

// The overlapped worker: one thread on a completion port of its own. The port and the structure
// go with the thread; clean-up waits for drained (its own event) only.
struct Worker {
    HANDLE port = nullptr;
    HANDLE drained = nullptr;  // set once the worker has taken its last packet
    HMODULE library = nullptr;  // the worker thread's reference on this library
    WSATHREADID thread{};
    // The upcalls the thread makes for itself, copied when it is made: a later WSPStartup writes
    // the state's table while a worker of an earlier one may still be ending.
    WSPUPCALLTABLE upcalls{};
};

struct State {
    std::recursive_mutex lock;
    int startups = 0;
    WSPUPCALLTABLE upcalls{};
    DWORD layeredEntryId = 0;
    std::vector<std::unique_ptr<Lower>> lowers;
    std::vector<Context*> contexts;
    Worker* worker = nullptr;
    HWND window = nullptr;
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

// On the caller's thread, in its alertable wait: the routine that the completion left in Internal.
void CALLBACK run_routine(DWORD_PTR context) {
    auto* overlapped = reinterpret_cast<LPWSAOVERLAPPED>(context);
    auto routine = reinterpret_cast<LPWSAOVERLAPPED_COMPLETION_ROUTINE>(overlapped->Internal);
    overlapped->Internal = overlapped->Offset;
    routine(overlapped->Offset, static_cast<DWORD>(overlapped->InternalHigh), overlapped, overlapped->OffsetHigh);
}

// The application learns of the outcome: InternalHigh bytes, Offset error, OffsetHigh flags.
void complete_to_application(Request* request, DWORD error, DWORD bytes, DWORD flags) {
    LPWSAOVERLAPPED overlapped = request->overlapped;
    overlapped->Offset = error;
    overlapped->OffsetHigh = flags;
    int ignored = 0;
    if (request->routine) {
        overlapped->InternalHigh = bytes;
        __atomic_store_n(&overlapped->Internal, reinterpret_cast<ULONG_PTR>(request->routine), __ATOMIC_RELEASE);
        state().upcalls.lpWPUQueueApc(&request->thread, run_routine, reinterpret_cast<DWORD_PTR>(overlapped),
                                      &ignored);
        return;
    }
    state().completeRequest(request->own, overlapped, error, bytes, &ignored);  // event, completion port
}

DWORD WINAPI worker_main(LPVOID parameter) {
    auto* worker = static_cast<Worker*>(parameter);
    int error = 0;
    worker->upcalls.lpWPUOpenCurrentThread(&worker->thread, &error);
    for (;;) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED overlapped = nullptr;
        BOOL ok = GetQueuedCompletionStatus(worker->port, &bytes, &key, &overlapped, INFINITE);
        if (key == kStopKey) break;
        if (!overlapped) {
            if (!ok && GetLastError() != WAIT_TIMEOUT) break;  // the port is gone
            continue;
        }
        auto* request = reinterpret_cast<Request*>(overlapped);
        DWORD flags = 0;
        error = 0;
        if (!request->provider->procs.lpWSPGetOverlappedResult(request->lower, &request->lowerOverlapped, &bytes, FALSE,
                                                                &flags, &error))
            if (!error) error = WSASYSCALLFAILURE;
        complete_to_application(request, static_cast<DWORD>(error), bytes, flags);
        request->context->outstanding--;  // the last use of the context
        delete request;
    }
    SetEvent(worker->drained);  // the last use of the event, which clean-up closes
    worker->upcalls.lpWPUCloseThread(&worker->thread, &error);
    CloseHandle(worker->port);
    HMODULE library = worker->library;
    delete worker;
    FreeLibraryAndExitThread(library, 0);
    return 0;
}

Worker* ensure_worker() {
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.worker) return s.worker;
    auto worker = std::make_unique<Worker>();
    worker->upcalls = s.upcalls;
    worker->port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    worker->drained = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // Taken here, while the runtime is known to hold the library, and given back by the thread.
    worker->library = LoadLibraryA(kOwnLibrary);
    HANDLE thread = worker->port && worker->drained && worker->library
                        ? CreateThread(nullptr, 0, worker_main, worker.get(), 0, nullptr)
                        : nullptr;
    if (!thread) {
        if (worker->port) CloseHandle(worker->port);
        if (worker->drained) CloseHandle(worker->drained);
        if (worker->library) FreeLibrary(worker->library);
        return nullptr;
    }
    CloseHandle(thread);  // never waited on by its handle
    s.worker = worker.release();
    return s.worker;
}

Request* new_request(Context* context, LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                     LPWSATHREADID thread) {
    if (routine && !thread) return nullptr;
    Worker* worker = ensure_worker();
    if (!worker) return nullptr;
    State& s = state();
    {
        std::lock_guard<std::recursive_mutex> guard(s.lock);
        if (!context->onPort) {
            CreateIoCompletionPort(reinterpret_cast<HANDLE>(context->lower), worker->port,
                                   reinterpret_cast<ULONG_PTR>(context), 0);
            context->onPort = true;
        }
    }
    auto* request = new Request;
    request->overlapped = overlapped;
    request->routine = routine;
    if (thread) request->thread = *thread;  // a copy: the caller's structure may be gone at completion
    request->own = context->own;
    request->lower = context->lower;
    request->provider = context->provider;
    request->context = context;
    context->outstanding++;
    overlapped->InternalHigh = 0;
    overlapped->Internal = WSS_OPERATION_IN_PROGRESS;
    return request;
}

// A request that the lower provider refused at once: it will never complete.
void drop(Request* request) {
    request->context->outstanding--;
    delete request;
}

// Waits until the requests of a context whose lower socket was closed have come back through the
// worker and been completed to the application: the completion upcall takes only a handle that is
// still open, so the application's handle is closed after them. The lower provider completes
// aborted requests as it closes; the deadline only keeps a faulty one from hanging the close.
void drain(Context* context) {
    DWORD start = GetTickCount();
    while (context->outstanding.load() > 0 && GetTickCount() - start < 10000) Sleep(1);
}

// The lower call has been made: pending or done, the completion comes through the port.
int queued(Request* request, int result, int error, LPINT lpErrno) {
    if (result != 0 && error != WSA_IO_PENDING) {
        drop(request);
        return fail(lpErrno, error);
    }
    return fail(lpErrno, WSA_IO_PENDING);
}

// ---- The hidden window that relays WSPAsyncSelect notifications ----

LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* s = reinterpret_cast<State*>(GetWindowLongPtrA(hwnd, 0));
    if (!s) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == kNotifyMessage) {
        std::lock_guard<std::recursive_mutex> guard(s->lock);
        for (Context* context : s->contexts)
            if (context->lower == static_cast<SOCKET>(wParam) && context->window) {
                s->upcalls.lpWPUPostMessage(context->window, context->message, context->own, lParam);
                break;
            }
        return 0;  // handled, whether or not the socket is still there
    }
    if (message == WM_CLOSE) {
        DestroyWindow(hwnd);  // only this thread may
        return 0;
    }
    if (message == WM_DESTROY) {
        SetWindowLongPtrA(hwnd, 0, 0);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

struct WindowStart {
    HMODULE library;  // the window thread's reference on this library, and the class's instance
    HANDLE ready;
    HWND window;
};

DWORD WINAPI window_main(LPVOID parameter) {
    auto* start = static_cast<WindowStart*>(parameter);
    HMODULE library = start->library;
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = window_proc;
    windowClass.cbWndExtra = 4;  // the state's address, in the 32-bit layout of the window's data
    windowClass.hInstance = library;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    // After a clean-up and a new start within one load of the library the class is still there.
    HWND window = nullptr;
    if (RegisterClassA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        window = CreateWindowExA(0, kWindowClass, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, nullptr, nullptr, library, nullptr);
    if (window) SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(&state()));
    start->window = window;
    SetEvent(start->ready);  // start is the creator's from here on
    if (window) {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    FreeLibraryAndExitThread(library, 0);
    return 0;
}

HWND ensure_window() {
    State& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.window) return s.window;
    WindowStart start{LoadLibraryA(kOwnLibrary), CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr};
    HANDLE thread = start.library && start.ready ? CreateThread(nullptr, 0, window_main, &start, 0, nullptr) : nullptr;
    if (thread) {
        WaitForSingleObject(start.ready, INFINITE);  // the thread sets it whatever becomes of the window
        CloseHandle(thread);
        s.window = start.window;
    } else if (start.library) {
        FreeLibrary(start.library);
    }
    if (start.ready) CloseHandle(start.ready);
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
    Request* request = new_request(listening, lpOverlapped, nullptr, nullptr);
    if (!request) {
        SetLastError(WSAENOBUFS);
        return FALSE;
    }
    DWORD received = 0;
    if (!lower(listening->lower, accepting->lower, lpOutputBuffer, dwReceiveDataLength, dwLocalAddressLength,
               dwRemoteAddressLength, &received, &request->lowerOverlapped) &&
        GetLastError() != WSA_IO_PENDING) {
        error = GetLastError();
        drop(request);
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
    Request* request = new_request(context, lpOverlapped, nullptr, nullptr);
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
        drop(request);
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
    Worker* worker = s.worker;
    HWND window = s.window;
    s.worker = nullptr;
    s.window = nullptr;
    std::vector<Context*> contexts;
    contexts.swap(s.contexts);
    guard.unlock();
    // The lower sockets first: their aborted operations reach the worker ahead of its stop packet,
    // and are completed to the application before its handles are closed.
    for (Context* context : contexts) {
        int ignored = 0;
        context->provider->procs.lpWSPCloseSocket(context->lower, &ignored);
    }
    if (worker) {
        // The worker ends by itself and lets the library go as it does; what is waited for here is
        // only that it no longer calls the next providers, which are cleaned up below.
        static WSAOVERLAPPED stopPacket;
        HANDLE drained = worker->drained;
        PostQueuedCompletionStatus(worker->port, 0, kStopKey, &stopPacket);
        WaitForSingleObject(drained, INFINITE);
        CloseHandle(drained);
    }
    for (Context* context : contexts) {
        int ignored = 0;
        s.upcalls.lpWPUCloseSocketHandle(context->own, &ignored);
        delete context;
    }
    // Only the window's own thread may destroy it: the request goes to it as a message.
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
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
    drain(context);
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
                   LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId, LPINT lpErrno) {
    count(eIoctl);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (lpOverlapped && lpCompletionRoutine && !lpThreadId) return fail(lpErrno, WSAEINVAL);
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
        // Done at once, and reported as an overlapped request is: through the application's
        // completion routine (queued here to its thread), else the completion upcall.
        Request request;
        request.overlapped = lpOverlapped;
        request.routine = lpCompletionRoutine;
        if (lpThreadId) request.thread = *lpThreadId;
        request.own = s;
        lpOverlapped->Internal = WSS_OPERATION_IN_PROGRESS;
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
                  LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine,
                  LPWSATHREADID lpThreadId, LPINT lpErrno) {
    count(eRecv);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (!lpOverlapped)
        return context->provider->procs.lpWSPRecv(context->lower, lpBuffers, dwBufferCount, lpNumberOfBytesRecvd,
                                                  lpFlags, nullptr, nullptr, nullptr, lpErrno);
    Request* request = new_request(context, lpOverlapped, lpCompletionRoutine, lpThreadId);
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
                      LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId,
                      LPINT lpErrno) {
    count(eRecvFrom);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (!lpOverlapped)
        return context->provider->procs.lpWSPRecvFrom(context->lower, lpBuffers, dwBufferCount, lpNumberOfBytesRecvd,
                                                      lpFlags, lpFrom, lpFromlen, nullptr, nullptr, nullptr, lpErrno);
    Request* request = new_request(context, lpOverlapped, lpCompletionRoutine, lpThreadId);
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
                  LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine,
                  LPWSATHREADID lpThreadId, LPINT lpErrno) {
    count(eSend);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (!lpOverlapped)
        return context->provider->procs.lpWSPSend(context->lower, lpBuffers, dwBufferCount, lpNumberOfBytesSent, dwFlags,
                                                  nullptr, nullptr, nullptr, lpErrno);
    Request* request = new_request(context, lpOverlapped, lpCompletionRoutine, lpThreadId);
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
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId,
                    LPINT lpErrno) {
    count(eSendTo);
    Context* context = context_of(s, lpErrno);
    if (!context) return SOCKET_ERROR;
    if (!lpOverlapped)
        return context->provider->procs.lpWSPSendTo(context->lower, lpBuffers, dwBufferCount, lpNumberOfBytesSent,
                                                    dwFlags, lpTo, iTolen, nullptr, nullptr, nullptr, lpErrno);
    Request* request = new_request(context, lpOverlapped, lpCompletionRoutine, lpThreadId);
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

extern "C" LONG passthru_calls(int index) {
    return index >= 0 && index < kEntryPoints ? calls[index].load() : -1;
}

extern "C" const WSPUPCALLTABLE* passthru_upcalls() { return &state().upcalls; }

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
