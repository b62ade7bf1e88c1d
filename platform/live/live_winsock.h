// The preload library's way into the Winsock stand-in, in numbers neither side's headers own:
// results are 0 or a Winsock error code, handles are the Winsock socket handles (descriptors),
// addresses are IPv4 sockaddr bytes (Windows and Linux lay sockaddr_in out alike). Only
// live_winsock.cpp sees the Winsock headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qf::live {

struct LwBuffer {
    void* data;
    size_t length;
};

// The most buffers one transfer hands to Winsock; the rest wait for a later call, as a partial
// transfer does (a datagram in more pieces is gathered into one first).
constexpr int kLwMaxBuffers = 64;

// Transfer flags in the library's own bits; live_winsock.cpp turns them into MSG_*.
enum : unsigned { kLwOob = 1, kLwPeek = 2, kLwDontRoute = 4, kLwWaitAll = 8 };
enum class LwType { Stream, Datagram };

// WSAStartup, once per process (later calls answer the first one's result).
int lw_start();
// Whether filtering is on: the provider key exists (read by lw_start, as Winsock reads its catalog).
bool lw_filtering_on();

int lw_socket(LwType type, int protocol, int& handle);
int lw_bind(int s, const void* address, int length);
int lw_listen(int s, int backlog);
// WSAEWOULDBLOCK on a non-blocking socket whose connection is under way.
int lw_connect(int s, const void* address, int length);
int lw_accept(int s, void* address, int* length, int& accepted);
int lw_send(int s, const LwBuffer* buffers, int count, unsigned flags, const void* to, int toLength, size_t& sent);
// truncated: a datagram longer than the buffers filled them (received counts what they hold).
int lw_recv(int s, const LwBuffer* buffers, int count, unsigned flags, void* from, int* fromLength,
            size_t& received, bool& truncated);
// how: 0 receive, 1 send, 2 both.
int lw_shutdown(int s, int how);
int lw_close(int s);
int lw_peer_name(int s, void* address, int* length);
int lw_local_name(int s, void* address, int* length);
// The outcome of a connection that was under way (SO_ERROR): a Winsock error code in wsError.
int lw_pending_error(int s, int& wsError);
// SO_RCVTIMEO / SO_SNDTIMEO in milliseconds (0: no limit).
int lw_get_timeout(int s, bool receive, uint32_t& ms);
int lw_set_timeout(int s, bool receive, uint32_t ms);
int lw_set_nonblocking(int s, bool on);
int lw_bytes_readable(int s, uint32_t& bytes);

// What a host name stands for: its official name, its other names, its IPv4 addresses (network
// order), at most as many as a Winsock host entry holds.
struct LwHost {
    std::string name;
    std::vector<std::string> aliases;
    std::vector<uint32_t> addresses;
};
enum class LwLookup { Found, NoSuchName, NoAddress, TryAgain, Failed };
// Looks name up in the text of a hosts file, read as the stand-in reads the machine's own.
bool lw_hosts_lookup(const char* data, size_t length, const char* name, LwHost& host);
// Resolves name as Winsock's gethostbyname does: the machine's hosts file and own names, then the
// machine's name server over a Winsock datagram socket (through the installed chains).
LwLookup lw_resolve(const char* name, LwHost& host);

}  // namespace qf::live
