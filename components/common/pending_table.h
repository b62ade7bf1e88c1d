/* A table of a database under DBDIR that records reach through the process's pending queue (the
 * access log, the alert spool): the queue, its one connection, opened by the first store or read,
 * and the table's prepared insert. */
#ifndef QF_PENDING_TABLE_H
#define QF_PENDING_TABLE_H

#include <windows.h>

#include <sqlite3.h>

#include "pending.h"

struct PendingTableLayout {
    const char* file;       /* under DBDIR, e.g. "log\\access.db" */
    const char* schema;     /* run on every open: CREATE TABLE IF NOT EXISTS ... */
    const char* insertSql;  /* one row from one record */
    /* Binds one waiting record, and the path of the program that made it, to the insert. */
    void (*bind)(sqlite3_stmt* insert, const void* record, const char* program);
    const char* module; /* see PendingSink.module */
    size_t recordSize;
    int capacity;
};

struct PendingTable {
    const PendingTableLayout* layout;
    PendingQueue* queue;  /* NULL when it could not be made: every call then fails */
    char program[255];    /* the running program, set when the table is made */
    /* Under the queue's store lock: */
    sqlite3* db;
    sqlite3_stmt* insert;
    /* 1 once DBDIR has been read and the database's folder found, so that a submit reads the
     * registry once, not for every record. */
    LONG placeKnown;
};

/* Made on the caller's thread (the program's path is read here, not by the writer: the clean-up at
 * the process's end waits for the writer and may hold the loader lock, which reading it takes).
 * Lives until the process ends. */
PendingTable* pending_table_create(const PendingTableLayout* layout);

/* Hands record over to be stored: 1 = queued (or stored), 0 = DBDIR cannot be read, the queue
 * is full, or the record could not be stored. */
int pending_table_submit(PendingTable* table, const void* record);

/* Opens the connection now: 1 = the database can be written. */
int pending_table_open(PendingTable* table);

/* For a read or an erase: waits up to flushMs for this process's records to be stored, then takes
 * the store lock with the connection open. 0 (and nothing held) when it cannot be opened. */
int pending_table_lock_for_reading(PendingTable* table, DWORD flushMs);
void pending_table_unlock(PendingTable* table);

/* Stores this process's records (waiting up to flushMs) and closes the connection; the next store
 * or read opens it again. */
void pending_table_close(PendingTable* table, DWORD flushMs);

#endif
