/* VTDns: DNS message routines (RFC 1035). Every message is hostile input: reads are
 * bounds-checked, compression pointers are followed a bounded number of times. */
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

/* Spoils the query in place, keeping its length, so that it can no longer resolve the name.
 * 1 = spoiled. */
int vtdns_query_clean_name(char* message, DWORD length);

/* Copies the answered name (at most 254 characters) and the answer's IPv4 addresses (network
 * order, at most 32) into the caller's buffers. 1 = parsed; on bad input the count is 0. */
int vtdns_response_retrieve_name_ipaddr(const char* message, DWORD length, char* name, INT* addressCount,
                                        DWORD* addresses);

#ifdef __cplusplus
}
#endif

#endif
