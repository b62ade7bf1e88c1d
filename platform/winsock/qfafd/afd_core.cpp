// The base provider's process state: start-up and clean-up, the socket table, completions and
// network event reports, and the waits of blocking calls.
#include "afd.h"

#include "afd_engine.h"
#include "kernel_socket.h"
#include "overlapped_completion.h"

#include <cstring>

namespace qf::afd {
namespace {

// A thread's blocking state lives in a Win32 TLS slot (the depth of its blocking calls and a
// cancel bit), not in thread_local storage, which would not survive this library's unloading.
DWORD blockingSlot = TLS_OUT_OF_INDEXES;

ULONG_PTR blocking_state() {
    return blockingSlot == TLS_OUT_OF_INDEXES ? 0 : reinterpret_cast<ULONG_PTR>(TlsGetValue(blockingSlot));
}

void set_blocking_state(ULONG_PTR value) {
    if (blockingSlot != TLS_OUT_OF_INDEXES) TlsSetValue(blockingSlot, reinterpret_cast<LPVOID>(value));
}

struct ApcContext {
    LPWSAOVERLAPPED_COMPLETION_ROUTINE routine;
    DWORD error;
    DWORD bytes;
    LPWSAOVERLAPPED overlapped;
    DWORD flags;
};

void CALLBACK run_completion_routine(DWORD_PTR context) {
    std::unique_ptr<ApcContext> apc(reinterpret_cast<ApcContext*>(context));
    apc->routine(apc->error, apc->bytes, apc->overlapped, apc->flags);
}

int bit_index(LONG event) {
    for (int i = 0; i < FD_MAX_EVENTS; ++i)
        if (event == (1L << i)) return i;
    return 0;
}

}  // namespace

Provider& provider() {
    // Lives in the library: gone with it when the runtime unloads the provider.
    static Provider instance;
    return instance;
}

void watch_socket(BaseSocket& socket) {
    if (Engine* e = provider().engine.get()) e->update(socket);
}

void unwatch_socket(BaseSocket& socket) {
    if (Engine* e = provider().engine.get()) e->forget(socket);
}

bool offer_descriptor(int listener, int copy, uint32_t targetPid) {
    Engine* e = provider().engine.get();
    if (!e) return false;
    e->offer(listener, copy, targetPid);
    return true;
}

std::shared_ptr<BaseSocket> find_socket(SOCKET s) {
    Provider& p = provider();
    std::lock_guard<std::mutex> guard(p.lock);
    if (s >= p.table.size()) return nullptr;
    return p.table[s];
}

std::shared_ptr<BaseSocket> adopt_socket(int fd, const WSAPROTOCOL_INFOW& info, int& error) {
    auto socket = std::make_shared<BaseSocket>();
    socket->fd = fd;
    socket->handle = static_cast<SOCKET>(fd);
    socket->info = info;
    socket->info.dwProviderReserved = 0;
    Provider& p = provider();
    {
        std::lock_guard<std::mutex> guard(p.lock);
        socket->generation = p.nextGeneration++;
        if (static_cast<size_t>(fd) >= p.table.size()) p.table.resize(fd + 64);
        p.table[fd] = socket;
    }
    int upcallError = 0;
    SOCKET registered = p.upcalls.lpWPUModifyIFSHandle(info.dwCatalogEntryId, socket->handle, &upcallError);
    if (registered != socket->handle) {
        {
            std::lock_guard<std::mutex> guard(p.lock);
            if (p.table[fd] == socket) p.table[fd] = nullptr;
        }
        kn_close(fd);
        error = upcallError ? upcallError : WSAENOBUFS;
        return nullptr;
    }
    return socket;
}

void close_socket(const std::shared_ptr<BaseSocket>& socket) {
    std::deque<std::unique_ptr<PendingOp>> aborted;
    {
        std::lock_guard<std::mutex> guard(socket->lock);
        if (socket->closing) return;
        socket->closing = true;
        for (auto& op : socket->reads) aborted.push_back(std::move(op));
        for (auto& op : socket->writes) aborted.push_back(std::move(op));
        socket->reads.clear();
        socket->writes.clear();
        unwatch_socket(*socket);
        wake_blocked(*socket, ~0u);  // their calls end with WSAEINTR
        if (socket->deferredAccept >= 0) kn_close(socket->deferredAccept);
        socket->deferredAccept = -1;
    }
    for (auto& op : aborted)
        complete_request(op->completionHandle, op->overlapped, op->routine, op->hasThread ? &op->thread : nullptr,
                         WSA_OPERATION_ABORTED, static_cast<DWORD>(op->done), 0);
    Provider& p = provider();
    {
        std::lock_guard<std::mutex> guard(p.lock);
        if (socket->handle < p.table.size() && p.table[socket->handle] == socket) p.table[socket->handle] = nullptr;
    }
    // ws2_32 forgets the handle before the descriptor is closed, so a reused number is never mistaken.
    int error = 0;
    if (p.upcalls.lpWPUCloseSocketHandle(socket->handle, &error) != 0) kn_close(socket->fd);
}

void complete_request(SOCKET handle, LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                      const WSATHREADID* thread, DWORD error, DWORD bytes, DWORD flags, bool atOnce) {
    if (!overlapped) return;
    overlapped->Offset = error;
    overlapped->OffsetHigh = flags;
    if (routine) {
        overlapped->InternalHigh = bytes;
        __atomic_store_n(&overlapped->Internal, static_cast<ULONG_PTR>(error), __ATOMIC_RELEASE);
        auto* apc = new ApcContext{routine, error, bytes, overlapped, flags};
        int upcallError = 0;
        WSATHREADID target = thread ? *thread : WSATHREADID{};
        if (!thread || provider().upcalls.lpWPUQueueApc(&target, run_completion_routine,
                                                        reinterpret_cast<DWORD_PTR>(apc), &upcallError) != 0)
            delete apc;  // the caller's thread is gone: nobody is left to call back
    } else {
        qf::ws::complete_overlapped(handle, overlapped, error, bytes, atOnce);  // event, completion port
    }
    Provider& p = provider();
    std::lock_guard<std::mutex> guard(p.completionLock);
    p.completed.notify_all();
}

void signal_event(BaseSocket& socket, LONG event, int error) {
    socket.armed &= ~event;
    Provider& p = provider();
    int upcallError = 0;
    if (socket.selectEvent) {
        socket.recorded.lNetworkEvents |= event;
        socket.recorded.iErrorCode[bit_index(event)] = error;
        p.upcalls.lpWPUSetEvent(socket.selectEvent, &upcallError);
    } else if (socket.window) {
        p.upcalls.lpWPUPostMessage(socket.window, socket.message, socket.handle,
                                   WSAMAKESELECTREPLY(event, error));
    }
}

void settle_connect(BaseSocket& socket, bool fireEvents) {
    if (!socket.connecting || socket.closing) return;
    unsigned ready = 0;
    kn_wait(socket.fd, kWritable, 0, ready);
    if (!ready) return;
    int error = kn_pending_error(socket.fd);
    socket.connecting = false;
    if (error == 0) {
        socket.connected = true;
        socket.connectedAt = GetTickCount();
    } else {
        socket.connectError = error;
    }
    if (!fireEvents) return;
    LONG live = socket.selectMask & socket.armed;
    if (live & FD_CONNECT) signal_event(socket, FD_CONNECT, error);
    if (error == 0 && (live & FD_WRITE)) {
        socket.writeBlocked = false;
        signal_event(socket, FD_WRITE, 0);
    }
}

int wait_for(const std::shared_ptr<BaseSocket>& socket, unsigned events, DWORD timeoutMs) {
    return block_on({SocketWait{socket, events}}, timeoutMs ? timeoutMs : INFINITE);
}

void wake_blocked(BaseSocket& socket, unsigned events) {
    for (BlockedWait* wait : socket.blocked) {
        // A hang-up or an error ends every wait: the call looks again and reports it.
        if (wait->woken || !(events & (wait->events | kHangup | kError))) continue;
        wait->woken = true;
        SetEvent(wait->wake);
    }
}

int block_on(const std::vector<SocketWait>& sockets, DWORD timeoutMs) {
    BlockingScope scope;
    HANDLE wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!wake) return WSAENOBUFS;
    std::vector<BlockedWait> waits(sockets.size());
    size_t registered = 0;
    int result = 0;
    for (; registered < sockets.size(); ++registered) {
        BaseSocket& socket = *sockets[registered].socket;
        std::lock_guard<std::mutex> guard(socket.lock);
        if (socket.closing) {
            result = WSAEINTR;
            break;
        }
        waits[registered].events = sockets[registered].events;
        waits[registered].wake = wake;
        socket.blocked.push_back(&waits[registered]);
        watch_socket(socket);  // a socket that is ready already is reported at once
    }
    DWORD start = GetTickCount();
    while (!result) {
        if (BlockingScope::cancelled()) {
            result = WSAEINTR;
            break;
        }
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs) {
                result = WSAETIMEDOUT;
                break;
            }
            remaining = timeoutMs - elapsed;
        }
        DWORD outcome = WaitForSingleObjectEx(wake, remaining, TRUE);
        if (outcome == WAIT_OBJECT_0) break;
        if (outcome != WAIT_IO_COMPLETION && outcome != WAIT_TIMEOUT) result = WSASYSCALLFAILURE;
        // After APCs ran the wait goes on, unless one of them cancelled the call.
    }
    for (size_t i = 0; i < registered; ++i) {
        BaseSocket& socket = *sockets[i].socket;
        std::lock_guard<std::mutex> guard(socket.lock);
        auto& blocked = socket.blocked;
        for (auto it = blocked.begin(); it != blocked.end(); ++it)
            if (*it == &waits[i]) {
                blocked.erase(it);
                break;
            }
        if (!result && socket.closing) result = WSAEINTR;
    }
    CloseHandle(wake);
    return result;
}

int check_address(const struct sockaddr* name, int namelen) {
    if (!name || namelen < static_cast<int>(sizeof(sockaddr_in))) return WSAEFAULT;
    if (name->sa_family != AF_INET) return WSAEAFNOSUPPORT;
    return 0;
}

BlockingScope::BlockingScope() {
    ULONG_PTR state = blocking_state();
    if ((state >> 1) == 0) state = 0;  // the outermost blocking call starts without a cancellation
    set_blocking_state(state + 2);
}
BlockingScope::~BlockingScope() { set_blocking_state(blocking_state() - 2); }
bool BlockingScope::cancel() {
    ULONG_PTR state = blocking_state();
    if ((state >> 1) == 0) return false;
    set_blocking_state(state | 1);
    return true;
}
bool BlockingScope::cancelled() { return blocking_state() & 1; }

int WSPAPI WSPCleanup(LPINT lpErrno) {
    Provider& p = provider();
    std::vector<std::shared_ptr<BaseSocket>> sockets;
    {
        std::lock_guard<std::mutex> guard(p.lock);
        if (p.startups == 0) return fail(lpErrno, WSANOTINITIALISED);
        if (--p.startups > 0) {
            if (lpErrno) *lpErrno = 0;
            return 0;
        }
        for (auto& socket : p.table)
            if (socket) sockets.push_back(socket);
    }
    for (auto& socket : sockets) close_socket(socket);
    std::unique_ptr<Engine> stopped;
    {
        std::lock_guard<std::mutex> guard(p.lock);
        stopped = std::move(p.engine);
        p.table.clear();
    }
    if (stopped) stopped->stop();
    {
        std::lock_guard<std::mutex> guard(p.lock);
        if (p.startups == 0 && blockingSlot != TLS_OUT_OF_INDEXES) {
            TlsFree(blockingSlot);
            blockingSlot = TLS_OUT_OF_INDEXES;
        }
    }
    if (lpErrno) *lpErrno = 0;
    return 0;
}

int WSPAPI WSPCancelBlockingCall(LPINT lpErrno) {
    if (!BlockingScope::cancel()) return fail(lpErrno, WSAEINVAL);
    return 0;
}

}  // namespace qf::afd

using namespace qf::afd;

static_assert(SOL_SOCKET == 0xffff && SO_LINGER == 0x0080 && SO_ERROR == 0x1007, "numbers of kernel_socket.cpp");
static_assert(MSG_OOB == 1 && MSG_PEEK == 2 && MSG_DONTROUTE == 4 && MSG_WAITALL == 8 && MSG_PARTIAL == 0x8000,
              "numbers of kernel_socket.cpp");

extern "C" int WSPAPI WSPStartup(WORD wVersionRequested, LPWSPDATA lpWSPData, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                                 WSPUPCALLTABLE UpcallTable, LPWSPPROC_TABLE lpProcTable) {
    (void)lpProtocolInfo;
    if (!lpWSPData || !lpProcTable) return WSAEFAULT;
    lpWSPData->wVersion = MAKEWORD(2, 2);
    lpWSPData->wHighVersion = MAKEWORD(2, 2);
    const char description[] = "Quillfence TCP/IP base provider";
    size_t i = 0;
    for (; description[i] && i < WSPDESCRIPTION_LEN; ++i) lpWSPData->szDescription[i] = description[i];
    lpWSPData->szDescription[i] = 0;
    if (LOBYTE(wVersionRequested) < 2) return WSAVERNOTSUPPORTED;
    Provider& p = provider();
    {
        std::lock_guard<std::mutex> guard(p.lock);
        if (p.startups == 0) {
            p.upcalls = UpcallTable;
            if (blockingSlot == TLS_OUT_OF_INDEXES) blockingSlot = TlsAlloc();
            auto started = std::make_unique<Engine>();
            if (!started->start()) return WSASYSNOTREADY;
            p.engine = std::move(started);
        }
        p.startups++;
    }
    WSPPROC_TABLE table = {
        WSPAccept,       WSPAddressToString,   WSPAsyncSelect,        WSPBind,          WSPCancelBlockingCall,
        WSPCleanup,      WSPCloseSocket,       WSPConnect,            WSPDuplicateSocket, WSPEnumNetworkEvents,
        WSPEventSelect,  WSPGetOverlappedResult, WSPGetPeerName,      WSPGetSockName,   WSPGetSockOpt,
        WSPGetQOSByName, WSPIoctl,             WSPJoinLeaf,           WSPListen,        WSPRecv,
        WSPRecvDisconnect, WSPRecvFrom,        WSPSelect,             WSPSend,          WSPSendDisconnect,
        WSPSendTo,       WSPSetSockOpt,        WSPShutdown,           WSPSocket,        WSPStringToAddress,
    };
    *lpProcTable = table;
    return 0;
}
