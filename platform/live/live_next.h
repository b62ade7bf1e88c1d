// The definitions the preload library stands in front of: the C library's own (found with
// dlsym(RTLD_NEXT)), for every descriptor that is not a routed socket.
#pragma once

#include <netdb.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

namespace qf::live::next {

int socket(int domain, int type, int protocol);
int connect(int fd, const sockaddr* address, socklen_t length);
int bind(int fd, const sockaddr* address, socklen_t length);
int listen(int fd, int backlog);
int accept4(int fd, sockaddr* address, socklen_t* length, int flags);
int shutdown(int fd, int how);
int close(int fd);
int close_range(unsigned first, unsigned last, int flags);
int dup(int fd);
int dup3(int fd, int target, int flags);  // flags 0 behaves as dup2 (target == fd allowed)
int fcntl(int fd, int command, long argument);
int ioctl(int fd, unsigned long request, void* argument);
int getsockopt(int fd, int level, int name, void* value, socklen_t* length);
int setsockopt(int fd, int level, int name, const void* value, socklen_t length);
int getpeername(int fd, sockaddr* address, socklen_t* length);
int getsockname(int fd, sockaddr* address, socklen_t* length);
ssize_t send(int fd, const void* buffer, size_t length, int flags);
ssize_t recv(int fd, void* buffer, size_t length, int flags);
ssize_t sendto(int fd, const void* buffer, size_t length, int flags, const sockaddr* to, socklen_t toLength);
ssize_t recvfrom(int fd, void* buffer, size_t length, int flags, sockaddr* from, socklen_t* fromLength);
ssize_t sendmsg(int fd, const msghdr* message, int flags);
ssize_t recvmsg(int fd, msghdr* message, int flags);
int sendmmsg(int fd, mmsghdr* messages, unsigned count, int flags);
int recvmmsg(int fd, mmsghdr* messages, unsigned count, int flags, struct timespec* timeout);
ssize_t read(int fd, void* buffer, size_t length);
ssize_t write(int fd, const void* buffer, size_t length);
ssize_t readv(int fd, const iovec* vector, int count);
ssize_t writev(int fd, const iovec* vector, int count);
ssize_t read_chk(int fd, void* buffer, size_t length, size_t bufferLength);
ssize_t recv_chk(int fd, void* buffer, size_t length, size_t bufferLength, int flags);
ssize_t recvfrom_chk(int fd, void* buffer, size_t length, size_t bufferLength, int flags, sockaddr* from,
                     socklen_t* fromLength);
ssize_t sendfile(int out, int in, off_t* offset, size_t count);
ssize_t splice(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t length, unsigned flags);
int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result);
hostent* gethostbyname2(const char* name, int family);
int gethostbyname2_r(const char* name, int family, hostent* entry, char* buffer, size_t length, hostent** result,
                     int* hostError);

}  // namespace qf::live::next
