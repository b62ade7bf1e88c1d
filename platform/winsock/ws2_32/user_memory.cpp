// Probing a caller's memory (Linux side): the kernel copies one byte of every page of the ranges
// with process_vm_readv on this process and reports a fault as an error instead of a signal.
// A range inside the part of the calling thread's stack that is in use (its callers' frames, such
// as an overlapped structure or a byte count held in a local) is usable without asking.
#include "user_memory.h"

#include <errno.h>
#include <pthread.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdint>

namespace qf::ws2 {
namespace {

const size_t kBatch = 256;  // pages per kernel call (below IOV_MAX)

size_t page_size() {
    static const size_t size = [] {
        long value = sysconf(_SC_PAGESIZE);
        return value > 0 ? static_cast<size_t>(value) : static_cast<size_t>(4096);
    }();
    return size;
}

// One byte of each page: copied into a scratch buffer (read) or onto itself (write).
class Prober {
public:
    bool add(uintptr_t address, bool write) {
        if (count_ == kBatch && !flush()) return false;
        remote_[count_] = iovec{reinterpret_cast<void*>(address), 1};
        local_[count_] = write ? remote_[count_] : iovec{&scratch_[count_], 1};
        ++count_;
        return true;
    }
    bool flush() {
        if (count_ == 0) return true;
        ssize_t copied = process_vm_readv(getpid(), local_, count_, remote_, count_, 0);
        bool ok = copied == static_cast<ssize_t>(count_) ||
                  (copied < 0 && (errno == ENOSYS || errno == EPERM));  // cannot tell: trust the caller
        count_ = 0;
        return ok;
    }

private:
    char scratch_[kBatch];
    iovec remote_[kBatch], local_[kBatch];
    size_t count_ = 0;
};

// The calling thread's stack as [low, high); both 0 when it cannot be told.
struct ThreadStack {
    uintptr_t low = 0;
    uintptr_t high = 0;
    ThreadStack() {
        pthread_attr_t attributes;
        if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
        void* base = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attributes, &base, &size) == 0 && base) {
            low = reinterpret_cast<uintptr_t>(base);
            high = low + size;
        }
        pthread_attr_destroy(&attributes);
    }
};

// Whether the range lies between this frame and the top of the thread's stack: memory that the
// thread's callers are using, always mapped and writable. A thread running on a stack of its own
// making (not the one it was started with) is not recognised and is probed as usual.
__attribute__((noinline)) bool in_callers_frames(uintptr_t start, size_t length) {
    static thread_local const ThreadStack stack;
    const char here = 0;
    const uintptr_t frame = reinterpret_cast<uintptr_t>(&here);
    if (frame < stack.low || frame >= stack.high) return false;
    return start > frame && length <= stack.high - start;
}

}  // namespace

UserMemory& UserMemory::add(const void* address, size_t length, bool write) {
    if (length == 0) return *this;
    const uintptr_t start = reinterpret_cast<uintptr_t>(address);
    if (start != 0 && start + length > start && in_callers_frames(start, length)) return *this;
    if (count_ == kRanges) usable_ = probe_kept() && usable_;
    ranges_[count_++] = Range{address, length, write};
    return *this;
}

bool UserMemory::usable() { return probe_kept() && usable_; }

bool UserMemory::probe_kept() {
    const uintptr_t page = page_size();
    Prober prober;
    size_t count = count_;
    count_ = 0;
    for (size_t i = 0; i < count; ++i) {
        uintptr_t start = reinterpret_cast<uintptr_t>(ranges_[i].address);
        if (start == 0 || start + ranges_[i].length < start) return false;  // NULL, or a range that wraps
        uintptr_t last = start + ranges_[i].length - 1;
        for (uintptr_t at = start;;) {
            if (!prober.add(at, ranges_[i].write)) return false;
            uintptr_t next = (at & ~(page - 1)) + page;
            if (next > last || next == 0) break;
            at = next;
        }
    }
    return prober.flush();
}

bool user_text_length(const void* text, size_t charSize, size_t max, size_t& length) {
    // Page by page: each is probed before its characters are looked at.
    const unsigned char* p = static_cast<const unsigned char*>(text);
    const size_t page = page_size();
    size_t count = 0;
    for (;;) {
        uintptr_t at = reinterpret_cast<uintptr_t>(p);
        size_t chunk = page - (at & (page - 1));
        chunk -= chunk % charSize;
        if (chunk == 0) chunk = charSize;  // a character across a page boundary
        if (!user_readable(p, chunk)) return false;
        for (size_t i = 0; i + charSize <= chunk; i += charSize, ++count) {
            bool zero = charSize == 1 ? p[i] == 0 : (p[i] == 0 && p[i + 1] == 0);
            if (zero) {
                length = count;
                return true;
            }
            if (count == max) return false;
        }
        p += chunk;
    }
}

}  // namespace qf::ws2
