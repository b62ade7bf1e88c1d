/* VTList: the stored list of filter topics, one 804-byte record in the file ixplor64.dll of the
 * system directory. */
#ifndef VTLIST_H
#define VTLIST_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VTLIST_ENTRIES 20
#define VTLIST_NAME_SIZE 30

typedef struct TopicEntry {
    INT id;                       /* topic number; -1 when not in use */
    CHAR name[VTLIST_NAME_SIZE];  /* zero-terminated, at most 29 characters */
    BYTE reserved[2];
    INT enabled;                  /* 1 = selected for filtering */
} TopicEntry;

typedef struct TopicRecord {
    INT count; /* topics in use (entries 0 to count-1); -1 in an empty record */
    TopicEntry entries[VTLIST_ENTRIES];
} TopicRecord;

/* Empties the record. */
int vtlist_init(TopicRecord* record);
/* 1 = the file was opened and read; 0 = it could not be opened (record untouched). */
int vtlist_read(TopicRecord* record);
/* 1 = written; 0 = the file could not be opened. Either way the record is left in stored form. */
int vtlist_write(TopicRecord* record);
/* Writes the factory topics; the record is left holding them in plain form. 1 = written. */
int vtlist_regen(TopicRecord* record);

#ifdef __cplusplus
}
static_assert(sizeof(TopicEntry) == 40, "TopicEntry is 40 bytes");
static_assert(sizeof(TopicRecord) == 804, "TopicRecord is 804 bytes");
#endif

#endif
