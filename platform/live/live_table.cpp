// The routed descriptor table: one slot per descriptor number, read without a lock, changed
// under one lock that a fork takes, so a child never inherits it half-changed.
#include "live_table.h"

#include <pthread.h>

#include <atomic>
#include <mutex>

namespace qf::live {
namespace {

struct HandleSlot {
    std::atomic<int> names{0};  // descriptors naming the socket; 0: no socket
    std::atomic<bool> stream{false};
    std::atomic<bool> nonBlocking{false};
    std::atomic<bool> receiveShut{false};
    std::atomic<bool> sendShut{false};
    std::atomic<bool> numberClosed{false};  // the program closed the handle's own number
    std::atomic<bool> receiveTimeout{false};
    std::atomic<bool> sendTimeout{false};
};

struct Table {
    std::atomic<int> handlePlusOne[kMaxRouted] = {};  // 0: not routed
    HandleSlot sockets[kMaxRouted];
    std::mutex lock;
};

// Constant-initialised, so it lives in zeroed pages that only the slots in use ever touch, and is
// there before any constructor of the program runs.
Table g_table;

Table& table() { return g_table; }

// The lock is taken around a fork, so that a child never inherits it held by another thread.
void watch_forks() {
    static std::once_flag once;
    std::call_once(once, [] {
        pthread_atfork([] { g_table.lock.lock(); }, [] { g_table.lock.unlock(); }, [] { g_table.lock.unlock(); });
    });
}

bool in_range(int fd) { return fd >= 0 && fd < kMaxRouted; }

}  // namespace

FdKind table_classify(int fd, RoutedSocket& out) {
    if (!in_range(fd)) return FdKind::Kernel;
    Table& t = table();
    int handle = t.handlePlusOne[fd].load(std::memory_order_acquire) - 1;
    if (handle < 0) {
        const HandleSlot& own = t.sockets[fd];
        return own.numberClosed.load() && own.names.load() > 0 ? FdKind::Held : FdKind::Kernel;
    }
    const HandleSlot& slot = t.sockets[handle];
    out.handle = handle;
    out.stream = slot.stream.load();
    out.nonBlocking = slot.nonBlocking.load();
    out.receiveShut = slot.receiveShut.load();
    out.sendShut = slot.sendShut.load();
    out.receiveTimeout = slot.receiveTimeout.load();
    out.sendTimeout = slot.sendTimeout.load();
    return FdKind::Routed;
}

FdKind table_classify(int fd) {
    RoutedSocket ignored;
    return table_classify(fd, ignored);
}

void table_add(int handle, bool stream, bool nonBlocking) {
    if (!in_range(handle)) return;
    watch_forks();
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    HandleSlot& slot = t.sockets[handle];
    slot.stream = stream;
    slot.nonBlocking = nonBlocking;
    slot.receiveShut = false;
    slot.sendShut = false;
    slot.numberClosed = false;
    slot.receiveTimeout = false;
    slot.sendTimeout = false;
    slot.names = 1;
    t.handlePlusOne[handle].store(handle + 1, std::memory_order_release);
}

void table_alias(int fd, int handle) {
    if (!in_range(fd) || !in_range(handle)) return;
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.sockets[handle].names.fetch_add(1);
    t.handlePlusOne[fd].store(handle + 1, std::memory_order_release);
}

Release table_release(int fd) {
    Release release;
    if (!in_range(fd)) return release;
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    int handle = t.handlePlusOne[fd].load() - 1;
    if (handle < 0) return release;
    release.routed = true;
    t.handlePlusOne[fd].store(0, std::memory_order_release);
    HandleSlot& slot = t.sockets[handle];
    int left = slot.names.fetch_sub(1) - 1;
    release.closeNumber = fd != handle;
    if (fd == handle && left > 0) slot.numberClosed = true;
    if (left <= 0) {
        slot.names = 0;
        slot.numberClosed = false;
        release.closeHandle = handle;
    }
    return release;
}

bool table_handle_shared(int fd) {
    if (!in_range(fd)) return false;
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.handlePlusOne[fd].load() - 1 == fd && t.sockets[fd].names.load() > 1;
}

void table_set_nonblocking(int handle, bool on) {
    if (in_range(handle)) table().sockets[handle].nonBlocking = on;
}

void table_note_shutdown(int handle, int how) {
    if (!in_range(handle)) return;
    HandleSlot& slot = table().sockets[handle];
    if (how == 0 || how == 2) slot.receiveShut = true;
    if (how == 1 || how == 2) slot.sendShut = true;
}

}  // namespace qf::live

namespace qf::live {

void table_note_timeout(int handle, bool receive, bool set) {
    if (!in_range(handle)) return;
    HandleSlot& slot = table().sockets[handle];
    (receive ? slot.receiveTimeout : slot.sendTimeout) = set;
}

}  // namespace qf::live
