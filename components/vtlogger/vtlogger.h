/* VTLogger: the access log. Entries (time, kind, port, text, program) are kept in a database
 * under DBDIR "log\"; many processes may append at once. */
#ifndef VTLOGGER_H
#define VTLOGGER_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Prepares the log; any number of calls is harmless. 1 = ready. */
int VTLogger_Init(void);
/* kind: "WARNING", "INFORM", "BLOCK", "DENY", "ALLOW", "FETCH" or ""; port: remote port or 0;
 * text: at most 254 characters (longer texts are cut).
 * Never waits for the database: the line is queued and a writer thread of the process stores it
 * soon after, in the order of submission; lines still waiting when the process ends are stored
 * then (for a few seconds at most), and once the log has a writer thread the library stays loaded
 * until then. The readers below (ReadEntries, DumpLog, FlushLog) and Free first wait for this
 * process's waiting lines (a few seconds at most).
 * 1 = stored or queued for storing; 0 = refused: DBDIR cannot be read or its "log" folder cannot
 * be made, or 16384 lines are already waiting (the database has been kept busy for long). */
int VTLogger_Submit(const char* kind, int port, const char* text);
/* Writes the whole log to a new text file, one line per entry, time first, and puts the file's
 * full path into path (a 255-byte buffer). 1 = written. */
int VTLogger_DumpLog(char* path);
/* Erases every entry. 1 = done. */
int VTLogger_FlushLog(void);
/* Stores this process's waiting lines (waiting a few seconds at most) and releases what Init
 * acquired. */
void VTLogger_Free(void);

/* Reading the log back, for tools and tests. The log is the SQLite database DBDIR
 * "log\access.db", table entries(id, time, kind, port, text, program); ids grow with every
 * entry and are never reused, also after VTLogger_FlushLog. */
typedef struct VTLogEntry {
    INT id;
    CHAR time[20];     /* local time "YYYY-MM-DD hh:mm:ss" */
    CHAR kind[16];
    INT port;
    CHAR text[255];
    CHAR program[255]; /* the submitting program (GetModuleFileNameA) */
} VTLogEntry;

/* Copies up to capacity entries whose id is greater than afterId, oldest first.
 * Result: the number copied, or -1 when the log cannot be read. */
int VTLogger_ReadEntries(INT afterId, VTLogEntry* entries, int capacity);

#ifdef __cplusplus
}
#endif

#endif
