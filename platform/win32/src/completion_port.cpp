// I/O completion ports: a FIFO of packets; waiting threads are served last-in first-out.
#include <qf/completion_port.h>
#include <qf/handle_table.h>
#include <qf/waitable.h>

#include "fault_take.h"
#include "thread_state.h"

#include <fcntl.h>

#include <chrono>
#include <climits>
#include <deque>
#include <unordered_map>

namespace qf {
namespace {

struct Packet {
    DWORD bytes;
    ULONG_PTR key;
    LPOVERLAPPED overlapped;
    DWORD error;
};

// What waiters hold: it outlives the port's last handle, so a waiter learns the port was closed.
struct PortQueue {
    // Guarded by sync_lock().
    std::deque<Packet> packets;
    std::vector<ThreadState*> waiters;  // most recent last
    bool closed = false;
};

struct CompletionPort : KernelObject {
    std::shared_ptr<PortQueue> queue = std::make_shared<PortQueue>();
    ~CompletionPort() override {
        std::lock_guard<std::mutex> guard(sync_lock());
        queue->closed = true;
        for (ThreadState* waiter : queue->waiters) waiter->wake.notify_all();
    }
};

struct Association {
    std::weak_ptr<PortQueue> queue;
    ULONG_PTR key;
};

std::mutex& association_lock() {
    static std::mutex* instance = new std::mutex;
    return *instance;
}
std::unordered_map<uintptr_t, Association>& associations() {
    static auto* instance = new std::unordered_map<uintptr_t, Association>;
    return *instance;
}
// The notification modes of handles that set any (under association_lock()).
std::unordered_map<uintptr_t, UCHAR>& notification_modes() {
    static auto* instance = new std::unordered_map<uintptr_t, UCHAR>;
    return *instance;
}

// A handle that can join a port: an open kernel object of the stand-in, or an open descriptor (a
// socket handle is its descriptor).
bool is_open_handle(HANDLE handle) {
    if (handle_lookup(handle)) return true;
    auto value = reinterpret_cast<uintptr_t>(handle);
    return value <= static_cast<uintptr_t>(INT_MAX) && fcntl(static_cast<int>(value), F_GETFD) >= 0;
}

void post(PortQueue& queue, const Packet& packet) {
    std::lock_guard<std::mutex> guard(sync_lock());
    queue.packets.push_back(packet);
    if (!queue.waiters.empty()) queue.waiters.back()->wake.notify_all();
}

}  // namespace

bool completion_port_complete(HANDLE fileHandle, DWORD bytes, LPOVERLAPPED overlapped, DWORD error) {
    std::shared_ptr<PortQueue> queue;
    ULONG_PTR key = 0;
    {
        std::lock_guard<std::mutex> guard(association_lock());
        auto it = associations().find(reinterpret_cast<uintptr_t>(fileHandle));
        if (it == associations().end()) return false;
        queue = it->second.queue.lock();
        key = it->second.key;
    }
    if (!queue) return false;
    {
        std::lock_guard<std::mutex> guard(sync_lock());
        if (queue->closed) return false;
    }
    post(*queue, Packet{bytes, key, overlapped, error});
    return true;
}

bool completion_port_associated(HANDLE fileHandle) {
    std::lock_guard<std::mutex> guard(association_lock());
    auto it = associations().find(reinterpret_cast<uintptr_t>(fileHandle));
    return it != associations().end() && !it->second.queue.expired();
}

bool completion_port_skips_on_success(HANDLE fileHandle) {
    std::lock_guard<std::mutex> guard(association_lock());
    auto it = notification_modes().find(reinterpret_cast<uintptr_t>(fileHandle));
    return it != notification_modes().end() && (it->second & FILE_SKIP_COMPLETION_PORT_ON_SUCCESS);
}

void completion_port_forget(HANDLE fileHandle) {
    std::lock_guard<std::mutex> guard(association_lock());
    associations().erase(reinterpret_cast<uintptr_t>(fileHandle));
    notification_modes().erase(reinterpret_cast<uintptr_t>(fileHandle));
}

}  // namespace qf

using qf::CompletionPort;

extern "C" HANDLE WINAPI CreateIoCompletionPort(HANDLE FileHandle, HANDLE ExistingCompletionPort,
                                                ULONG_PTR CompletionKey, DWORD) {
    if (FileHandle == INVALID_HANDLE_VALUE) {
        if (ExistingCompletionPort) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (qf::fault_take(qf::Fault::CreateIoCompletionPort)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        return qf::handle_insert(std::make_shared<CompletionPort>());
    }
    if (!FileHandle || !qf::is_open_handle(FileHandle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    std::shared_ptr<CompletionPort> port;
    if (ExistingCompletionPort) {
        port = qf::handle_lookup_as<CompletionPort>(ExistingCompletionPort);
        if (!port) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    if (qf::fault_take(qf::Fault::CreateIoCompletionPort)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (!port) port = std::make_shared<CompletionPort>();
    {
        std::lock_guard<std::mutex> guard(qf::association_lock());
        auto& table = qf::associations();
        auto key = reinterpret_cast<uintptr_t>(FileHandle);
        auto it = table.find(key);
        // A handle joins one port for its lifetime, as on Windows.
        if (it != table.end() && !it->second.queue.expired()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        table[key] = qf::Association{port->queue, CompletionKey};
    }
    return ExistingCompletionPort ? ExistingCompletionPort : qf::handle_insert(port);
}

extern "C" BOOL WINAPI SetFileCompletionNotificationModes(HANDLE FileHandle, UCHAR Flags) {
    if (Flags & ~(FILE_SKIP_COMPLETION_PORT_ON_SUCCESS | FILE_SKIP_SET_EVENT_ON_HANDLE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!FileHandle || FileHandle == INVALID_HANDLE_VALUE || !qf::is_open_handle(FileHandle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(qf::association_lock());
    qf::notification_modes()[reinterpret_cast<uintptr_t>(FileHandle)] = Flags;
    return TRUE;
}

extern "C" BOOL WINAPI PostQueuedCompletionStatus(HANDLE CompletionPort, DWORD dwNumberOfBytesTransferred,
                                                  ULONG_PTR dwCompletionKey, LPOVERLAPPED lpOverlapped) {
    auto port = qf::handle_lookup_as<qf::CompletionPort>(CompletionPort);
    if (!port) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    qf::post(*port->queue, qf::Packet{dwNumberOfBytesTransferred, dwCompletionKey, lpOverlapped, ERROR_SUCCESS});
    return TRUE;
}

extern "C" BOOL WINAPI GetQueuedCompletionStatus(HANDLE CompletionPort, LPDWORD lpNumberOfBytesTransferred,
                                                 PULONG_PTR lpCompletionKey, LPOVERLAPPED* lpOverlapped,
                                                 DWORD dwMilliseconds) {
    if (!lpNumberOfBytesTransferred || !lpCompletionKey || !lpOverlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpOverlapped = nullptr;
    std::shared_ptr<qf::PortQueue> queue;
    if (auto port = qf::handle_lookup_as<qf::CompletionPort>(CompletionPort)) queue = port->queue;
    if (!queue) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::shared_ptr<qf::ThreadState> self = qf::current_thread();
    using Clock = std::chrono::steady_clock;
    const bool timed = dwMilliseconds != INFINITE;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timed ? dwMilliseconds : 0);

    std::unique_lock<std::mutex> lock(qf::sync_lock());
    queue->waiters.push_back(self.get());
    DWORD error = WAIT_TIMEOUT;
    bool got = false;
    qf::Packet packet{};
    for (;;) {
        if (!queue->packets.empty()) {
            packet = queue->packets.front();
            queue->packets.pop_front();
            got = true;
            break;
        }
        if (queue->closed) {
            error = ERROR_ABANDONED_WAIT_0;
            break;
        }
        if (timed && Clock::now() >= deadline) break;
        if (timed)
            self->wake.wait_until(lock, deadline);
        else
            self->wake.wait(lock);
    }
    auto& waiters = queue->waiters;
    for (auto it = waiters.end(); it != waiters.begin();) {
        if (*--it == self.get()) {
            waiters.erase(it);
            break;
        }
    }
    // A packet left behind (this thread was woken for it but is leaving) goes to the next waiter.
    if (!queue->packets.empty() && !waiters.empty()) waiters.back()->wake.notify_all();
    lock.unlock();

    if (!got) {
        SetLastError(error);
        return FALSE;
    }
    *lpNumberOfBytesTransferred = packet.bytes;
    *lpCompletionKey = packet.key;
    *lpOverlapped = packet.overlapped;
    if (packet.error != ERROR_SUCCESS) {
        SetLastError(packet.error);
        return FALSE;
    }
    return TRUE;
}
