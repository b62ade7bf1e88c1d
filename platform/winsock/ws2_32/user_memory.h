// Whether a caller's memory can be used (Linux side): every application call that takes a
// pointer asks here before it reads or writes through it, so that a bad pointer answers
// WSAEFAULT, as Winsock does, instead of faulting inside the runtime or a provider.
#pragma once

#include <cstddef>

namespace qf::ws2 {

// Whether length bytes from address can be read: NULL, unmapped and inaccessible pages cannot.
// An empty range always can.
bool user_readable(const void* address, size_t length);
// Whether they can be written as well. The probe copies one byte of each page onto itself, as
// Windows' probe for writing does, so the range's contents stay as they are.
bool user_writable(void* address, size_t length);

// The length of a caller's zero-terminated text of characters of charSize bytes (1 or 2), read
// no further than max characters; false when the text cannot be read up to its end or is longer.
bool user_text_length(const void* text, size_t charSize, size_t max, size_t& length);

}  // namespace qf::ws2
