// Scanning data against the lists, and what a block does to a socket and its address.
#pragma once

// winsock2.h first: Windows' own headers want it before windows.h.
#include <winsock2.h>
#include <windows.h>

#include <sockrec.h>
#include <termscan.h>

// The disallowed phrases, topic words and disallowed words found in the data (contentFlag is 1
// for inbound web content only).
DWORD filter_scan(const char* data, DWORD length, WORD port, int contentFlag);

// Scans the data and adds what it finds to the socket's violation counter in one atomic step
// (a send and a receive on the socket may scan at once); returns the counter afterwards.
DWORD filter_scan_socket(SocketRecord* record, const char* data, DWORD length, WORD port, int contentFlag);

// The name or address text is contained in an entry of a site or word table (2001 from the
// list matcher).
bool filter_name_in(const char* name, const TermSlot* table, INT count);

// Topic words found in a host name (the name form of the topic scan).
DWORD filter_topic_hits_in_name(const char* name, WORD port);

// Overwrites the data with spaces, so no part of it can leave or reach the program.
void filter_blank(char* data, DWORD length);

// Blanks the data, blocks the socket for good and marks its address as disallowed.
void filter_block_socket(const SocketRecord* record, char* data, DWORD length);
