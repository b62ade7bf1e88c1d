// The records' way into their table: one connection per process, under the queue's store lock.
#include "pending_table.h"

#include <new>

#include "dbdir.h"
#include "qfatomic.h"
#include "qfdb.h"
#include "stamp.h"

namespace {

// A store opens without waiting for another writer (the queue tries again with its store lock
// released); a read or Init waits.
bool open_locked(PendingTable* table, bool wait) {
    if (table->db) return true;
    table->db = (wait ? qfdb_open : qfdb_open_now)(table->layout->file, table->layout->schema);
    if (!table->db) return false;
    if (sqlite3_prepare_v2(table->db, table->layout->insertSql, -1, &table->insert, NULL) != SQLITE_OK) {
        sqlite3_close_v2(table->db);
        table->db = NULL;
        table->insert = NULL;
        return false;
    }
    qf_atomic_store(&table->placeKnown, (LONG)1);
    return true;
}

void close_locked(PendingTable* table) {
    sqlite3_finalize(table->insert);
    sqlite3_close_v2(table->db);
    table->insert = NULL;
    table->db = NULL;
    qf_atomic_store(&table->placeKnown, (LONG)0);
}

// The queue's store: the records in one transaction, all or none. A busy database is not waited
// for (the queue tries again with its store lock released).
int store_records(void* context, const void* const* records, int count) {
    PendingTable* table = static_cast<PendingTable*>(context);
    if (!open_locked(table, false) || qfdb_begin_write(table->db, 0) != SQLITE_OK) return 0;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        table->layout->bind(table->insert, records[i], table->program);
        ok = sqlite3_step(table->insert) == SQLITE_DONE;
        sqlite3_reset(table->insert);
        sqlite3_clear_bindings(table->insert);
    }
    return qfdb_end_write(table->db, ok) == SQLITE_OK ? 1 : 0;
}

// In a fork's child: the connection is the parent's.
void forget_connection(void* context) {
    PendingTable* table = static_cast<PendingTable*>(context);
    table->db = NULL;
    table->insert = NULL;
}

}  // namespace

PendingTable* pending_table_create(const PendingTableLayout* layout) {
    PendingTable* table = new (std::nothrow) PendingTable();
    if (!table) return NULL;
    table->layout = layout;
    stamp_program(table->program, sizeof(table->program));
    PendingSink sink = {store_records, forget_connection, table, layout->module, layout->recordSize, layout->capacity};
    table->queue = pending_create(&sink);
    return table;
}

int pending_table_submit(PendingTable* table, const void* record) {
    if (!table || !table->queue) return 0;
    if (!qf_atomic_load(&table->placeKnown)) {
        char path[256];
        if (!dbdir_path(table->layout->file, path, sizeof(path)) || !dbdir_ensure_folder(table->layout->file)) return 0;
        qf_atomic_store(&table->placeKnown, (LONG)1);
    }
    return pending_submit(table->queue, record);
}

int pending_table_open(PendingTable* table) {
    if (!table || !table->queue) return 0;
    pending_lock(table->queue);
    bool ready = open_locked(table, true);
    pending_unlock(table->queue);
    return ready ? 1 : 0;
}

int pending_table_lock_for_reading(PendingTable* table, DWORD flushMs) {
    if (!table || !table->queue) return 0;
    pending_flush(table->queue, flushMs);
    pending_lock(table->queue);
    if (open_locked(table, true)) return 1;
    pending_unlock(table->queue);
    return 0;
}

void pending_table_unlock(PendingTable* table) { pending_unlock(table->queue); }

void pending_table_close(PendingTable* table, DWORD flushMs) {
    if (!table || !table->queue) return;
    pending_flush(table->queue, flushMs);
    pending_lock(table->queue);
    close_locked(table);
    pending_unlock(table->queue);
}
