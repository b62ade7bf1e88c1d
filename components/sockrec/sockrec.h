/* sockrec: the table of inspected sockets. The caller owns the table (2048 slots) and its count.
 * Safe when many threads use the table at once; a record's address stays valid until that
 * socket's record is deleted, or while it is held (sockrec_hold). A full table refuses new records.
 *
 * Records never move: a deleted record's slot is marked free (socket INVALID_SOCKET) and reused.
 * The count is a high-water mark: every record lies in the first count slots, some of which may
 * be free; it falls back when the top slots are freed (to 0 once the table is empty). Only the
 * library writes the count; a caller that sets it to 0 empties the table. */
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
/* 1 = stored; 0 = the table is full, the socket already has a record (which is kept as it is),
 * or the socket is INVALID_SOCKET. Blocked flag and counter start at 0, the cleaning state at
 * the five values given (the callers pass 0). */
int sockrec_add(SocketRecord* table, INT* count, SOCKET socket, WORD port, DWORD address, WORD transferFlag,
                WORD state1, WORD state2, WORD state3, WORD state4, WORD state5);
/* 1 = found; *record then points at the table's own record (NULL when not found). */
int sockrec_retrieve(SocketRecord* table, INT count, SOCKET socket, SocketRecord** record);
/* As sockrec_retrieve, and the record is held until sockrec_release: while it is held its slot
 * is not given to another socket, also when the socket's record is deleted meanwhile (a deleted
 * record is found by no look-up; its slot is freed when the last hold ends). */
int sockrec_hold(SocketRecord* table, INT count, SOCKET socket, SocketRecord** record);
/* Ends a hold of sockrec_hold. 1 = released; 0 = the record was not held. */
int sockrec_release(SocketRecord* table, const SocketRecord* record);
/* 1 = deleted; 0 = the socket had no record (nothing changes). */
int sockrec_delete(SocketRecord* table, INT* count, SOCKET socket);
/* 1 = the record's blocked flag is now 1 (stored atomically: another thread may read it); 0 = the
 * socket has no record. */
int sockrec_blacklist(SocketRecord* table, INT count, SOCKET socket);

#ifdef __cplusplus
}
#endif

#endif
