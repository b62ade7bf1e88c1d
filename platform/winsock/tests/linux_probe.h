// Looks at a socket handle with the kernel's eyes (Linux side of the tests).
#pragma once

namespace wstest {

// The local port of the IPv4 socket behind fd; -1 when fd names no IPv4 socket.
int kernel_local_port(int fd);
// Whether fd is an open descriptor.
bool descriptor_open(int fd);
// Whether the kernel's poll sees fd readable within timeoutMs.
bool kernel_readable(int fd, int timeoutMs);
// Closes fd behind the runtime's back.
void close_descriptor(int fd);
// Whether fd names a socket.
bool descriptor_is_socket(int fd);
// Closes standard descriptor fd for a while; the destructor puts it back.
class ClosedStandardDescriptor {
public:
    explicit ClosedStandardDescriptor(int fd);
    ~ClosedStandardDescriptor();
    ClosedStandardDescriptor(const ClosedStandardDescriptor&) = delete;
    ClosedStandardDescriptor& operator=(const ClosedStandardDescriptor&) = delete;

private:
    int fd_;
    int saved_;
};
// A kernel socket that the runtime never sees (-1 on failure).
int open_kernel_socket();

}  // namespace wstest
