// The socket handles of the process and what they stand for. Every handle is a real file
// descriptor: a base provider's kernel socket (registered with WPUModifyIFSHandle), or a handle
// made by WPUCreateSocketHandle for a layered provider, which is a duplicate of the base socket
// that the provider's chain created on the same thread (so poll and epoll work on it), or a
// placeholder descriptor when the chain created none.
#pragma once

#include <ws2spi.h>

#include <cstdint>
#include <memory>

namespace qf::ws2 {

struct LoadedProvider;

struct SocketRecord {
    bool layered = false;  // made by WPUCreateSocketHandle; ws2_32 owns the descriptor
    DWORD catalogEntryId = 0;
    DWORD_PTR context = 0;
    uint64_t generation = 0;             // unique per registration: tells a reused descriptor number apart
    SOCKET base = INVALID_SOCKET;        // layered: the base socket it duplicates (none for a placeholder)
    uint64_t baseGeneration = 0;
    std::shared_ptr<LoadedProvider> owner;  // the provider that the application's calls go to
};

// WPUModifyIFSHandle: registers a base provider's kernel socket. Registering a handle that is
// already registered as a base socket means its kernel socket was replaced (AcceptEx): every
// layered handle duplicated from it is pointed at the new socket.
SOCKET table_register_base(DWORD catalogEntryId, SOCKET handle, int& error);
// WPUCreateSocketHandle.
SOCKET table_create_layered(DWORD catalogEntryId, DWORD_PTR context, int& error);
// WPUQuerySocketHandleContext: only handles made by WPUCreateSocketHandle have a context.
int table_query_context(SOCKET handle, DWORD_PTR& context);
// WPUCloseSocketHandle: forgets the handle, then closes its descriptor.
int table_close(SOCKET handle);

bool table_find(SOCKET handle, SocketRecord& record);
// Names the provider that the application's calls on handle go to (when the record is still the one
// of the given generation).
void table_set_owner(SOCKET handle, uint64_t generation, const std::shared_ptr<LoadedProvider>& owner);
// After a provider closed a handle successfully: drops the record if the provider left it there.
void table_forget_closed(SOCKET handle, uint64_t generation);
// At the last WSACleanup: closes the descriptors ws2_32 made and forgets every handle.
void table_clear();

// Brackets an application call that may create sockets (socket, accept, WSAJoinLeaf): a base
// socket registered inside it is what a layered handle made inside it duplicates. Outside of such
// calls the same holds on the thread until the next such call begins.
class CreationScope {
public:
    CreationScope();
    ~CreationScope();
    CreationScope(const CreationScope&) = delete;
    CreationScope& operator=(const CreationScope&) = delete;
};

}  // namespace qf::ws2
