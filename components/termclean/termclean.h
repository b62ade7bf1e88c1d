/* termclean: removes topic words and disallowed words from inbound web data in place. */
#ifndef TERMCLEAN_H
#define TERMCLEAN_H

#include <windows.h>
#include <termscan.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Replaces every matched word by '*' characters of the same length; the length never changes.
 * The five state words belong to one connection (all 0 at its start) and carry a match that
 * spans two chunks. */
int termclean_process(char* data, DWORD length, const TermSlot* topics, INT topicCount,
                      const TermSlot* words, INT wordCount, WORD port, WORD* state1, WORD* state2,
                      WORD* state3, WORD* state4, WORD* state5);

#ifdef __cplusplus
}
#endif

#endif
