// VTMessage: alerts go to the spool DBDIR "log\alerts.db" through the process's queue of pending
// writes, whose writer thread stores them; the caller goes on at once, also while another process
// holds the spool.
#include "vtmessage.h"

#include <string.h>

#include "pending_table.h"
#include "qfatomic.h"
#include "qfdb.h"
#include "stamp.h"

namespace {

const char kFile[] = "log\\alerts.db";
const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS alerts("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " time TEXT NOT NULL, program TEXT NOT NULL, caption TEXT NOT NULL, text TEXT NOT NULL)";
const size_t kTextLimit = 254;
const int kWaitingAlerts = 4096;    // alerts that may wait for the spool at once
const DWORD kReadFlushMs = 3000;    // how long a read or Close waits for this process's alerts
const DWORD kEndFlushMs = 3000;     // how long the end of the process waits for them

// An alert as it waits; the program is the same for the whole process.
struct WaitingAlert {
    char time[STAMP_TIME_SIZE];
    char caption[kTextLimit + 1];
    char text[kTextLimit + 1];
};

void bind_alert(sqlite3_stmt* insert, const void* record, const char* program) {
    const WaitingAlert& alert = *static_cast<const WaitingAlert*>(record);
    sqlite3_bind_text(insert, 1, alert.time, -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, program, -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 3, alert.caption, -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 4, alert.text, -1, SQLITE_STATIC);
}

const PendingTableLayout kSpoolTable = {
    kFile, kSchema, "INSERT INTO alerts(time, program, caption, text) VALUES(?, ?, ?, ?)", bind_alert,
    "vtmessage.dll", sizeof(WaitingAlert), kWaitingAlerts};

PendingTable* g_spool = nullptr;  // the spool once made, for the flush at the process's end

PendingTable* the_spool() {
    static PendingTable* spool = [] {
        PendingTable* made = pending_table_create(&kSpoolTable);
        qf_atomic_store(&g_spool, made);
        return made;
    }();
    return spool;
}

// Stores the alerts still waiting when the process ends (the C++ run-time runs this from the
// library's detach on Windows, at exit here; once alerts have been queued the library is not
// unloaded before, see PendingSink.module).
struct StoreAtProcessEnd {
    ~StoreAtProcessEnd() {
        if (PendingTable* spool = qf_atomic_load(&g_spool)) pending_close(spool->queue, kEndFlushMs);
    }
} storeAtProcessEnd;

// Copies up to capacity alerts after afterId. Under the store lock.
int read_locked(PendingTable* spool, INT afterId, VTAlert* alerts, int capacity) {
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(spool->db,
                           "SELECT id, time, program, caption, text FROM alerts WHERE id > ? ORDER BY id LIMIT ?", -1,
                           &select, NULL) != SQLITE_OK)
        return -1;
    sqlite3_bind_int(select, 1, afterId);
    sqlite3_bind_int(select, 2, capacity);
    int copied = 0;
    int rc = qfdb_step(select);
    for (; rc == SQLITE_ROW && copied < capacity; rc = sqlite3_step(select), ++copied) {
        VTAlert& alert = alerts[copied];
        memset(&alert, 0, sizeof(alert));
        alert.id = sqlite3_column_int(select, 0);
        stamp_copy(alert.time, sizeof(alert.time), qfdb_column_text(select, 1));
        stamp_copy(alert.program, sizeof(alert.program), qfdb_column_text(select, 2));
        stamp_copy(alert.caption, sizeof(alert.caption), qfdb_column_text(select, 3));
        stamp_copy(alert.text, sizeof(alert.text), qfdb_column_text(select, 4));
    }
    sqlite3_finalize(select);
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? copied : -1;
}

}  // namespace

extern "C" {

void VTGenerateMsg(const char* caption, const char* text, ...) {
    WaitingAlert alert;
    stamp_local_time(alert.time);
    stamp_copy(alert.caption, sizeof(alert.caption), caption);
    stamp_copy(alert.text, sizeof(alert.text), text);
    pending_table_submit(the_spool(), &alert);
}

int VTMessage_ReadAlerts(INT afterId, VTAlert* alerts, int capacity) {
    if (!alerts || capacity < 0) return -1;
    PendingTable* spool = the_spool();
    if (!pending_table_lock_for_reading(spool, kReadFlushMs)) return -1;
    int copied = read_locked(spool, afterId, alerts, capacity);
    pending_table_unlock(spool);
    return copied;
}

void VTMessage_Close(void) { pending_table_close(the_spool(), kReadFlushMs); }

}  // extern "C"
