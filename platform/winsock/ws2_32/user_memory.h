// Whether a caller's memory can be used (Linux side): every application call that takes a
// pointer asks here before it reads or writes through it, so that a bad pointer answers
// WSAEFAULT, as Winsock does, instead of faulting inside the runtime or a provider.
#pragma once

#include <cstddef>

namespace qf::ws2 {

// The ranges one call uses, probed together with one kernel call (for a few pages each).
// NULL, unmapped and inaccessible pages cannot be used; an empty range always can. A range to
// be written is probed by copying one byte of each of its pages onto itself, as Windows' probe
// for writing does, so its contents stay as they are.
class UserMemory {
public:
    UserMemory& read(const void* address, size_t length) { return add(address, length, false); }
    UserMemory& write(void* address, size_t length) { return add(address, length, true); }
    bool usable();

private:
    struct Range {
        const void* address;
        size_t length;
        bool write;
    };
    static constexpr size_t kRanges = 16;  // kept until usable(); more are probed as they come
    UserMemory& add(const void* address, size_t length, bool write);
    bool probe_kept();
    Range ranges_[kRanges];
    size_t count_ = 0;
    bool usable_ = true;
};

inline bool user_readable(const void* address, size_t length) { return UserMemory().read(address, length).usable(); }
inline bool user_writable(void* address, size_t length) { return UserMemory().write(address, length).usable(); }

// The length of a caller's zero-terminated text of characters of charSize bytes (1 or 2), read
// no further than max characters; false when the text cannot be read up to its end or is longer.
bool user_text_length(const void* text, size_t charSize, size_t max, size_t& length);

}  // namespace qf::ws2
