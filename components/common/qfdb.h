/* SQLite databases under DBDIR, shared by many processes and threads at once. */
#ifndef QF_QFDB_H
#define QF_QFDB_H

#include <sqlite3.h>

#include <string>

/* Opens DBDIR + relative (e.g. "log\\access.db"), creating the file and its folder when missing,
 * in WAL mode with a busy timeout, and runs schema (SQL that must be safe to run again, e.g.
 * CREATE TABLE IF NOT EXISTS). The connection may be used from several threads.
 * A file that is not a sound SQLite database is moved aside to "<name>.damaged" and a new,
 * empty database is made in its place.
 * NULL when DBDIR cannot be read or the database cannot be opened. */
sqlite3* qfdb_open(const char* relative, const char* schema);

/* As qfdb_open, but without waiting for another connection that writes: NULL at once while one
 * does (for a store that must not wait; see PendingSink.store). The connection made waits for
 * other writers afterwards as qfdb_open's do. */
sqlite3* qfdb_open_now(const char* relative, const char* schema);

/* sqlite3_step that waits out other writers: on SQLITE_BUSY or SQLITE_LOCKED the statement is
 * reset (bindings stay) and stepped again, a bounded number of times. Returns the last result. */
int qfdb_step(sqlite3_stmt* statement);

/* Runs sql (one or more statements) the same way; SQLITE_OK when every statement ran. */
int qfdb_exec(sqlite3* db, const char* sql);

/* Begins a write transaction (BEGIN IMMEDIATE) waiting at most waitMs for other writers, not the
 * long wait of qfdb_step, for writers that would rather try again later: SQLITE_OK, or the error
 * (SQLITE_BUSY while another connection writes). */
int qfdb_begin_write(sqlite3* db, int waitMs);

/* Ends the transaction begun by qfdb_begin_write: commits it when commit is nonzero, else (or
 * when the commit fails) rolls it back. SQLITE_OK when committed. */
int qfdb_end_write(sqlite3* db, int commit);

/* A text column of the current row, "" for NULL. */
const char* qfdb_column_text(sqlite3_stmt* statement, int column);

#endif
