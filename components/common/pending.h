/* Records on their way into a database (log lines, alerts): the caller hands a record over and
 * goes on at once; a writer thread of the process stores the waiting records soon after, oldest
 * first, several in one transaction. So a caller never waits while another process holds the
 * database, and a record handed over is not lost while the process lives or when it ends. */
#ifndef QF_PENDING_H
#define QF_PENDING_H

#include <windows.h>

/* Where the records go.
 * store: writes records[0..count) (each recordSize bytes) in one transaction; 1 = all stored,
 *   0 = none stored (the database is busy or cannot be opened now): they are tried again a
 *   moment later. It runs under the queue's store lock (pending_lock) and does not wait for
 *   another writer: a busy database is answered with 0 at once, and the queue waits before the
 *   next try with the lock released. So the lock is held only while records are written, and a
 *   thread ended while it waits (on Windows, ExitProcess ends every other thread before the
 *   libraries' clean-up runs) does not leave it held for the end of the process.
 * forget: drops the owner's connection without closing it; called in the child of a fork, where
 *   the connection (and the records waiting in the parent) belong to the parent. May be NULL.
 * module: the library that store (and this queue's code) is part of, e.g. "vtlogger.dll". It is
 *   loaded once more (LoadLibraryA) before the writer thread starts and never freed: a thread
 *   must not outlive its code, and one cannot be waited for while the library is being unloaded
 *   (under the loader lock). So once it has a writer the library stays until the process ends.
 *   NULL for code that is never unloaded. */
typedef struct PendingSink {
    int (*store)(void* context, const void* const* records, int count);
    void (*forget)(void* context);
    void* context;
    const char* module;
    size_t recordSize;
    int capacity; /* how many records may wait at once; memory is taken as they come */
} PendingSink;

typedef struct PendingQueue PendingQueue;

/* A queue for sink (copied). It lives until the process ends. NULL when out of memory. */
PendingQueue* pending_create(const PendingSink* sink);

/* Copies record into the queue and wakes the writer thread, started on first use; never waits for
 * the database. 1 = queued; 0 = refused, capacity records are already waiting.
 * When no writer thread can be started, or after pending_close, the calling thread stores the
 * record (and those waiting before it) itself: 1 = stored, 0 = not stored and not kept. */
int pending_submit(PendingQueue* queue, const void* record);

/* Waits until every record handed over before the call has been stored, at most timeoutMs.
 * 1 = all stored. */
int pending_flush(PendingQueue* queue, DWORD timeoutMs);

/* The store lock: the owner's own use of the connection that store writes through (reading it,
 * opening or closing it) goes under this lock. */
void pending_lock(PendingQueue* queue);
void pending_unlock(PendingQueue* queue);

/* For the process's end (and the library's unload, which cannot come while a writer runs; see
 * PendingSink.module): stores what waits, within about timeoutMs, and stops the writer thread.
 * Records handed over afterwards are stored on the caller's thread. Calling it again does nothing. */
void pending_close(PendingQueue* queue, DWORD timeoutMs);

#endif
