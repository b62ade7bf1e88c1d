/* Lexstore: the dictionary of the user's three lists. One key per entry, unique across the
 * lists and compared without regard to case, with a type code:
 * 0 wildcard word, 1 word, 2 blocked site, 3 site allowed unchanged, 4 search-engine site
 * allowed with cleaning, 5 phrase. Results: 1 = success or found. */
#ifndef LEXSTORE_H
#define LEXSTORE_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LEXS_KEY_SIZE 48
#define LEXS_VALUE_SIZE 45
#define LEXS_BATCH 51
#define LEXS_STATE_END (-100)

enum EntryType {
    WildcardWord = 0,
    Word = 1,
    BlockedSite = 2,
    AllowedSite = 3,
    CleanedSearchSite = 4,
    Phrase = 5
};

/* One entry of a batch: 56 bytes. */
typedef struct LexRecord {
    CHAR key[LEXS_KEY_SIZE]; /* zero-terminated */
    INT type;
    INT aux;
} LexRecord;

int lexs_openit(void);
/* Fills records[0..last] with the next batch of up to 51 entries (last = -1 when the batch is
 * empty); state and aux carry the position between calls (0 before the first). The call that
 * hands out the final batch sets state to -100; a call after that answers 0.
 * Keys are 1 to 47 characters: insert refuses a longer key rather than cutting it. */
int lexs_readallkeys(LexRecord* records, INT* last, INT* state, INT* aux);
/* value: a zeroed 45-byte buffer the library may fill. 1 = the key is present. */
int lexs_retrievedb(char* value, const char* key, INT* type, INT* aux);
int lexs_insertdb(const char* value, const char* key, INT type, INT aux);
int lexs_deletekey(const char* value, const char* key);
int lexs_closedbase(void);

#ifdef __cplusplus
}
static_assert(sizeof(LexRecord) == 56, "LexRecord is 56 bytes");
#endif

#endif
