// The base provider's engine: one thread that watches the kernel sockets with pending overlapped
// operations or event/window selections, carries the operations out as the sockets become ready
// and reports network events.
#pragma once

#include "afd.h"
#include "kernel_poller.h"

#include <pthread.h>

namespace qf::afd {

// A forked child has no engine thread, and its epoll set is its parent's (a fork shares it), so
// its reports would go to the parent's engine. At its first use in the child the engine takes a
// set of its own, watches the child's sockets there and starts its own thread. Across a fork the
// engine thread is held between rounds, so that the child inherits none of the locks it takes.
class Engine {
public:
    Engine() = default;
    ~Engine();
    bool start();
    void stop();

    // Recomputes what to watch on socket (lock held) after its operations or selection changed.
    void update(BaseSocket& socket);
    void forget(BaseSocket& socket);
    // Serves a descriptor hand-off (WSPDuplicateSocket) to the target process until taken or for a
    // minute at most.
    void offer(int listener, int copy, uint32_t targetPid);

private:
    struct Offer {
        int listener;
        int copy;
        uint32_t targetPid;
        DWORD deadline;
    };
    static void* run_thread(void* engine);
    void run();
    void service(const std::shared_ptr<BaseSocket>& socket, unsigned events);
    void serve_offers(int readyListener);
    void watch_all();
    // In a forked child: lets go of the parent's thread, set and offers (none of them is the
    // child's); with restart, starts anew with a set and a thread of the child's own.
    void own_process(bool restart);

    KernelPoller poller_;
    pthread_t thread_{};
    bool running_ = false;            // thread_ runs in this process
    std::atomic<bool> stopping_{false};
    std::atomic<unsigned> forks_{0};  // the process's fork count when this process's thread started
    bool watchAll_ = false;           // the new thread first watches every socket of the child
    std::vector<Offer> offers_;       // guarded by the offers lock of afd_engine.cpp
};

// Puts an accepted connection under an existing socket (AcceptEx; lock held): the socket's
// descriptor is pointed at the connection, and so are the handles duplicated from it.
int take_connection(BaseSocket& target, int accepted);

// Keeps a reset that a receive reported: the kernel reports it once, Winsock to every later receive.
void note_reset(BaseSocket& socket, int error);

// Sends what an overlapped TransmitFile can send now (lock held): WSAEWOULDBLOCK while the kernel
// takes no more, else 0 or the error once it is done (op.done counts the bytes sent).
int transmit_some(BaseSocket& socket, PendingOp& op);
// What TransmitFile does after the data (lock held): with TF_DISCONNECT or TF_REUSE_SOCKET the
// sending side is shut down, and with TF_REUSE_SOCKET the handle gets a fresh kernel socket.
int finish_transmission(BaseSocket& socket, DWORD flags);
// Reports at once the network events that the socket's present state already shows (lock held),
// as a new selection does: FD_WRITE on a connected socket, FD_READ on waiting data, ...
void report_present_events(BaseSocket& socket);

// Runs the pending operations of a socket that can make progress now (lock held).
void process_reads(BaseSocket& socket);
void process_writes(BaseSocket& socket);

}  // namespace qf::afd
