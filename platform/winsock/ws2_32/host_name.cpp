// The machine's own host name from the kernel (Linux side).
#include "host_name.h"

#include <sys/utsname.h>

#include <cstring>

namespace qf::ws2 {

bool host_name(char* out, size_t size) {
    utsname names;
    if (uname(&names) != 0) return false;
    size_t length = strnlen(names.nodename, sizeof(names.nodename));
    if (length == 0 || length >= size) return false;
    std::memcpy(out, names.nodename, length);
    out[length] = 0;
    return true;
}

}  // namespace qf::ws2
