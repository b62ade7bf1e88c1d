// File descriptor operations behind the socket handles that ws2_32 makes (Linux side). Results
// are a descriptor (>= 0) or minus a Winsock error code.
#pragma once

namespace qf::ws2 {

// A new descriptor for the same open socket (close-on-exec).
int fd_duplicate(int fd);
// A descriptor for a provider that has no kernel socket of its own: an unconnected local socket.
int fd_placeholder();
// Makes target name the socket that source names (target stays open throughout).
int fd_redirect(int source, int target);
void fd_close(int fd);
// Whether fd names an open descriptor.
bool fd_is_open(int fd);

}  // namespace qf::ws2
