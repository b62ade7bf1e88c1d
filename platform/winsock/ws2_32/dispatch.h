// How an application call reaches the provider that owns a socket.
#pragma once

#include "providers.h"
#include "socket_table.h"

namespace qf::ws2 {

struct Target {
    std::shared_ptr<LoadedProvider> provider;
    SocketRecord record;
};

// Sets the Winsock error (WSAGetLastError) and returns SOCKET_ERROR.
inline int fail(int error) {
    SetLastError(static_cast<DWORD>(error));
    return SOCKET_ERROR;
}

// The provider that answers calls on s: the one that made it, else the provider of the catalog
// entry it was registered for. False with the error set (WSANOTINITIALISED, WSAENOTSOCK, ...).
bool resolve(SOCKET s, Target& target);

// Records that provider made s for the application (after WSPSocket, WSPAccept, WSPJoinLeaf); a
// handle the provider did not register is taken as a base socket of catalogEntryId.
void adopt(SOCKET s, const std::shared_ptr<LoadedProvider>& provider, DWORD catalogEntryId);

// Remembers the provider the calling thread used last.
void note_called(const std::shared_ptr<LoadedProvider>& provider);
// The provider WSACancelBlockingCall asks; null when the thread has called none.
std::shared_ptr<LoadedProvider> cancel_target();

}  // namespace qf::ws2
