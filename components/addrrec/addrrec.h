/* addrrec: the table of remote IPv4 addresses seen, with their list status and host name.
 * The caller owns the table (2048 slots) and its count. Safe when many threads use it at once;
 * a record's address stays valid until that address's record is deleted or replaced, or while it
 * is held (addrrec_hold). A full table gives a new address the slot of the record added longest
 * ago (slots are given up in turn, held records passed over).
 *
 * Records never move: a deleted record's slot is marked free (status 0xFFFF) and reused. The
 * count is a high-water mark: every record lies in the first count slots, some of which may be
 * free; it falls back when the top slots are freed (to 0 once the table is empty). Only the
 * library writes the count; a caller that sets it to 0 empties the table. */
#ifndef ADDRREC_H
#define ADDRREC_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ADDRREC_CAPACITY 2048
#define ADDRREC_HOSTNAME_SIZE 192

#define ADDRESS_STATUS_DISALLOWED 0
#define ADDRESS_STATUS_UNCHANGED 1
#define ADDRESS_STATUS_INSPECT 2
#define ADDRESS_CLEAN_ALWAYS 1
#define ADDRESS_CLEAN_NO 2

typedef struct AddressRecord {
    DWORD address;                      /* network order */
    WORD status;                        /* 0 disallowed, 1 allowed unchanged, 2 neither */
    CHAR hostName[ADDRREC_HOSTNAME_SIZE]; /* zero-terminated, empty while unknown */
    WORD cleaningFlag;                  /* 1 always clean, 2 no */
} AddressRecord;

int addrrec_init(void);
/* 1 = stored (in a full table, in place of the oldest record not held); 0 = the address already
 * has a record (which is kept as it is), every record of a full table is held, or the status is
 * 0xFFFF. The host name is cut to the 191 characters that fit; NULL gives an
 * empty name. */
int addrrec_add(AddressRecord* table, INT* count, DWORD address, WORD status, const char* hostName,
                WORD cleaningFlag);
/* 1 = found; *record then points at the table's own record (NULL when not found). */
int addrrec_retrieve(AddressRecord* table, INT count, DWORD address, AddressRecord** record);
/* As addrrec_retrieve, and the record is held until addrrec_release: while it is held its slot
 * is not given to another address, neither by a full table nor after a delete (a deleted record
 * is found by no look-up; its slot is freed when the last hold ends). */
int addrrec_hold(AddressRecord* table, INT count, DWORD address, AddressRecord** record);
/* Ends a hold of addrrec_hold. 1 = released; 0 = the record was not held. */
int addrrec_release(AddressRecord* table, const AddressRecord* record);
/* 1 = deleted; 0 = the address had no record (nothing changes). */
int addrrec_delete(AddressRecord* table, INT* count, DWORD address);

#ifdef __cplusplus
}
#endif

#endif
