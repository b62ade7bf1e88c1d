/* sockrec: the table of inspected sockets. The caller owns the table (2048 slots) and its count.
 * Safe when many threads use different sockets at once; a record's address stays valid until that
 * socket's record is deleted. A full table refuses new records. */
#ifndef SOCKREC_H
#define SOCKREC_H

#include <winsock2.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SOCKREC_CAPACITY 2048

typedef struct SocketRecord {
    SOCKET socket;
    WORD port;            /* host order */
    DWORD address;        /* remote IPv4 address, network order */
    WORD blockedFlag;
    WORD transferFlag;
    DWORD violationCount;
    WORD cleanState[5];   /* cleaner state carried from chunk to chunk */
} SocketRecord;

int sockrec_init(void);
/* 1 = stored; 0 = the table is full. Blocked flag and counter start at 0, the cleaning state at
 * the five values given (the callers pass 0). */
int sockrec_add(SocketRecord* table, INT* count, SOCKET socket, WORD port, DWORD address, WORD transferFlag,
                WORD state1, WORD state2, WORD state3, WORD state4, WORD state5);
/* 1 = found; *record then points at the table's own record. */
int sockrec_retrieve(SocketRecord* table, INT count, SOCKET socket, SocketRecord** record);
int sockrec_delete(SocketRecord* table, INT* count, SOCKET socket);
int sockrec_blacklist(SocketRecord* table, INT count, SOCKET socket);

#ifdef __cplusplus
}
#endif

#endif
