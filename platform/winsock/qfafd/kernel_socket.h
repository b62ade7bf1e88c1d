// The base provider's kernel sockets (Linux side). Everything here takes Winsock's numbers
// (families, types, levels, option names, flags, sockaddr bytes as Windows lays them out) and
// answers 0 or a Winsock error code; the conversion to and from Linux happens in this one place.
// Every descriptor is non-blocking: blocking calls are waits in the provider.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qf::afd {

struct IoBuffer {
    void* data;
    size_t length;
};

// Readiness, in Linux-neutral bits.
enum : unsigned { kReadable = 1, kWritable = 2, kPriority = 4, kHangup = 8, kError = 16, kPeerClosed = 32 };
// The kernel's poll bits for these events and back (epoll uses the same bit values).
unsigned kn_poll_bits(unsigned events);
unsigned kn_events_of_poll_bits(unsigned bits);

int kn_socket(int af, int type, int protocol, int& fd);
int kn_bind(int fd, const void* address, int length);
// Starts a connection; WSAEWOULDBLOCK when it is in progress.
int kn_connect(int fd, const void* address, int length);
// The outcome of a connection that was in progress (reads and clears the socket's error).
int kn_pending_error(int fd);
int kn_listen(int fd, int backlog);
// WSAEWOULDBLOCK when no connection is waiting. address/length may be null.
int kn_accept(int fd, int& accepted, void* address, int* length);
// sent/received count bytes. flags are MSG_* of Winsock; *flags gets MSG_PARTIAL etc. on return.
int kn_send(int fd, const IoBuffer* buffers, int count, int flags, const void* to, int toLength, size_t& sent);
int kn_recv(int fd, const IoBuffer* buffers, int count, int* flags, void* from, int* fromLength, size_t& received);
int kn_shutdown(int fd, int how);
int kn_local_name(int fd, void* address, int* length);
int kn_peer_name(int fd, void* address, int* length);
int kn_get_option(int fd, int level, int name, void* value, int* length);
int kn_set_option(int fd, int level, int name, const void* value, int length);
int kn_bytes_readable(int fd, uint32_t& bytes);
int kn_at_mark(int fd, bool& atMark);
// Waits up to timeoutMs (-1: no limit) for any of the events; ready gets what happened (0: none).
int kn_wait(int fd, unsigned events, int timeoutMs, unsigned& ready);
struct PollItem {
    int fd;
    unsigned events;
    unsigned ready;
};
int kn_poll(PollItem* items, size_t count, int timeoutMs, int& readyCount);
void kn_close(int fd);
// Makes target name the socket that source names and closes source (AcceptEx).
int kn_replace(int source, int target);
// Whether the first byte waiting is the end of the stream (0), data (1), nothing yet (2) or an error (<0: -error).
int kn_peek_state(int fd);

}  // namespace qf::afd
