/* Winsock 2 declarations of the stand-in, laid out as the Windows ABI has them.
 *
 * glibc's <sys/types.h> and <sys/select.h> declare u_long, fd_set, struct timeval and select()
 * with their Unix shapes, and the stand-in's own sources include them too. They are included
 * here first, so that either order works, and Winsock's own versions live under names of their own
 * (WS_u_long, WS_fd_set, WS_timeval) behind macros, so product code writes the Windows names.
 * The functions that share a name with a C library function (socket, connect, send, select, ...)
 * have C++ linkage: they overload the C library's declarations instead of replacing the C
 * library's symbols for every other library in the process. */
#ifndef QF_WINSOCK2_H
#define QF_WINSOCK2_H

#include "windows.h"

#include <sys/select.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WSAAPI
#ifndef PASCAL
#define PASCAL
#endif
#ifndef FAR
#define FAR
#endif

/* Winsock's own integer names: u_long is 32-bit as on Windows. */
typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
typedef uint32_t WS_u_long;
#define u_long WS_u_long

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

typedef unsigned int GROUP;
typedef HANDLE WSAEVENT;
typedef WSAEVENT* LPWSAEVENT;

/* ---- Address families, socket types, protocols ---- */
#define AF_UNSPEC 0
#define AF_UNIX 1
#define AF_INET 2
#define AF_IPX 6
#define AF_NETBIOS 17
#define AF_INET6 23
#define AF_IRDA 26
#define AF_MAX 32
#define PF_UNSPEC AF_UNSPEC
#define PF_UNIX AF_UNIX
#define PF_INET AF_INET
#define PF_INET6 AF_INET6

#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define SOCK_RAW 3
#define SOCK_RDM 4
#define SOCK_SEQPACKET 5

#define IPPROTO_IP 0
#define IPPROTO_ICMP 1
#define IPPROTO_IGMP 2
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17
#define IPPROTO_RAW 255
#define IPPROTO_MAX 256

#define INADDR_ANY ((u_long)0x00000000)
#define INADDR_LOOPBACK 0x7f000001
#define INADDR_BROADCAST ((u_long)0xffffffff)
#define INADDR_NONE 0xffffffff

#define SOMAXCONN 0x7fffffff

/* ---- Addresses ---- */
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

typedef struct linger {
    u_short l_onoff;
    u_short l_linger;
} LINGER, *PLINGER, *LPLINGER;

/* ---- Buffers, overlapped operations ---- */
typedef struct _WSABUF {
    ULONG len;
    CHAR* buf;
} WSABUF, *LPWSABUF;

typedef OVERLAPPED WSAOVERLAPPED;
typedef LPOVERLAPPED LPWSAOVERLAPPED;
typedef void (CALLBACK* LPWSAOVERLAPPED_COMPLETION_ROUTINE)(DWORD dwError, DWORD cbTransferred,
                                                            LPWSAOVERLAPPED lpOverlapped, DWORD dwFlags);

/* ---- Messages (WSARecvMsg) ---- */
typedef struct _WSAMSG {
    LPSOCKADDR name;
    INT namelen;
    LPWSABUF lpBuffers;
    ULONG dwBufferCount;
    WSABUF Control;
    ULONG dwFlags;
} WSAMSG, *PWSAMSG, *LPWSAMSG;

/* ---- Quality of service (carried, never acted on) ---- */
typedef ULONG SERVICETYPE;
typedef struct _flowspec {
    ULONG TokenRate;
    ULONG TokenBucketSize;
    ULONG PeakBandwidth;
    ULONG Latency;
    ULONG DelayVariation;
    SERVICETYPE ServiceType;
    ULONG MaxSduSize;
    ULONG MinimumPolicedSize;
} FLOWSPEC, *PFLOWSPEC, *LPFLOWSPEC;

typedef struct _QualityOfService {
    FLOWSPEC SendingFlowspec;
    FLOWSPEC ReceivingFlowspec;
    WSABUF ProviderSpecific;
} QOS, *LPQOS;

/* ---- select() ---- */
#ifdef FD_SETSIZE
#undef FD_SETSIZE
#endif
#define FD_SETSIZE 64
#undef FD_SET
#undef FD_CLR
#undef FD_ISSET
#undef FD_ZERO

typedef struct WS_fd_set {
    u_int fd_count;
    SOCKET fd_array[FD_SETSIZE];
} WS_fd_set;
#define fd_set WS_fd_set
typedef fd_set FD_SET, *PFD_SET, *LPFD_SET;

typedef struct WS_timeval {
    LONG tv_sec;
    LONG tv_usec;
} WS_timeval;
#define timeval WS_timeval
typedef struct timeval TIMEVAL, *PTIMEVAL, *LPTIMEVAL;

int WSAAPI __WSAFDIsSet(SOCKET fd, fd_set* set);

static inline void qf_fd_clr(SOCKET fd, fd_set* set) {
    u_int i;
    for (i = 0; i < set->fd_count; ++i) {
        if (set->fd_array[i] == fd) {
            for (; i + 1 < set->fd_count; ++i) set->fd_array[i] = set->fd_array[i + 1];
            set->fd_count--;
            break;
        }
    }
}
static inline void qf_fd_set(SOCKET fd, fd_set* set) {
    u_int i;
    for (i = 0; i < set->fd_count; ++i)
        if (set->fd_array[i] == fd) return;
    if (set->fd_count < FD_SETSIZE) set->fd_array[set->fd_count++] = fd;
}
#define FD_CLR(fd, set) qf_fd_clr((SOCKET)(fd), (set))
#define FD_SET(fd, set) qf_fd_set((SOCKET)(fd), (set))
#define FD_ZERO(set) (((fd_set*)(set))->fd_count = 0)
#define FD_ISSET(fd, set) __WSAFDIsSet((SOCKET)(fd), (fd_set*)(set))

/* ---- Socket options ---- */
#define SOL_SOCKET 0xffff
#define SO_DEBUG 0x0001
#define SO_ACCEPTCONN 0x0002
#define SO_REUSEADDR 0x0004
#define SO_KEEPALIVE 0x0008
#define SO_DONTROUTE 0x0010
#define SO_BROADCAST 0x0020
#define SO_USELOOPBACK 0x0040
#define SO_LINGER 0x0080
#define SO_OOBINLINE 0x0100
#define SO_DONTLINGER ((int)(~SO_LINGER))
#define SO_EXCLUSIVEADDRUSE ((int)(~SO_REUSEADDR))
#define SO_SNDBUF 0x1001
#define SO_RCVBUF 0x1002
#define SO_SNDLOWAT 0x1003
#define SO_RCVLOWAT 0x1004
#define SO_SNDTIMEO 0x1005
#define SO_RCVTIMEO 0x1006
#define SO_ERROR 0x1007
#define SO_TYPE 0x1008
#define SO_GROUP_ID 0x2001
#define SO_GROUP_PRIORITY 0x2002
#define SO_MAX_MSG_SIZE 0x2003
#define SO_PROTOCOL_INFOA 0x2004
#define SO_PROTOCOL_INFOW 0x2005
#define SO_PROTOCOL_INFO SO_PROTOCOL_INFOA
#define PVD_CONFIG 0x3001
#define SO_CONDITIONAL_ACCEPT 0x3002

#define TCP_NODELAY 0x0001

#define MSG_OOB 0x1
#define MSG_PEEK 0x2
#define MSG_DONTROUTE 0x4
#define MSG_WAITALL 0x8
#define MSG_INTERRUPT 0x10
#define MSG_PARTIAL 0x8000
#define MSG_TRUNC 0x0100
#define MSG_CTRUNC 0x0200
#define MSG_MAXIOVLEN 16

#define SD_RECEIVE 0x00
#define SD_SEND 0x01
#define SD_BOTH 0x02

/* ---- ioctl codes ---- */
#define IOCPARM_MASK 0x7f
#define IOC_VOID 0x20000000
#define IOC_OUT 0x40000000
#define IOC_IN 0x80000000
#define IOC_INOUT (IOC_IN | IOC_OUT)
#define FIONREAD 0x4004667F  /* _IOR('f', 127, u_long) */
#define FIONBIO 0x8004667E   /* _IOW('f', 126, u_long) */
#define FIOASYNC 0x8004667D  /* _IOW('f', 125, u_long) */
#define SIOCATMARK 0x40047307 /* _IOR('s', 7, u_long) */

#define IOC_UNIX 0x00000000
#define IOC_WS2 0x08000000
#define IOC_PROTOCOL 0x10000000
#define IOC_VENDOR 0x18000000
#define _WSAIO(x, y) (IOC_VOID | (x) | (y))
#define _WSAIOR(x, y) (IOC_OUT | (x) | (y))
#define _WSAIOW(x, y) (IOC_IN | (x) | (y))
#define _WSAIORW(x, y) (IOC_INOUT | (x) | (y))
#define SIO_ASSOCIATE_HANDLE _WSAIOW(IOC_WS2, 1)
#define SIO_ENABLE_CIRCULAR_QUEUEING _WSAIO(IOC_WS2, 2)
#define SIO_FIND_ROUTE _WSAIOR(IOC_WS2, 3)
#define SIO_FLUSH _WSAIO(IOC_WS2, 4)
#define SIO_GET_BROADCAST_ADDRESS _WSAIOR(IOC_WS2, 5)
#define SIO_GET_EXTENSION_FUNCTION_POINTER _WSAIORW(IOC_WS2, 6)
#define SIO_GET_QOS _WSAIORW(IOC_WS2, 7)
#define SIO_GET_GROUP_QOS _WSAIORW(IOC_WS2, 8)
#define SIO_MULTIPOINT_LOOPBACK _WSAIOW(IOC_WS2, 9)
#define SIO_MULTICAST_SCOPE _WSAIOW(IOC_WS2, 10)
#define SIO_SET_QOS _WSAIOW(IOC_WS2, 11)
#define SIO_SET_GROUP_QOS _WSAIOW(IOC_WS2, 12)
#define SIO_TRANSLATE_HANDLE _WSAIORW(IOC_WS2, 13)
#define SIO_ROUTING_INTERFACE_QUERY _WSAIORW(IOC_WS2, 20)
#define SIO_ROUTING_INTERFACE_CHANGE _WSAIOW(IOC_WS2, 21)
#define SIO_ADDRESS_LIST_QUERY _WSAIOR(IOC_WS2, 22)
#define SIO_ADDRESS_LIST_CHANGE _WSAIO(IOC_WS2, 23)

/* ---- Network events (WSAEventSelect, WSAAsyncSelect) ---- */
#define FD_READ_BIT 0
#define FD_READ (1 << FD_READ_BIT)
#define FD_WRITE_BIT 1
#define FD_WRITE (1 << FD_WRITE_BIT)
#define FD_OOB_BIT 2
#define FD_OOB (1 << FD_OOB_BIT)
#define FD_ACCEPT_BIT 3
#define FD_ACCEPT (1 << FD_ACCEPT_BIT)
#define FD_CONNECT_BIT 4
#define FD_CONNECT (1 << FD_CONNECT_BIT)
#define FD_CLOSE_BIT 5
#define FD_CLOSE (1 << FD_CLOSE_BIT)
#define FD_QOS_BIT 6
#define FD_QOS (1 << FD_QOS_BIT)
#define FD_GROUP_QOS_BIT 7
#define FD_GROUP_QOS (1 << FD_GROUP_QOS_BIT)
#define FD_ROUTING_INTERFACE_CHANGE_BIT 8
#define FD_ROUTING_INTERFACE_CHANGE (1 << FD_ROUTING_INTERFACE_CHANGE_BIT)
#define FD_ADDRESS_LIST_CHANGE_BIT 9
#define FD_ADDRESS_LIST_CHANGE (1 << FD_ADDRESS_LIST_CHANGE_BIT)
#define FD_MAX_EVENTS 10
#define FD_ALL_EVENTS ((1 << FD_MAX_EVENTS) - 1)

typedef struct _WSANETWORKEVENTS {
    LONG lNetworkEvents;
    int iErrorCode[FD_MAX_EVENTS];
} WSANETWORKEVENTS, *LPWSANETWORKEVENTS;

#define WSAMAKEASYNCREPLY(buflen, error) MAKELONG(buflen, error)
#define WSAMAKESELECTREPLY(event, error) MAKELONG(event, error)
#define WSAGETASYNCBUFLEN(lParam) LOWORD(lParam)
#define WSAGETASYNCERROR(lParam) HIWORD(lParam)
#define WSAGETSELECTEVENT(lParam) LOWORD(lParam)
#define WSAGETSELECTERROR(lParam) HIWORD(lParam)

/* ---- Events ---- */
#define WSA_INVALID_EVENT ((WSAEVENT)NULL)
#define WSA_MAXIMUM_WAIT_EVENTS 64
#define WSA_WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define WSA_WAIT_EVENT_0 ((DWORD)0)
#define WSA_WAIT_IO_COMPLETION ((DWORD)0xC0)
#define WSA_WAIT_TIMEOUT ((DWORD)258)
#define WSA_INFINITE ((DWORD)0xFFFFFFFF)

/* ---- Protocol information ---- */
#define MAX_PROTOCOL_CHAIN 7
#define BASE_PROTOCOL 1
#define LAYERED_PROTOCOL 0

typedef struct _WSAPROTOCOLCHAIN {
    int ChainLen;
    DWORD ChainEntries[MAX_PROTOCOL_CHAIN];
} WSAPROTOCOLCHAIN, *LPWSAPROTOCOLCHAIN;

#define WSAPROTOCOL_LEN 255

typedef struct _WSAPROTOCOL_INFOA {
    DWORD dwServiceFlags1;
    DWORD dwServiceFlags2;
    DWORD dwServiceFlags3;
    DWORD dwServiceFlags4;
    DWORD dwProviderFlags;
    GUID ProviderId;
    DWORD dwCatalogEntryId;
    WSAPROTOCOLCHAIN ProtocolChain;
    int iVersion;
    int iAddressFamily;
    int iMaxSockAddr;
    int iMinSockAddr;
    int iSocketType;
    int iProtocol;
    int iProtocolMaxOffset;
    int iNetworkByteOrder;
    int iSecurityScheme;
    DWORD dwMessageSize;
    DWORD dwProviderReserved;
    CHAR szProtocol[WSAPROTOCOL_LEN + 1];
} WSAPROTOCOL_INFOA, *LPWSAPROTOCOL_INFOA;

typedef struct _WSAPROTOCOL_INFOW {
    DWORD dwServiceFlags1;
    DWORD dwServiceFlags2;
    DWORD dwServiceFlags3;
    DWORD dwServiceFlags4;
    DWORD dwProviderFlags;
    GUID ProviderId;
    DWORD dwCatalogEntryId;
    WSAPROTOCOLCHAIN ProtocolChain;
    int iVersion;
    int iAddressFamily;
    int iMaxSockAddr;
    int iMinSockAddr;
    int iSocketType;
    int iProtocol;
    int iProtocolMaxOffset;
    int iNetworkByteOrder;
    int iSecurityScheme;
    DWORD dwMessageSize;
    DWORD dwProviderReserved;
    WCHAR szProtocol[WSAPROTOCOL_LEN + 1];
} WSAPROTOCOL_INFOW, *LPWSAPROTOCOL_INFOW;

typedef WSAPROTOCOL_INFOA WSAPROTOCOL_INFO;
typedef LPWSAPROTOCOL_INFOA LPWSAPROTOCOL_INFO;

#define PFL_MULTIPLE_PROTO_ENTRIES 0x00000001
#define PFL_RECOMMENDED_PROTO_ENTRY 0x00000002
#define PFL_HIDDEN 0x00000004
#define PFL_MATCHES_PROTOCOL_ZERO 0x00000008

#define XP1_CONNECTIONLESS 0x00000001
#define XP1_GUARANTEED_DELIVERY 0x00000002
#define XP1_GUARANTEED_ORDER 0x00000004
#define XP1_MESSAGE_ORIENTED 0x00000008
#define XP1_PSEUDO_STREAM 0x00000010
#define XP1_GRACEFUL_CLOSE 0x00000020
#define XP1_EXPEDITED_DATA 0x00000040
#define XP1_CONNECT_DATA 0x00000080
#define XP1_DISCONNECT_DATA 0x00000100
#define XP1_SUPPORT_BROADCAST 0x00000200
#define XP1_SUPPORT_MULTIPOINT 0x00000400
#define XP1_MULTIPOINT_CONTROL_PLANE 0x00000800
#define XP1_MULTIPOINT_DATA_PLANE 0x00001000
#define XP1_QOS_SUPPORTED 0x00002000
#define XP1_INTERRUPT 0x00004000
#define XP1_UNI_SEND 0x00008000
#define XP1_UNI_RECV 0x00010000
#define XP1_IFS_HANDLES 0x00020000
#define XP1_PARTIAL_MESSAGE 0x00040000

#define BIGENDIAN 0x0000
#define LITTLEENDIAN 0x0001
#define SECURITY_PROTOCOL_NONE 0x0000

#define FROM_PROTOCOL_INFO (-1)

#define WSA_FLAG_OVERLAPPED 0x01
#define WSA_FLAG_MULTIPOINT_C_ROOT 0x02
#define WSA_FLAG_MULTIPOINT_C_LEAF 0x04
#define WSA_FLAG_MULTIPOINT_D_ROOT 0x08
#define WSA_FLAG_MULTIPOINT_D_LEAF 0x10
#define WSA_FLAG_NO_HANDLE_INHERIT 0x80

#define JL_SENDER_ONLY 0x01
#define JL_RECEIVER_ONLY 0x02
#define JL_BOTH 0x04

#define SG_UNCONSTRAINED_GROUP 0x01
#define SG_CONSTRAINED_GROUP 0x02

#define CF_ACCEPT 0x0000
#define CF_REJECT 0x0001
#define CF_DEFER 0x0002

typedef int (CALLBACK* LPCONDITIONPROC)(LPWSABUF lpCallerId, LPWSABUF lpCallerData, LPQOS lpSQOS, LPQOS lpGQOS,
                                        LPWSABUF lpCalleeId, LPWSABUF lpCalleeData, GROUP* g,
                                        DWORD_PTR dwCallbackData);

/* ---- WSAStartup ---- */
#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

/* The field order differs with the pointer width, as in Windows' own header: 64-bit Windows puts
 * the vendor pointer ahead of the texts. */
typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
#if UINTPTR_MAX > 0xffffffffu
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
#else
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
#endif
} WSADATA, *LPWSADATA;

/* ---- Host and service entries (gethostbyname, getservbyname) ----
 * Winsock's shapes, under names of their own as fd_set's (glibc's netdb.h has other shapes). */
typedef struct WS_hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
} WS_hostent;
#define hostent WS_hostent
#define h_addr h_addr_list[0]
typedef struct hostent HOSTENT, *PHOSTENT, *LPHOSTENT;

/* The field order of 32-bit Windows. */
typedef struct WS_servent {
    char* s_name;
    char** s_aliases;
    short s_port;
    char* s_proto;
} WS_servent;
#define servent WS_servent
typedef struct servent SERVENT, *PSERVENT, *LPSERVENT;

/* ---- WSAPoll ---- */
#if !defined(_WIN32_WINNT) || _WIN32_WINNT >= 0x0600
#define POLLRDNORM 0x0100
#define POLLRDBAND 0x0200
#define POLLIN (POLLRDNORM | POLLRDBAND)
#define POLLPRI 0x0400
#define POLLWRNORM 0x0010
#define POLLOUT (POLLWRNORM)
#define POLLWRBAND 0x0020
#define POLLERR 0x0001
#define POLLHUP 0x0002
#define POLLNVAL 0x0004

/* Windows' tag is pollfd; glibc's poll.h has its own, so the tag here is a name of its own. */
typedef struct WS_pollfd {
    SOCKET fd;
    SHORT events;
    SHORT revents;
} WSAPOLLFD, *PWSAPOLLFD, *LPWSAPOLLFD;
#endif

/* ---- Byte order ---- */
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the stand-in targets little-endian machines, as Windows does"
#endif
static inline u_short htons(u_short v) { return (u_short)((v << 8) | (v >> 8)); }
static inline u_short ntohs(u_short v) { return htons(v); }
static inline u_long htonl(u_long v) {
    return ((v & 0xffu) << 24) | ((v & 0xff00u) << 8) | ((v >> 8) & 0xff00u) | (v >> 24);
}
static inline u_long ntohl(u_long v) { return htonl(v); }

/* ---- The Winsock 2 functions of ws2_32 ---- */
int WSAAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
int WSAAPI WSACleanup(void);
int WSAAPI WSAGetLastError(void);
void WSAAPI WSASetLastError(int iError);
int WSAAPI WSACancelBlockingCall(void);

SOCKET WSAAPI WSASocketA(int af, int type, int protocol, LPWSAPROTOCOL_INFOA lpProtocolInfo, GROUP g, DWORD dwFlags);
SOCKET WSAAPI WSASocketW(int af, int type, int protocol, LPWSAPROTOCOL_INFOW lpProtocolInfo, GROUP g, DWORD dwFlags);
#define WSASocket WSASocketA
SOCKET WSAAPI WSAAccept(SOCKET s, struct sockaddr* addr, LPINT addrlen, LPCONDITIONPROC lpfnCondition,
                        DWORD_PTR dwCallbackData);
int WSAAPI WSAConnect(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                      LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS);
SOCKET WSAAPI WSAJoinLeaf(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                          LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS, DWORD dwFlags);
int WSAAPI closesocket(SOCKET s);
int WSAAPI ioctlsocket(SOCKET s, LONG cmd, u_long* argp);

int WSAAPI WSASend(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
                   LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine);
int WSAAPI WSASendTo(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent,
                     DWORD dwFlags, const struct sockaddr* lpTo, int iTolen, LPWSAOVERLAPPED lpOverlapped,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine);
int WSAAPI WSARecv(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd,
                   LPDWORD lpFlags, LPWSAOVERLAPPED lpOverlapped,
                   LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine);
int WSAAPI WSARecvFrom(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesRecvd,
                       LPDWORD lpFlags, struct sockaddr* lpFrom, LPINT lpFromlen, LPWSAOVERLAPPED lpOverlapped,
                       LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine);
int WSAAPI WSASendDisconnect(SOCKET s, LPWSABUF lpOutboundDisconnectData);
int WSAAPI WSARecvDisconnect(SOCKET s, LPWSABUF lpInboundDisconnectData);
BOOL WSAAPI WSAGetOverlappedResult(SOCKET s, LPWSAOVERLAPPED lpOverlapped, LPDWORD lpcbTransfer, BOOL fWait,
                                   LPDWORD lpdwFlags);
int WSAAPI WSAIoctl(SOCKET s, DWORD dwIoControlCode, LPVOID lpvInBuffer, DWORD cbInBuffer, LPVOID lpvOutBuffer,
                    DWORD cbOutBuffer, LPDWORD lpcbBytesReturned, LPWSAOVERLAPPED lpOverlapped,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine);
BOOL WSAAPI WSAGetQOSByName(SOCKET s, LPWSABUF lpQOSName, LPQOS lpQOS);

int WSAAPI WSAAsyncSelect(SOCKET s, HWND hWnd, u_int wMsg, LONG lEvent);
int WSAAPI WSAEventSelect(SOCKET s, WSAEVENT hEventObject, LONG lNetworkEvents);
int WSAAPI WSAEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents);
WSAEVENT WSAAPI WSACreateEvent(void);
BOOL WSAAPI WSACloseEvent(WSAEVENT hEvent);
BOOL WSAAPI WSASetEvent(WSAEVENT hEvent);
BOOL WSAAPI WSAResetEvent(WSAEVENT hEvent);
DWORD WSAAPI WSAWaitForMultipleEvents(DWORD cEvents, const WSAEVENT* lphEvents, BOOL fWaitAll, DWORD dwTimeout,
                                      BOOL fAlertable);

int WSAAPI WSADuplicateSocketA(SOCKET s, DWORD dwProcessId, LPWSAPROTOCOL_INFOA lpProtocolInfo);
int WSAAPI WSADuplicateSocketW(SOCKET s, DWORD dwProcessId, LPWSAPROTOCOL_INFOW lpProtocolInfo);
#define WSADuplicateSocket WSADuplicateSocketA

INT WSAAPI WSAAddressToStringA(LPSOCKADDR lpsaAddress, DWORD dwAddressLength, LPWSAPROTOCOL_INFOA lpProtocolInfo,
                               LPSTR lpszAddressString, LPDWORD lpdwAddressStringLength);
INT WSAAPI WSAAddressToStringW(LPSOCKADDR lpsaAddress, DWORD dwAddressLength, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                               LPWSTR lpszAddressString, LPDWORD lpdwAddressStringLength);
INT WSAAPI WSAStringToAddressA(LPSTR AddressString, INT AddressFamily, LPWSAPROTOCOL_INFOA lpProtocolInfo,
                               LPSOCKADDR lpAddress, LPINT lpAddressLength);
INT WSAAPI WSAStringToAddressW(LPWSTR AddressString, INT AddressFamily, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                               LPSOCKADDR lpAddress, LPINT lpAddressLength);
#define WSAAddressToString WSAAddressToStringA
#define WSAStringToAddress WSAStringToAddressA

#if !defined(_WIN32_WINNT) || _WIN32_WINNT >= 0x0600
int WSAAPI WSAPoll(LPWSAPOLLFD fdArray, ULONG fds, INT timeout);
#endif

int WSAAPI WSAEnumProtocolsA(LPINT lpiProtocols, LPWSAPROTOCOL_INFOA lpProtocolBuffer, LPDWORD lpdwBufferLength);
int WSAAPI WSAEnumProtocolsW(LPINT lpiProtocols, LPWSAPROTOCOL_INFOW lpProtocolBuffer, LPDWORD lpdwBufferLength);
#define WSAEnumProtocols WSAEnumProtocolsA

#ifdef __cplusplus
}  /* extern "C" */

/* Same names as C library functions: C++ linkage (see the top of this file). */
SOCKET WSAAPI socket(int af, int type, int protocol);
int WSAAPI bind(SOCKET s, const struct sockaddr* name, int namelen);
int WSAAPI listen(SOCKET s, int backlog);
SOCKET WSAAPI accept(SOCKET s, struct sockaddr* addr, int* addrlen);
int WSAAPI connect(SOCKET s, const struct sockaddr* name, int namelen);
int WSAAPI send(SOCKET s, const char* buf, int len, int flags);
int WSAAPI recv(SOCKET s, char* buf, int len, int flags);
int WSAAPI sendto(SOCKET s, const char* buf, int len, int flags, const struct sockaddr* to, int tolen);
int WSAAPI recvfrom(SOCKET s, char* buf, int len, int flags, struct sockaddr* from, int* fromlen);
int WSAAPI shutdown(SOCKET s, int how);
int WSAAPI select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const struct timeval* timeout);
int WSAAPI getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen);
int WSAAPI setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
int WSAAPI getpeername(SOCKET s, struct sockaddr* name, int* namelen);
int WSAAPI getsockname(SOCKET s, struct sockaddr* name, int* namelen);
u_long WSAAPI inet_addr(const char* cp);
char* WSAAPI inet_ntoa(struct in_addr in);
struct hostent* WSAAPI gethostbyname(const char* name);
int WSAAPI gethostname(char* name, int namelen);
struct servent* WSAAPI getservbyname(const char* name, const char* proto);

static_assert(sizeof(u_long) == 4, "u_long is 32-bit as on Windows");
static_assert(sizeof(struct sockaddr_in) == 16, "sockaddr_in is 16 bytes");
static_assert(sizeof(struct sockaddr) == 16, "sockaddr is 16 bytes");
static_assert(sizeof(WSAPROTOCOLCHAIN) == 32, "WSAPROTOCOLCHAIN is 32 bytes");
static_assert(sizeof(WSAPROTOCOL_INFOW) == 628, "WSAPROTOCOL_INFOW is 628 bytes");
static_assert(sizeof(WSAPROTOCOL_INFOA) == 372, "WSAPROTOCOL_INFOA is 372 bytes");
static_assert(sizeof(WSANETWORKEVENTS) == 44, "WSANETWORKEVENTS is 44 bytes");
static_assert(sizeof(struct timeval) == 8, "timeval holds two 32-bit longs");
static_assert(sizeof(SOCKET) == sizeof(void*) && sizeof(WSAEVENT) == sizeof(void*), "handles are pointer-sized");
static_assert(sizeof(WSADATA) == (sizeof(void*) == 8 ? 408 : 400), "WSADATA as Windows lays it out");
#endif

#endif
