// The engine thread: pending overlapped operations and network event reports.
#include "afd_engine.h"

#include "fd_handoff.h"
#include "kernel_socket.h"

namespace qf::afd {
namespace {

const uint64_t kOfferToken = 1ull << 63;

// The engine thread holds workLock through each round of work (all but its wait for reports),
// and a fork holds it, with the other two, from before to after: the engine's thread is never
// inside a socket, the table or a completion when the process is copied.
std::mutex workLock;
std::mutex offersLock;  // the offers
std::mutex renewLock;   // one thread moves the engine into a forked child
std::atomic<unsigned> forkCount{0};  // forks that made this process (counted in the child)

void before_fork() {
    renewLock.lock();
    workLock.lock();
    offersLock.lock();
}

void after_fork() {
    offersLock.unlock();
    workLock.unlock();
    renewLock.unlock();
}

void after_fork_in_child() {
    forkCount.fetch_add(1);
    after_fork();
}

void watch_forks() {
    static std::once_flag once;  // the handlers go with this library when it is unloaded
    std::call_once(once, [] { pthread_atfork(before_fork, after_fork, after_fork_in_child); });
}

uint64_t token_of(const BaseSocket& socket) {
    return (static_cast<uint64_t>(socket.generation) << 32) | static_cast<uint32_t>(socket.fd);
}

// The kernel events that matter to the socket now.
unsigned interest(const BaseSocket& socket) {
    unsigned events = 0;
    for (const BlockedWait* wait : socket.blocked)
        if (!wait->woken) events |= wait->events;
    if (!socket.reads.empty()) {
        events |= kReadable;
        if (socket.reads.front()->kind == OpKind::Recv && (socket.reads.front()->flags & MSG_OOB)) events |= kPriority;
    }
    if (!socket.writes.empty() || socket.connecting) events |= kWritable;
    LONG live = socket.selectMask & socket.armed;
    if (!live) return events;
    if (socket.listening) {
        if (live & FD_ACCEPT) events |= kReadable;
        return events;
    }
    if (socket.stream() && !socket.connected) return events;
    if ((live & FD_READ) && !socket.endSeen) events |= kReadable;
    if (live & FD_OOB) events |= kPriority;
    if ((live & FD_CLOSE) && socket.stream() && !socket.endSeen && !socket.closeWaitsForData) events |= kPeerClosed;
    if ((live & FD_WRITE) && socket.writeBlocked) events |= kWritable;
    return events;
}

// Network events that the kernel's report shows (lock held).
void detect_events(BaseSocket& socket, unsigned events) {
    LONG live = socket.selectMask & socket.armed;
    if (!live) return;
    if (socket.listening) {
        unsigned ready = 0;
        if ((live & FD_ACCEPT) && (events & kReadable) && socket.reads.empty() &&
            kn_wait(socket.fd, kReadable, 0, ready) == 0 && ready)
            signal_event(socket, FD_ACCEPT, 0);
        return;
    }
    if (socket.stream() && !socket.connected) return;
    if ((events & kPriority) && (live & FD_OOB)) signal_event(socket, FD_OOB, 0);
    if (events & (kReadable | kHangup | kError | kPeerClosed)) {
        if (socket.stream()) {
            int state = kn_peek_state(socket.fd);
            if (state == 1) {
                if (live & FD_READ) signal_event(socket, FD_READ, 0);
                if (events & kPeerClosed) socket.closeWaitsForData = true;
            } else if (state == 0 || state < 0) {
                socket.endSeen = true;
                if (state < 0) socket.resetError = -state;  // the kernel tells a reset once; keep it
                if (live & FD_CLOSE) signal_event(socket, FD_CLOSE, state < 0 ? -state : 0);
            }
        } else if ((events & kReadable) && (live & FD_READ)) {
            signal_event(socket, FD_READ, 0);
        }
    }
    live = socket.selectMask & socket.armed;
    if ((events & kWritable) && (live & FD_WRITE) && socket.writeBlocked) {
        socket.writeBlocked = false;
        signal_event(socket, FD_WRITE, 0);
    }
}

std::vector<IoBuffer> buffers_after(const std::vector<WSABUF>& buffers, size_t skip) {
    std::vector<IoBuffer> out;
    for (const WSABUF& buffer : buffers) {
        if (skip >= buffer.len) {
            skip -= buffer.len;
            continue;
        }
        out.push_back(IoBuffer{buffer.buf + skip, buffer.len - skip});
        skip = 0;
    }
    return out;
}

size_t total_length(const std::vector<WSABUF>& buffers) {
    size_t total = 0;
    for (const WSABUF& buffer : buffers) total += buffer.len;
    return total;
}

void finish(BaseSocket& socket, PendingOp& op, DWORD error, DWORD bytes, DWORD flags) {
    (void)socket;
    complete_request(op.completionHandle, op.overlapped, op.routine, op.hasThread ? &op.thread : nullptr, error, bytes,
                     flags);
}

// The socket of an AcceptEx takes over the accepted connection (both locks held).
void accept_into(BaseSocket& listening, PendingOp& op, int accepted) {
    BaseSocket& target = *op.acceptSocket;
    std::lock_guard<std::mutex> guard(target.lock);
    if (int error = take_connection(target, accepted)) {
        finish(listening, op, error, 0, 0);
        return;
    }
    if (op.receiveLength == 0) {
        write_accept_addresses(op.output, 0, op.localLength, op.remoteLength, target.fd);
        finish(listening, op, 0, 0, 0);
        return;
    }
    auto moved = std::make_unique<PendingOp>(std::move(op));
    moved->kind = OpKind::AcceptExData;
    target.reads.push_back(std::move(moved));
    watch_socket(target);
}

}  // namespace

void report_present_events(BaseSocket& socket) {
    if (socket.closing) return;
    unsigned wanted = interest(socket);
    unsigned ready = 0;
    if (wanted && kn_wait(socket.fd, wanted, 0, ready) == 0 && ready) detect_events(socket, ready);
}

void note_reset(BaseSocket& socket, int error) {
    if (socket.stream() && (error == WSAECONNRESET || error == WSAECONNABORTED)) {
        socket.resetError = error;
        socket.endSeen = true;
    }
}

int take_connection(BaseSocket& target, int accepted) {
    if (target.closing) {
        kn_close(accepted);
        return WSAENOTSOCK;
    }
    unwatch_socket(target);
    if (int error = kn_replace(accepted, target.fd)) return error;
    target.connected = true;
    target.connecting = false;
    target.listening = false;
    target.endSeen = false;
    target.closeWaitsForData = false;
    target.sendShutdown = target.receiveShutdown = false;
    target.peerKnown = false;
    target.connectError = 0;
    target.resetError = 0;
    target.connectedAt = GetTickCount();
    // Handles duplicated from the accepting socket now name the new connection too.
    int upcallError = 0;
    provider().upcalls.lpWPUModifyIFSHandle(target.info.dwCatalogEntryId, target.handle, &upcallError);
    watch_socket(target);
    return 0;
}

void process_reads(BaseSocket& socket) {
    while (!socket.reads.empty()) {
        PendingOp& op = *socket.reads.front();
        if (op.kind == OpKind::Recv) {
            std::vector<IoBuffer> buffers = buffers_after(op.buffers, 0);
            int flags = static_cast<int>(op.flags);
            size_t received = 0;
            int error = socket.resetError;
            if (!error) {
                error = kn_recv(socket.fd, buffers.data(), static_cast<int>(buffers.size()), &flags, op.from,
                                op.fromLength, received);
                if (error == WSAEWOULDBLOCK) return;
                note_reset(socket, error);
            }
            if (socket.stream() && !error && received == 0 && total_length(op.buffers) > 0) socket.endSeen = true;
            finish(socket, op, error, static_cast<DWORD>(received), 0);
        } else if (op.kind == OpKind::AcceptEx) {
            int accepted = -1;
            int error = kn_accept(socket.fd, accepted, nullptr, nullptr);
            if (error == WSAEWOULDBLOCK) return;
            if (error) {
                finish(socket, op, error, 0, 0);
            } else {
                accept_into(socket, op, accepted);
            }
        } else if (op.kind == OpKind::AcceptExData) {
            IoBuffer buffer{op.output, op.receiveLength};
            int flags = 0;
            size_t received = 0;
            int error = kn_recv(socket.fd, &buffer, 1, &flags, nullptr, nullptr, received);
            if (error == WSAEWOULDBLOCK) return;
            write_accept_addresses(op.output, op.receiveLength, op.localLength, op.remoteLength, socket.fd);
            finish(socket, op, error, static_cast<DWORD>(received), 0);
        }
        socket.reads.pop_front();
    }
}

void process_writes(BaseSocket& socket) {
    while (!socket.writes.empty()) {
        PendingOp& op = *socket.writes.front();
        if (socket.stream() && !socket.connected) {
            if (socket.connecting) return;
            finish(socket, op, socket.connectError ? socket.connectError : WSAENOTCONN, 0, 0);
            socket.writes.pop_front();
            continue;
        }
        if (op.kind == OpKind::TransmitFile) {
            int error = transmit_some(socket, op);
            if (error == WSAEWOULDBLOCK) return;
            finish(socket, op, error, static_cast<DWORD>(op.done), 0);
            socket.writes.pop_front();
            continue;
        }
        size_t total = total_length(op.buffers);
        bool done = false;
        while (!done) {
            std::vector<IoBuffer> buffers = buffers_after(op.buffers, op.done);
            size_t sent = 0;
            int error = kn_send(socket.fd, buffers.data(), static_cast<int>(buffers.size()), static_cast<int>(op.flags),
                                op.to.empty() ? nullptr : op.to.data(), static_cast<int>(op.to.size()), sent);
            if (error == WSAEWOULDBLOCK) return;
            op.done += sent;
            if (error) {
                finish(socket, op, error, static_cast<DWORD>(op.done), 0);
                done = true;
            } else if (!socket.stream() || op.done >= total) {
                finish(socket, op, 0, static_cast<DWORD>(op.done), 0);
                done = true;
            }
        }
        socket.writes.pop_front();
    }
}

Engine::~Engine() { stop(); }

bool Engine::start() {
    if (!poller_.ready()) return false;
    watch_forks();
    forks_ = forkCount.load();
    stopping_ = false;
    running_ = pthread_create(&thread_, nullptr, run_thread, this) == 0;
    return running_;
}

void Engine::stop() {
    if (forks_ != forkCount.load()) own_process(false);
    if (!running_) return;
    stopping_ = true;
    poller_.wake();
    pthread_join(thread_, nullptr);
    running_ = false;
    std::lock_guard<std::mutex> guard(offersLock);
    for (const Offer& offer : offers_) {
        kn_close(offer.listener);
        kn_close(offer.copy);
    }
    offers_.clear();
}

void Engine::own_process(bool restart) {
    std::lock_guard<std::mutex> renewing(renewLock);
    unsigned forks = forkCount.load();
    if (forks_ == forks) return;
    running_ = false;  // the thread that started is the parent's, not in this process
    {
        std::lock_guard<std::mutex> guard(offersLock);
        for (const Offer& offer : offers_) {  // the parent serves them; these are the child's copies
            kn_close(offer.listener);
            kn_close(offer.copy);
        }
        offers_.clear();
    }
    poller_.renew();
    stopping_ = false;
    watchAll_ = true;
    forks_ = forks;
    if (restart && poller_.ready()) running_ = pthread_create(&thread_, nullptr, run_thread, this) == 0;
}

void Engine::update(BaseSocket& socket) {
    if (socket.closing || socket.fd < 0) return;
    if (forks_ != forkCount.load()) own_process(true);
    poller_.watch(socket.fd, interest(socket), token_of(socket));
}

void Engine::forget(BaseSocket& socket) {
    if (forks_ != forkCount.load()) own_process(true);
    poller_.forget(socket.fd);
}

void Engine::offer(int listener, int copy, uint32_t targetPid) {
    if (forks_ != forkCount.load()) own_process(true);
    {
        std::lock_guard<std::mutex> guard(offersLock);
        offers_.push_back(Offer{listener, copy, targetPid, GetTickCount() + 60000});
    }
    poller_.watch(listener, kReadable, kOfferToken | static_cast<uint32_t>(listener));
}

void Engine::serve_offers(int readyListener) {
    std::lock_guard<std::mutex> guard(offersLock);
    DWORD now = GetTickCount();
    for (size_t i = 0; i < offers_.size();) {
        Offer& offer = offers_[i];
        bool served = offer.listener == readyListener && handoff_serve(offer.listener, offer.copy, offer.targetPid);
        if (served || static_cast<LONG>(now - offer.deadline) >= 0) {
            poller_.forget(offer.listener);
            kn_close(offer.listener);
            kn_close(offer.copy);
            offers_.erase(offers_.begin() + i);
            continue;
        }
        if (offer.listener == readyListener) poller_.watch(offer.listener, kReadable, kOfferToken | static_cast<uint32_t>(offer.listener));
        ++i;
    }
}

void* Engine::run_thread(void* engine) {
    static_cast<Engine*>(engine)->run();
    return nullptr;
}

// A forked child's new set starts empty: its sockets are watched there first.
void Engine::watch_all() {
    std::vector<std::shared_ptr<BaseSocket>> sockets;
    {
        Provider& p = provider();
        std::lock_guard<std::mutex> guard(p.lock);
        for (const auto& socket : p.table)
            if (socket) sockets.push_back(socket);
    }
    for (const auto& socket : sockets) {
        std::lock_guard<std::mutex> guard(socket->lock);
        update(*socket);
    }
}

void Engine::run() {
    if (watchAll_) {
        std::lock_guard<std::mutex> work(workLock);
        watch_all();
    }
    std::vector<KernelPoller::Report> reports;
    while (!stopping_) {
        bool haveOffers;
        {
            std::lock_guard<std::mutex> guard(offersLock);
            haveOffers = !offers_.empty();
        }
        poller_.wait(reports, haveOffers ? 1000 : -1);
        std::lock_guard<std::mutex> work(workLock);
        if (haveOffers) serve_offers(-1);
        for (const KernelPoller::Report& report : reports) {
            if (report.token & kOfferToken) {
                serve_offers(static_cast<int>(report.token & 0xffffffffu));
                continue;
            }
            auto socket = find_socket(static_cast<SOCKET>(report.token & 0xffffffffu));
            if (!socket || socket->generation != static_cast<uint32_t>(report.token >> 32)) continue;
            service(socket, report.events);
        }
    }
}

void Engine::service(const std::shared_ptr<BaseSocket>& socket, unsigned events) {
    std::lock_guard<std::mutex> guard(socket->lock);
    if (socket->closing) return;
    settle_connect(*socket, true);
    process_reads(*socket);
    process_writes(*socket);
    detect_events(*socket, events);
    wake_blocked(*socket, events);
    update(*socket);
}

}  // namespace qf::afd
