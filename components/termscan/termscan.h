/* termscan: matching of text against the word, phrase and site lists.
 *
 * Entries. A slot holds one entry up to its terminator, at most 179 characters (a slot without a
 * terminator is cut there). Letters compare without regard to ASCII case. White space and the
 * wildcard at either end are trimmed; an entry with nothing else is ignored (empty, "*").
 * Repeated entries count once. A count below 0 reads nothing and one above 4096 (the largest
 * capacity) reads 4096 slots: the caller's table must hold the slots its count names.
 *
 * Word characters are the ASCII letters and digits and the bytes 0x80-0xFF; every other byte
 * separates words. White space is space, tab, CR, LF, VT and FF.
 *
 * Content (termscan_process with nameFlag 0, termscan_process_containsword):
 * - An entry that begins (ends) with a word character matches only where no word character
 *   comes before (after) it: "sex" does not match inside "Essex" or "sex4you".
 * - The wildcard at the start or end of an entry stands for the rest of the word there, which may
 *   be empty: "porn*" matches "porn" and "pornography", "*porn" matches "porn" and "kiddieporn".
 *   Inside an entry it is an ordinary character.
 * - Each run of white space in an entry (a phrase) matches any run of one or more white space
 *   characters: "hate speech" matches "hate\t\n  speech".
 * - contentFlag and port do not change the rules.
 *
 * Host names (termscan_process with nameFlag 1): an entry without its wildcards matches anywhere
 * in the name: "sex" matches "www.freesexshop.com".
 *
 * Counting: each occurrence counts once per entry that it matches, so a word matched by two
 * entries counts twice. An entry with a wildcard at one end counts once per word it matches; one
 * with wildcards at both ends ("*porn*") counts each occurrence of its text. The counter never
 * wraps: it stops at 0xFFFFFFFF.
 *
 * Containment (termscan_search_containsword; the text is a host name, a Host header value or an
 * address text; it ends at its first NUL within the length). The text is compared without case,
 * surrounding white space, a trailing dot or a ":port".
 * - Site entries are those with a dot, slash or colon. Only the host part counts: a scheme
 *   ("http://"), a path, a port and a leading "*." or "." are dropped. A site entry matches a name
 *   that equals it or ends in "." followed by it: "badsite.com" matches "badsite.com" and
 *   "www.badsite.com", not "notbadsite.com" nor "badsite.com.example.net".
 * - An address text (digits and dots with at least one dot) is contained only in an entry that is
 *   exactly that address; no other entry matches an address text.
 * - Any other entry is a word and matches anywhere in a name, as with nameFlag 1. A site entered
 *   without a dot is therefore matched as a word.
 *
 * Compilation. Each table is compiled on first use into an automaton (cached, shared by all
 * threads), so a scan costs the same per byte whatever the number of entries. A table is known by
 * its address, count and a fingerprint of its entries (every entry of a table of up to 64, 64
 * entries spread over a larger one); a table must not change while it is being scanned. All
 * functions are safe to call from any number of threads at once. */
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
