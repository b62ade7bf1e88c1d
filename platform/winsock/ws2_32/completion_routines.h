// The completion routines that applications give with overlapped calls on handles of layered
// providers: WPUCompleteOverlappedRequest runs them through an APC to the calling thread, so a
// provider can complete every request the same way.
#pragma once

#include <ws2spi.h>

namespace qf::ws2 {

// Before an overlapped call on s goes to its provider: remembers the routine and the caller's
// thread for the overlapped structure, or forgets an earlier one when there is no routine now.
void routine_note(SOCKET s, LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                  const WSATHREADID* thread);
// At completion: runs the remembered routine (true), or tells there is none (false).
bool routine_complete(SOCKET s, LPWSAOVERLAPPED overlapped, DWORD error, DWORD bytes);
// When s goes away, or (INVALID_SOCKET) at the last clean-up.
void routine_forget(SOCKET s);

}  // namespace qf::ws2
