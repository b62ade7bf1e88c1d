/* Winsock 2 declarations of the stand-in, laid out as the Windows ABI has them. */
#ifndef QF_WINSOCK2_H
#define QF_WINSOCK2_H

#include "windows.h"

#ifdef __cplusplus
extern "C" {
#endif

#define WSAAPI

/* Winsock's own integer names: u_long is 32-bit as on Windows. The C library may already have
 * declared a pointer-wide u_long (it does so in <stdlib.h>, included by windows.h), so Winsock's
 * is its own type under a name of its own. */
typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
typedef uint32_t WS_u_long;
#define u_long WS_u_long

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define AF_UNSPEC 0
#define AF_INET 2
#define AF_INET6 23
#define PF_UNSPEC AF_UNSPEC
#define PF_INET AF_INET
#define PF_INET6 AF_INET6

#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define SOCK_RAW 3
#define SOCK_RDM 4
#define SOCK_SEQPACKET 5

#define IPPROTO_IP 0
#define IPPROTO_ICMP 1
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17
#define IPPROTO_RAW 255

#define INADDR_ANY ((u_long)0x00000000)
#define INADDR_LOOPBACK 0x7f000001
#define INADDR_BROADCAST ((u_long)0xffffffff)
#define INADDR_NONE 0xffffffff

typedef struct in_addr {
    union {
        struct { u_char s_b1, s_b2, s_b3, s_b4; } S_un_b;
        struct { u_short s_w1, s_w2; } S_un_w;
        u_long S_addr;
    } S_un;
} IN_ADDR, *PIN_ADDR, *LPIN_ADDR;
#define s_addr S_un.S_addr

typedef struct sockaddr {
    u_short sa_family;
    char sa_data[14];
} SOCKADDR, *PSOCKADDR, *LPSOCKADDR;

typedef struct sockaddr_in {
    short sin_family;
    u_short sin_port;
    struct in_addr sin_addr;
    char sin_zero[8];
} SOCKADDR_IN, *PSOCKADDR_IN, *LPSOCKADDR_IN;

typedef struct _WSABUF {
    ULONG len;
    CHAR* buf;
} WSABUF, *LPWSABUF;

typedef OVERLAPPED WSAOVERLAPPED;
typedef LPOVERLAPPED LPWSAOVERLAPPED;

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the stand-in targets little-endian machines, as Windows does"
#endif
static inline u_short htons(u_short v) { return (u_short)((v << 8) | (v >> 8)); }
static inline u_short ntohs(u_short v) { return htons(v); }
static inline u_long htonl(u_long v) {
    return ((v & 0xffu) << 24) | ((v & 0xff00u) << 8) | ((v >> 8) & 0xff00u) | (v >> 24);
}
static inline u_long ntohl(u_long v) { return htonl(v); }

#ifdef __cplusplus
static_assert(sizeof(u_long) == 4, "u_long is 32-bit as on Windows");
static_assert(sizeof(struct sockaddr_in) == 16, "sockaddr_in is 16 bytes");
static_assert(sizeof(struct sockaddr) == 16, "sockaddr is 16 bytes");
#endif

#ifdef __cplusplus
}
#endif

#endif
