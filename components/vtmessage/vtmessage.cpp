// VTMessage: alerts go to the spool DBDIR "log\alerts.db" through the process's queue of pending
// writes, whose writer thread stores them; the caller goes on at once, also while another process
// holds the spool.
#include "vtmessage.h"

#include <string.h>

#include "dbdir.h"
#include "pending.h"
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

struct Spool {
    PendingQueue* queue = nullptr;
    char program[255] = {0};  // the running program, set when this is made
    // Under the queue's store lock:
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    // 1 once DBDIR has been read and its log folder found: the registry is read once, not for
    // every alert.
    LONG placeKnown = 0;
};

bool open_locked(Spool& spool) {
    if (spool.db) return true;
    spool.db = qfdb_open(kFile, kSchema);
    if (!spool.db) return false;
    if (sqlite3_prepare_v2(spool.db, "INSERT INTO alerts(time, program, caption, text) VALUES(?, ?, ?, ?)", -1,
                           &spool.insert, NULL) != SQLITE_OK) {
        sqlite3_close_v2(spool.db);
        spool.db = nullptr;
        spool.insert = nullptr;
        return false;
    }
    qf_atomic_store(&spool.placeKnown, (LONG)1);
    return true;
}

// The queue's store: the alerts in one transaction, all or none; a busy spool is not waited for
// (the queue tries again).
int store_alerts(void* context, const void* const* records, int count) {
    Spool& spool = *static_cast<Spool*>(context);
    if (!open_locked(spool) || qfdb_begin_write(spool.db, 0) != SQLITE_OK) return 0;
    sqlite3_stmt* insert = spool.insert;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const WaitingAlert& alert = *static_cast<const WaitingAlert*>(records[i]);
        sqlite3_bind_text(insert, 1, alert.time, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, spool.program, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, alert.caption, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, alert.text, -1, SQLITE_STATIC);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
        sqlite3_clear_bindings(insert);
    }
    return qfdb_end_write(spool.db, ok) == SQLITE_OK ? 1 : 0;
}

// In a fork's child: the connection is the parent's.
void forget_connection(void* context) {
    Spool& spool = *static_cast<Spool*>(context);
    spool.db = nullptr;
    spool.insert = nullptr;
}

Spool* g_spool = nullptr;  // the spool once made, for the flush at the process's end

Spool& the_spool() {
    static Spool* spool = [] {
        Spool* made = new Spool;  // lives until the process ends
        PendingSink sink = {store_alerts, forget_connection, made, "vtmessage.dll", sizeof(WaitingAlert),
                            kWaitingAlerts};
        // Here, on the caller's thread, not by the writer: the clean-up at the process's end waits
        // for the writer and may hold the loader lock, which GetModuleFileNameA takes.
        stamp_program(made->program, sizeof(made->program));
        made->queue = pending_create(&sink);
        qf_atomic_store(&g_spool, made);
        return made;
    }();
    return *spool;
}

// Stores the alerts still waiting when the process ends (the C++ run-time runs this from the
// library's detach on Windows, at exit here; once alerts have been queued the library is not
// unloaded before, see PendingSink.module).
struct StoreAtProcessEnd {
    ~StoreAtProcessEnd() {
        if (Spool* spool = qf_atomic_load(&g_spool)) pending_close(spool->queue, kEndFlushMs);
    }
} storeAtProcessEnd;

const char* column_text(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? (const char*)text : "";
}

// Copies up to capacity alerts after afterId. Under the store lock.
int read_locked(Spool& spool, INT afterId, VTAlert* alerts, int capacity) {
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(spool.db,
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
        stamp_copy(alert.time, sizeof(alert.time), column_text(select, 1));
        stamp_copy(alert.program, sizeof(alert.program), column_text(select, 2));
        stamp_copy(alert.caption, sizeof(alert.caption), column_text(select, 3));
        stamp_copy(alert.text, sizeof(alert.text), column_text(select, 4));
    }
    sqlite3_finalize(select);
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? copied : -1;
}

}  // namespace

extern "C" {

void VTGenerateMsg(const char* caption, const char* text, ...) {
    Spool& spool = the_spool();
    if (!spool.queue) return;
    if (!qf_atomic_load(&spool.placeKnown)) {
        char path[256];
        if (!dbdir_path(kFile, path, sizeof(path)) || !dbdir_ensure_folder(kFile)) return;
        qf_atomic_store(&spool.placeKnown, (LONG)1);
    }
    WaitingAlert alert;
    stamp_local_time(alert.time);
    stamp_copy(alert.caption, sizeof(alert.caption), caption);
    stamp_copy(alert.text, sizeof(alert.text), text);
    pending_submit(spool.queue, &alert);
}

int VTMessage_ReadAlerts(INT afterId, VTAlert* alerts, int capacity) {
    if (!alerts || capacity < 0) return -1;
    Spool& spool = the_spool();
    if (!spool.queue) return -1;
    pending_flush(spool.queue, kReadFlushMs);
    pending_lock(spool.queue);
    int copied = open_locked(spool) ? read_locked(spool, afterId, alerts, capacity) : -1;
    pending_unlock(spool.queue);
    return copied;
}

void VTMessage_Close(void) {
    Spool& spool = the_spool();
    if (!spool.queue) return;
    pending_flush(spool.queue, kReadFlushMs);
    pending_lock(spool.queue);
    sqlite3_finalize(spool.insert);
    sqlite3_close_v2(spool.db);
    spool.insert = nullptr;
    spool.db = nullptr;
    qf_atomic_store(&spool.placeKnown, (LONG)0);
    pending_unlock(spool.queue);
}

}  // extern "C"
