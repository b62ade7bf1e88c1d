// The program's descriptors that name routed sockets (Linux side). A routed socket is a Winsock
// socket; its handle is a descriptor, and the program may hold further names for it (dup). The
// Winsock handle is closed when the last name goes; until then a handle number the program has
// closed stays held, so that no other descriptor takes it.
#pragma once

namespace qf::live {

// Descriptors at or above this number are never routed (a socket made there is refused).
constexpr int kMaxRouted = 1 << 16;

enum class FdKind {
    Kernel,  // not a routed socket: the C library's own call serves it
    Routed,  // a name of a routed socket
    Held,    // a handle number the program has closed while other names of its socket live
};

struct RoutedSocket {
    int handle = -1;
    bool stream = false;
    bool nonBlocking = false;  // as the program set it (the kernel socket itself never blocks)
    bool receiveShut = false;  // the program shut down its own receiving or sending side
    bool sendShut = false;
    bool receiveTimeout = false;  // the program set SO_RCVTIMEO / SO_SNDTIMEO
    bool sendTimeout = false;
};

// What fd is; for a routed socket its state in out. Lock-free (every read and write asks).
FdKind table_classify(int fd, RoutedSocket& out);
FdKind table_classify(int fd);

// A new Winsock socket whose handle the program now holds.
void table_add(int handle, bool stream, bool nonBlocking);
// fd (a new descriptor from dup) also names the socket of handle.
void table_alias(int fd, int handle);

struct Release {
    bool routed = false;       // fd named a routed socket
    bool closeNumber = false;  // the caller closes fd itself (a name other than the handle)
    int closeHandle = -1;      // the Winsock socket to close: fd was its last name
};
// Forgets fd as a name of its socket.
Release table_release(int fd);

// Whether fd is a socket's handle number that other names of the socket still need.
bool table_handle_shared(int fd);

void table_set_nonblocking(int handle, bool on);
// how: 0 receive, 1 send, 2 both.
void table_note_shutdown(int handle, int how);
void table_note_timeout(int handle, bool receive, bool set);

}  // namespace qf::live
