// The base provider's state (Windows side): its sockets, their selections and pending overlapped
// operations, and the engine thread that completes them.
#pragma once

#include <mswsock.h>
#include <ws2spi.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace qf::afd {

class Engine;

enum class OpKind { Recv, Send, AcceptEx, AcceptExData, TransmitFile };

struct BaseSocket;

// A thread blocked in a call on the socket (recv, accept, connect, select, a send on a full
// buffer): the engine sets wake when one of the kernel events may have come, a close sets it too.
struct BlockedWait {
    unsigned events = 0;
    HANDLE wake = nullptr;
    bool woken = false;
};

// What an overlapped TransmitFile has still to send: its head, then the file a chunk at a time,
// then its tail (head and tail are copies: the caller may free its buffers once the call returns).
struct Transmission {
    std::vector<char> pending;  // the piece being sent
    size_t offset = 0;          // how much of it has gone
    HANDLE file = nullptr;
    bool wholeFile = true;      // nNumberOfBytesToWrite 0: up to the end of the file
    DWORD remaining = 0;        // otherwise: bytes of the file still to send
    DWORD chunk = 0;
    bool fileDone = false;
    std::vector<char> tail;
    bool tailQueued = false;
    DWORD flags = 0;            // TF_DISCONNECT, TF_REUSE_SOCKET
};

// One overlapped operation waiting for its socket.
struct PendingOp {
    OpKind kind = OpKind::Recv;
    DWORD issuer = GetCurrentThreadId();       // the thread that asked for it (CancelIo)
    SOCKET completionHandle = INVALID_SOCKET;  // the handle the completion is reported on
    LPWSAOVERLAPPED overlapped = nullptr;
    LPWSAOVERLAPPED_COMPLETION_ROUTINE routine = nullptr;
    WSATHREADID thread{};
    bool hasThread = false;
    std::vector<WSABUF> buffers;  // a copy: the caller may free its array once the call returns
    DWORD flags = 0;
    struct sockaddr* from = nullptr;
    LPINT fromLength = nullptr;
    std::vector<BYTE> to;  // send-to: a copy of the address
    size_t done = 0;       // stream send: bytes sent so far
    // AcceptEx
    std::shared_ptr<BaseSocket> acceptSocket;
    BYTE* output = nullptr;
    DWORD receiveLength = 0, localLength = 0, remoteLength = 0;
    std::unique_ptr<Transmission> transmission;
};

struct BaseSocket {
    SOCKET handle = INVALID_SOCKET;
    int fd = -1;
    uint32_t generation = 0;
    WSAPROTOCOL_INFOW info{};

    std::mutex lock;  // guards everything below
    bool nonBlocking = false;
    bool listening = false;
    bool connecting = false;
    bool connected = false;
    bool closing = false;
    bool sendShutdown = false;     // shutdown(SD_SEND) was called: sends fail with WSAESHUTDOWN
    bool receiveShutdown = false;  // shutdown(SD_RECEIVE) was called: receives fail likewise
    bool endSeen = false;       // the peer's end of stream or an error: no more data will come
    bool closeWaitsForData = false;  // the peer closed, FD_CLOSE waits until the data is read
    int connectError = 0;       // the outcome of a failed connection, reported once by SO_ERROR
    int resetError = 0;         // the connection was reset or aborted: every later receive says so
    DWORD receiveTimeout = 0, sendTimeout = 0;  // milliseconds, 0: none
    ULONGLONG connectedAt = 0;
    BOOL exclusiveAddressUse = FALSE;
    BOOL conditionalAccept = FALSE;
    int blockedCalls = 0;
    // SO_SNDBUF / SO_RCVBUF as the application set them (-1: never set); the kernel reports its
    // own doubled and floored figure, Winsock the value set.
    int sendBufferSize = -1, receiveBufferSize = -1;
    // The peer's address, kept at shutdown: getpeername goes on answering after the kernel has
    // let go of the connection.
    bool peerKnown = false;
    sockaddr_in peerName{};

    // WSPEventSelect / WSPAsyncSelect (one replaces the other).
    WSAEVENT selectEvent = nullptr;
    HWND window = nullptr;
    UINT message = 0;
    LONG selectMask = 0;
    LONG armed = 0;  // events that may be reported again
    bool writeBlocked = false;
    WSANETWORKEVENTS recorded{};

    std::deque<std::unique_ptr<PendingOp>> reads, writes;
    int deferredAccept = -1;  // a connection the condition function deferred
    std::vector<BlockedWait*> blocked;

    bool stream() const { return info.iSocketType == SOCK_STREAM; }
};

struct Provider {
    std::mutex lock;  // start count, socket table
    int startups = 0;
    WSPUPCALLTABLE upcalls{};
    std::vector<std::shared_ptr<BaseSocket>> table;  // indexed by descriptor
    uint32_t nextGeneration = 1;
    std::unique_ptr<Engine> engine;

    std::mutex completionLock;  // for waits on overlapped results that have no event
    std::condition_variable completed;
};

Provider& provider();
std::shared_ptr<BaseSocket> find_socket(SOCKET s);
// Registers a new kernel socket (WPUModifyIFSHandle) and returns its state, or null with error.
std::shared_ptr<BaseSocket> adopt_socket(int fd, const WSAPROTOCOL_INFOW& info, int& error);
// Unregisters and closes (WPUCloseSocketHandle), aborting pending operations.
void close_socket(const std::shared_ptr<BaseSocket>& socket);
// Asks the engine (when the provider is running) to watch the socket anew after its operations or
// selection changed (lock held), or to stop watching it.
void watch_socket(BaseSocket& socket);
void unwatch_socket(BaseSocket& socket);
// Hands a descriptor offer for process targetPid to the engine; false when the provider is not running.
bool offer_descriptor(int listener, int copy, uint32_t targetPid);

// Reports an overlapped operation as done: the completion routine through an APC to the
// caller's thread, or else the event and the completion port of the handle. atOnce: the operation
// succeeds within its call (the call returns success), for a handle that skips the port then.
void complete_request(SOCKET handle, LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                      const WSATHREADID* thread, DWORD error, DWORD bytes, DWORD flags, bool atOnce = false);

// Reports a network event to the socket's event or window (and disarms it). Lock held.
void signal_event(BaseSocket& socket, LONG event, int error);
// Settles a connection in progress once the kernel has its outcome. Lock held.
void settle_connect(BaseSocket& socket, bool fireEvents);

// Runs op(descriptor) with the socket's lock held, unless the socket is being closed (WSAENOTSOCK):
// once another thread has closed it, its descriptor number may already name another socket.
template <class Op>
int on_descriptor(BaseSocket& socket, Op op) {
    std::lock_guard<std::mutex> guard(socket.lock);
    if (socket.closing) return WSAENOTSOCK;
    return op(socket.fd);
}

// Waits, with the socket unlocked, until one of the kernel events is ready (timeoutMs 0: no limit).
// Returns 0, WSAETIMEDOUT, or WSAEINTR when the socket is closed or the call is cancelled meanwhile.
int wait_for(const std::shared_ptr<BaseSocket>& socket, unsigned events, DWORD timeoutMs);

// The wait of every blocking call: until one of the sockets may have one of its events, is closed,
// or timeoutMs (INFINITE: no limit) has passed. The wait is alertable, as Winsock's blocking calls
// are: APCs queued to the thread run while it blocks, and one that cancels the blocking call
// (WSACancelBlockingCall) ends it. Returns 0 (look again), WSAETIMEDOUT, WSAEINTR (closed or
// cancelled) or another error. The sockets are unlocked.
struct SocketWait {
    std::shared_ptr<BaseSocket> socket;
    unsigned events;
};
int block_on(const std::vector<SocketWait>& sockets, DWORD timeoutMs);
// Sets the events of the threads blocked on the socket that wait for any of these events (lock held).
void wake_blocked(BaseSocket& socket, unsigned events);

// Sockaddr checks on the Windows side.
int check_address(const struct sockaddr* name, int namelen);

class BlockingScope {
public:
    BlockingScope();
    ~BlockingScope();
    static bool cancel();  // WSPCancelBlockingCall: true when the thread was in a blocking call
    static bool cancelled();
};

// Extension functions handed out through SIO_GET_EXTENSION_FUNCTION_POINTER.
BOOL PASCAL AcceptExBase(SOCKET sListenSocket, SOCKET sAcceptSocket, PVOID lpOutputBuffer, DWORD dwReceiveDataLength,
                         DWORD dwLocalAddressLength, DWORD dwRemoteAddressLength, LPDWORD lpdwBytesReceived,
                         LPOVERLAPPED lpOverlapped);
VOID PASCAL GetAcceptExSockaddrsBase(PVOID lpOutputBuffer, DWORD dwReceiveDataLength, DWORD dwLocalAddressLength,
                                     DWORD dwRemoteAddressLength, struct sockaddr** LocalSockaddr,
                                     LPINT LocalSockaddrLength, struct sockaddr** RemoteSockaddr,
                                     LPINT RemoteSockaddrLength);
BOOL PASCAL TransmitFileBase(SOCKET hSocket, HANDLE hFile, DWORD nNumberOfBytesToWrite, DWORD nNumberOfBytesPerSend,
                             LPOVERLAPPED lpOverlapped, LPTRANSMIT_FILE_BUFFERS lpTransmitBuffers, DWORD dwReserved);

BOOL PASCAL ConnectExBase(SOCKET s, const struct sockaddr* name, int namelen, PVOID lpSendBuffer,
                          DWORD dwSendDataLength, LPDWORD lpdwBytesSent, LPOVERLAPPED lpOverlapped);
BOOL PASCAL DisconnectExBase(SOCKET s, LPOVERLAPPED lpOverlapped, DWORD dwFlags, DWORD dwReserved);
INT PASCAL WSARecvMsgBase(SOCKET s, LPWSAMSG lpMsg, LPDWORD lpdwNumberOfBytesRecvd, LPWSAOVERLAPPED lpOverlapped,
                          LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine);

// Writes the two addresses of an accepted connection into an AcceptEx output buffer.
void write_accept_addresses(BYTE* output, DWORD receiveLength, DWORD localLength, DWORD remoteLength, int fd);

// The WSP entry points (afd_*.cpp).
SOCKET WSPAPI WSPAccept(SOCKET, struct sockaddr*, LPINT, LPCONDITIONPROC, DWORD_PTR, LPINT);
INT WSPAPI WSPAddressToString(LPSOCKADDR, DWORD, LPWSAPROTOCOL_INFOW, LPWSTR, LPDWORD, LPINT);
int WSPAPI WSPAsyncSelect(SOCKET, HWND, unsigned int, LONG, LPINT);
int WSPAPI WSPBind(SOCKET, const struct sockaddr*, int, LPINT);
int WSPAPI WSPCancelBlockingCall(LPINT);
int WSPAPI WSPCleanup(LPINT);
int WSPAPI WSPCloseSocket(SOCKET, LPINT);
int WSPAPI WSPConnect(SOCKET, const struct sockaddr*, int, LPWSABUF, LPWSABUF, LPQOS, LPQOS, LPINT);
int WSPAPI WSPDuplicateSocket(SOCKET, DWORD, LPWSAPROTOCOL_INFOW, LPINT);
int WSPAPI WSPEnumNetworkEvents(SOCKET, WSAEVENT, LPWSANETWORKEVENTS, LPINT);
int WSPAPI WSPEventSelect(SOCKET, WSAEVENT, LONG, LPINT);
BOOL WSPAPI WSPGetOverlappedResult(SOCKET, LPWSAOVERLAPPED, LPDWORD, BOOL, LPDWORD, LPINT);
int WSPAPI WSPGetPeerName(SOCKET, struct sockaddr*, LPINT, LPINT);
int WSPAPI WSPGetSockName(SOCKET, struct sockaddr*, LPINT, LPINT);
int WSPAPI WSPGetSockOpt(SOCKET, int, int, char*, LPINT, LPINT);
BOOL WSPAPI WSPGetQOSByName(SOCKET, LPWSABUF, LPQOS, LPINT);
int WSPAPI WSPIoctl(SOCKET, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPWSAOVERLAPPED,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT);
SOCKET WSPAPI WSPJoinLeaf(SOCKET, const struct sockaddr*, int, LPWSABUF, LPWSABUF, LPQOS, LPQOS, DWORD, LPINT);
int WSPAPI WSPListen(SOCKET, int, LPINT);
int WSPAPI WSPRecv(SOCKET, LPWSABUF, DWORD, LPDWORD, LPDWORD, LPWSAOVERLAPPED, LPWSAOVERLAPPED_COMPLETION_ROUTINE,
                   LPWSATHREADID, LPINT);
int WSPAPI WSPRecvDisconnect(SOCKET, LPWSABUF, LPINT);
int WSPAPI WSPRecvFrom(SOCKET, LPWSABUF, DWORD, LPDWORD, LPDWORD, struct sockaddr*, LPINT, LPWSAOVERLAPPED,
                       LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT);
int WSPAPI WSPSelect(int, fd_set*, fd_set*, fd_set*, const struct timeval*, LPINT);
int WSPAPI WSPSend(SOCKET, LPWSABUF, DWORD, LPDWORD, DWORD, LPWSAOVERLAPPED, LPWSAOVERLAPPED_COMPLETION_ROUTINE,
                   LPWSATHREADID, LPINT);
int WSPAPI WSPSendDisconnect(SOCKET, LPWSABUF, LPINT);
int WSPAPI WSPSendTo(SOCKET, LPWSABUF, DWORD, LPDWORD, DWORD, const struct sockaddr*, int, LPWSAOVERLAPPED,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE, LPWSATHREADID, LPINT);
int WSPAPI WSPSetSockOpt(SOCKET, int, int, const char*, int, LPINT);
int WSPAPI WSPShutdown(SOCKET, int, LPINT);
SOCKET WSPAPI WSPSocket(int, int, int, LPWSAPROTOCOL_INFOW, GROUP, DWORD, LPINT);
INT WSPAPI WSPStringToAddress(LPWSTR, INT, LPWSAPROTOCOL_INFOW, LPSOCKADDR, LPINT, LPINT);

inline int fail(LPINT lpErrno, int error) {
    if (lpErrno) *lpErrno = error;
    return SOCKET_ERROR;
}

}  // namespace qf::afd
