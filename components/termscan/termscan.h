/* termscan: matching of text against the word, phrase and site lists.
 *
 * Matching is ASCII case-insensitive. An entry may carry the wildcard character at its start or
 * end, which then matches any run of letters there. In content, words match on word boundaries and
 * phrases across any run of white space; inside a host name (nameFlag 1) words match anywhere.
 * Site entries match a host name on label boundaries ("badsite.com" matches "www.badsite.com",
 * not "notbadsite.com") and an address text exactly. */
#ifndef TERMSCAN_H
#define TERMSCAN_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TERMSCAN_SLOT_SIZE 180
#define TERMSCAN_WORD_CAPACITY 1024
#define TERMSCAN_TOPIC_CAPACITY 4096
#define TERMSCAN_PHRASE_CAPACITY 512
#define TERMSCAN_SITE_CAPACITY 512
#define TERMSCAN_CONTAINED 2001

/* One list entry: a zero-terminated text in a 180-byte slot. */
typedef CHAR TermSlot[TERMSCAN_SLOT_SIZE];

/* Fills the six tables (capacities 1024, 4096, 512, 512, 512, 512) and their counts: the user's
 * lists from the dictionary (types 0 and 1 -> words, 5 -> phrases, 2 -> disallowed sites,
 * 3 -> unchanged sites, 4 -> cleaning sites) and the words of the topics selected in the topic
 * list from the topic word dictionary. Never more entries than a table holds. */
int termscan_init(TermSlot* words, INT* wordCount, TermSlot* topics, INT* topicCount,
                  TermSlot* phrases, INT* phraseCount, TermSlot* disallowedSites, INT* disallowedSiteCount,
                  TermSlot* unchangedSites, INT* unchangedSiteCount, TermSlot* cleaningSites,
                  INT* cleaningSiteCount);

/* 2001 when the zero-terminated name or address text contains an entry of the table. */
int termscan_search_containsword(const char* text, int length, const TermSlot* table, INT count);

/* Adds the number of entries found in the data to *counter. */
int termscan_process_containsword(const char* text, DWORD length, const TermSlot* table, INT count,
                                  WORD port, DWORD* counter, char wildcard);

/* The same for topic words; contentFlag 1 for inbound web content, nameFlag 1 for a host name. */
int termscan_process(const char* text, DWORD length, const TermSlot* table, INT count, WORD port,
                     int contentFlag, int nameFlag, DWORD* counter, char wildcard);

#ifdef __cplusplus
}
#endif

#endif
