// The machine's own host name (Linux side).
#pragma once

#include <cstddef>

namespace qf::ws2 {

// Writes the host name, zero-terminated, into out; false when it does not fit (or is unknown).
bool host_name(char* out, size_t size);

}  // namespace qf::ws2
