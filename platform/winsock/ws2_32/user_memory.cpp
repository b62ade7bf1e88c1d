// Probing a caller's memory (Linux side): the kernel copies one byte of every page of the range
// with process_vm_readv on this process and reports a fault as an error instead of a signal.
#include "user_memory.h"

#include <errno.h>
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

// Reads one byte of each page of the range, into a scratch buffer (read) or onto itself (write).
bool probe(const void* address, size_t length, bool write) {
    if (length == 0) return true;
    uintptr_t start = reinterpret_cast<uintptr_t>(address);
    if (start == 0 || start + length < start) return false;  // NULL, or a range that wraps
    const uintptr_t last = start + length - 1;
    const size_t page = page_size();
    char scratch[kBatch];
    iovec remote[kBatch], local[kBatch];
    uintptr_t next = start;
    for (;;) {
        size_t count = 0;
        while (count < kBatch) {
            remote[count] = iovec{reinterpret_cast<void*>(next), 1};
            local[count] = write ? remote[count] : iovec{&scratch[count], 1};
            ++count;
            uintptr_t following = (next & ~static_cast<uintptr_t>(page - 1)) + page;
            if (following > last || following == 0) {
                next = 0;
                break;
            }
            next = following;
        }
        ssize_t copied = process_vm_readv(getpid(), local, count, remote, count, 0);
        if (copied < 0 && (errno == ENOSYS || errno == EPERM)) return true;  // cannot tell: trust the caller
        if (copied != static_cast<ssize_t>(count)) return false;
        if (next == 0) return true;
    }
}

}  // namespace

bool user_readable(const void* address, size_t length) { return probe(address, length, false); }

bool user_writable(void* address, size_t length) { return probe(address, length, true); }

bool user_text_length(const void* text, size_t charSize, size_t max, size_t& length) {
    // Page by page: each is probed before its characters are looked at.
    const unsigned char* p = static_cast<const unsigned char*>(text);
    const size_t page = page_size();
    size_t count = 0;
    while (count <= max) {
        uintptr_t at = reinterpret_cast<uintptr_t>(p);
        size_t chunk = page - (at & (page - 1));
        chunk -= chunk % charSize;
        if (chunk == 0) chunk = charSize;  // a character across a page boundary
        if (!probe(p, chunk, false)) return false;
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
    return false;
}

}  // namespace qf::ws2
