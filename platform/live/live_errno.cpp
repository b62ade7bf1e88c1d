// Winsock error -> errno by reading the stand-in's errno -> Winsock table backwards, so that the
// two directions never disagree.
#include "live_errno.h"

#include "ws_errno.h"

#include <errno.h>

#include <winerror.h>

#include <mutex>
#include <utility>
#include <vector>

namespace qf::live {
namespace {

constexpr int kLastErrno = 255;  // above every errno value Linux defines

// Where several errno values give one Winsock code, the program is told the one the socket
// interface itself reports: the highest-numbered (ECONNRESET over EPIPE, ENOBUFS over ENOMEM,
// EOPNOTSUPP over ENOSYS, EACCES over EPERM, EMFILE over ENFILE, ENOTSOCK over EBADF).
const std::vector<std::pair<int, int>>& reverse_table() {
    static std::vector<std::pair<int, int>>* table = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        table = new std::vector<std::pair<int, int>>;
        for (int e = kLastErrno; e >= 1; --e) {
            int ws = qf::ws::ws_error_from_errno(e);
            if (ws == WSASYSCALLFAILURE) continue;
            bool known = false;
            for (const auto& entry : *table) known = known || entry.first == ws;
            if (!known) table->emplace_back(ws, e);
        }
    });
    return *table;
}

}  // namespace

int errno_from_ws_error(int wsError) {
    if (wsError == WSAEWOULDBLOCK) return EAGAIN;
    // A Winsock that cannot start leaves the program no network.
    if (wsError == WSASYSNOTREADY || wsError == WSANOTINITIALISED || wsError == WSAEPROVIDERFAILEDINIT) return ENETDOWN;
    for (const auto& entry : reverse_table())
        if (entry.first == wsError) return entry.second;
    return EIO;
}

}  // namespace qf::live
