// Looks at a socket handle with the kernel's eyes (Linux side of the tests).
#pragma once

namespace wstest {

// The local port of the IPv4 socket behind fd; -1 when fd names no IPv4 socket.
int kernel_local_port(int fd);
// Whether fd is an open descriptor.
bool descriptor_open(int fd);
// Closes fd behind the runtime's back.
void close_descriptor(int fd);
// A kernel socket that the runtime never sees (-1 on failure).
int open_kernel_socket();

}  // namespace wstest
