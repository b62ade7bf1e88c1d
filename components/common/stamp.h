/* What the log and the alert spool record with each entry: when, and which program. */
#ifndef QF_STAMP_H
#define QF_STAMP_H

#include <windows.h>

#define STAMP_TIME_SIZE 20

/* The local time as "YYYY-MM-DD hh:mm:ss" (19 characters and the terminator). */
void stamp_local_time(char out[STAMP_TIME_SIZE]);

/* The running program's full name (GetModuleFileNameA), cut to fit size bytes; "" if unknown. */
void stamp_program(char* out, DWORD size);

/* Copies at most size - 1 bytes of text (NULL counts as "") and terminates; never spills. */
void stamp_copy(char* out, size_t size, const char* text);

#endif
