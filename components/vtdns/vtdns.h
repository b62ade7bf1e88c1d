/* VTDns: DNS message routines (RFC 1035). Every message is hostile input: reads are
 * bounds-checked, compression pointers are followed a bounded number of times.
 *
 * A message is taken whole: the header, every question and every record its counts announce must
 * be present (bytes after the last record are ignored). A message behind the two-byte length of a
 * stream (DNS over TCP) is recognised as well. Names come out lower-cased, labels joined by dots,
 * the root name as empty text; a byte that is not printable ASCII comes out as '?', so the rest
 * of the name can still be matched and logged safely. */
#ifndef VTDNS_H
#define VTDNS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VTDNS_NAME_SIZE 255
#define VTDNS_MAX_ADDRESSES 32

/* Copies the name asked for by a query into name (a zeroed 255-byte buffer, at most 254
 * characters, labels joined by dots). 1 = a name was found; on bad input name stays empty. */
int vtdns_query_retrieve_name(const char* message, DWORD length, char* name);

/* Spoils the query in place, keeping its length, so that it can no longer resolve the name:
 * the label bytes of every question name are replaced by '-' (label lengths, counts and length
 * unchanged), giving a well-formed query for a name such as "---.-------.---" that cannot exist.
 * 1 = spoiled; 0 when the message is not a well-formed query with a non-root name. */
int vtdns_query_clean_name(char* message, DWORD length);

/* Copies the answered name (at most 254 characters) and the answer's IPv4 addresses (network
 * order, at most 32) into the caller's buffers. 1 = parsed; on bad input the count is 0. The name
 * is the question's name; the addresses come from A records (class IN) of the answer section
 * owned by that name or by a name it leads to through CNAME records, first 32 in message order.
 * Anything malformed gives 0, an empty name and a count of 0. */
int vtdns_response_retrieve_name_ipaddr(const char* message, DWORD length, char* name, INT* addressCount,
                                        DWORD* addresses);

#ifdef __cplusplus
}
#endif

#endif
