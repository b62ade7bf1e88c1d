#include "overlapped_completion.h"

#include <qf/completion_port.h>

namespace qf::ws {

void complete_overlapped(SOCKET s, LPWSAOVERLAPPED overlapped, DWORD error, DWORD bytes, bool atOnce) {
    HANDLE event = overlapped->hEvent;  // read before the application may reuse the structure
    overlapped->InternalHigh = bytes;
    __atomic_store_n(&overlapped->Internal, static_cast<ULONG_PTR>(error), __ATOMIC_RELEASE);
    ULONG_PTR eventBits = reinterpret_cast<ULONG_PTR>(event);
    if (event) SetEvent(reinterpret_cast<HANDLE>(eventBits & ~static_cast<ULONG_PTR>(1)));
    if (eventBits & 1) return;
    if (atOnce && error == 0 && qf::completion_port_skips_on_success(reinterpret_cast<HANDLE>(s))) return;
    qf::completion_port_complete(reinterpret_cast<HANDLE>(s), bytes, overlapped, error);
}

}  // namespace qf::ws
