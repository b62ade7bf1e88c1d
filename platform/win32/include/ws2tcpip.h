/* TCP/IP level socket options of Winsock 2. */
#ifndef QF_WS2TCPIP_H
#define QF_WS2TCPIP_H

#include "winsock2.h"

#ifdef __cplusplus
extern "C" {
#endif

/* IPPROTO_IP level */
#define IP_OPTIONS 1
#define IP_HDRINCL 2
#define IP_TOS 3
#define IP_TTL 4
#define IP_MULTICAST_IF 9
#define IP_MULTICAST_TTL 10
#define IP_MULTICAST_LOOP 11
#define IP_ADD_MEMBERSHIP 12
#define IP_DROP_MEMBERSHIP 13
#define IP_DONTFRAGMENT 14

typedef struct ip_mreq {
    struct in_addr imr_multiaddr;
    struct in_addr imr_interface;
} IP_MREQ, *PIP_MREQ;

#define INET_ADDRSTRLEN 22

#ifdef __cplusplus
}
#endif

#endif
