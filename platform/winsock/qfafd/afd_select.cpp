// select, event selection and window-message selection.
#include "afd.h"

#include "afd_engine.h"

#include "kernel_socket.h"

#include <vector>

namespace qf::afd {
namespace {

const u_int kMaxSelectSockets = 4096;

struct Watched {
    std::shared_ptr<BaseSocket> socket;
    int set;  // 0 read, 1 write, 2 except
    size_t item;
};

int select_timeout(const struct timeval* timeout, int& milliseconds) {
    if (!timeout) {
        milliseconds = -1;
        return 0;
    }
    if (timeout->tv_sec < 0 || timeout->tv_usec < 0) return WSAEINVAL;
    long long total = static_cast<long long>(timeout->tv_sec) * 1000 + (timeout->tv_usec + 999) / 1000;
    milliseconds = total > 0x7fffffff ? 0x7fffffff : static_cast<int>(total);
    return 0;
}

// Whether a socket counts as ready in one of select's sets, by Winsock's rules (lock held).
bool counts_as_ready(BaseSocket& socket, int set, unsigned ready) {
    settle_connect(socket, true);
    if (set == 0) {
        if (socket.listening) return ready & kReadable;
        if (socket.stream() && !socket.connected) return false;
        return ready & (kReadable | kHangup | kError | kPeerClosed);
    }
    if (set == 1) {
        if (socket.stream() && !socket.connected) return false;  // a failed connect is reported in the except set
        return ready & kWritable;
    }
    if (socket.connectError && !socket.connecting && !socket.connected) return true;
    return ready & kPriority;
}

int set_selection(SOCKET s, WSAEVENT event, HWND window, UINT message, LONG events, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    std::lock_guard<std::mutex> guard(socket->lock);
    socket->selectEvent = events ? event : nullptr;
    socket->window = events ? window : nullptr;
    socket->message = events ? message : 0;
    socket->selectMask = events;
    // Every event may be reported again; FD_WRITE at once when the socket can send already.
    socket->armed = FD_ALL_EVENTS;
    socket->writeBlocked = true;
    if (events) socket->nonBlocking = true;
    report_present_events(*socket);
    watch_socket(*socket);
    return 0;
}

bool any_closing(const std::vector<Watched>& watched) {
    for (const Watched& w : watched) {
        std::lock_guard<std::mutex> guard(w.socket->lock);
        if (w.socket->closing) return true;
    }
    return false;
}

}  // namespace

int WSPAPI WSPSelect(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const struct timeval* timeout,
                     LPINT lpErrno) {
    (void)nfds;
    int milliseconds = 0;
    if (int error = select_timeout(timeout, milliseconds)) return fail(lpErrno, error);
    fd_set* sets[3] = {readfds, writefds, exceptfds};
    const unsigned events[3] = {kReadable, kWritable, kPriority};
    std::vector<Watched> watched;
    std::vector<PollItem> items;
    for (int set = 0; set < 3; ++set) {
        if (!sets[set]) continue;
        // A program may build larger sets than FD_SETSIZE; a count beyond any real set is refused.
        if (sets[set]->fd_count > kMaxSelectSockets) return fail(lpErrno, WSAEINVAL);
        for (u_int i = 0; i < sets[set]->fd_count; ++i) {
            auto socket = find_socket(sets[set]->fd_array[i]);
            if (!socket) return fail(lpErrno, WSAENOTSOCK);
            unsigned wanted = events[set];
            {
                std::lock_guard<std::mutex> guard(socket->lock);
                if (socket->connecting && set != 0) wanted |= kWritable;
            }
            watched.push_back(Watched{socket, set, items.size()});
            items.push_back(PollItem{socket->fd, wanted, 0});
        }
    }
    if (items.empty()) return fail(lpErrno, WSAEINVAL);

    // Looks at the sockets, then blocks until the engine sees one of them change (or a close, a
    // cancellation, the time limit), and looks again.
    std::vector<SocketWait> waits;
    for (const Watched& w : watched) waits.push_back(SocketWait{w.socket, items[w.item].events});
    DWORD start = GetTickCount();
    int readyTotal = 0;
    for (;;) {
        int readyCount = 0;
        if (int error = kn_poll(items.data(), items.size(), 0, readyCount)) return fail(lpErrno, error);
        readyTotal = 0;
        for (Watched& w : watched) {
            std::lock_guard<std::mutex> guard(w.socket->lock);
            // A socket closed meanwhile is reported in its set, as Winsock does; the next call on
            // it tells the caller that it is gone.
            bool ready = w.socket->closing || counts_as_ready(*w.socket, w.set, items[w.item].ready);
            items[w.item].ready = ready ? 1 : 0;
            if (ready) ++readyTotal;
        }
        if (readyTotal > 0) break;
        DWORD remaining = INFINITE;
        if (milliseconds >= 0) {
            DWORD elapsed = GetTickCount() - start;
            if (elapsed >= static_cast<DWORD>(milliseconds)) break;
            remaining = static_cast<DWORD>(milliseconds) - elapsed;
        }
        int error = block_on(waits, remaining);
        if (error == WSAETIMEDOUT) break;
        // A close ends the wait as it ends every blocked call; select then reports the socket.
        if (error == WSAEINTR && any_closing(watched)) continue;
        if (error) return fail(lpErrno, error);
    }
    for (int set = 0; set < 3; ++set)
        if (sets[set]) sets[set]->fd_count = 0;
    for (const Watched& w : watched) {
        if (!items[w.item].ready) continue;
        fd_set* set = sets[w.set];
        set->fd_array[set->fd_count++] = w.socket->handle;
    }
    return readyTotal;
}

int WSPAPI WSPEventSelect(SOCKET s, WSAEVENT hEventObject, LONG lNetworkEvents, LPINT lpErrno) {
    if (lNetworkEvents && !hEventObject) return fail(lpErrno, WSAEINVAL);
    return set_selection(s, hEventObject, nullptr, 0, lNetworkEvents, lpErrno);
}

int WSPAPI WSPAsyncSelect(SOCKET s, HWND hWnd, unsigned int wMsg, LONG lEvent, LPINT lpErrno) {
    if (lEvent && !hWnd) return fail(lpErrno, WSAEINVAL);
    return set_selection(s, nullptr, hWnd, wMsg, lEvent, lpErrno);
}

int WSPAPI WSPEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents, LPINT lpErrno) {
    auto socket = find_socket(s);
    if (!socket) return fail(lpErrno, WSAENOTSOCK);
    if (!lpNetworkEvents) return fail(lpErrno, WSAEFAULT);
    std::lock_guard<std::mutex> guard(socket->lock);
    *lpNetworkEvents = socket->recorded;
    socket->recorded = WSANETWORKEVENTS{};
    if (hEventObject) {
        int error = 0;
        if (!provider().upcalls.lpWPUResetEvent(hEventObject, &error)) return fail(lpErrno, WSAEINVAL);
    }
    return 0;
}

}  // namespace qf::afd
