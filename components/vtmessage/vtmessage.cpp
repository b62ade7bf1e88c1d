// VTMessage: alerts go to the spool DBDIR "log\alerts.db" and the caller goes on at once; the
// only wait is for another writer's short transaction.
#include "vtmessage.h"

#include <mutex>

#include "qfdb.h"
#include "stamp.h"

namespace {

const char kFile[] = "log\\alerts.db";
const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS alerts("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " time TEXT NOT NULL, program TEXT NOT NULL, caption TEXT NOT NULL, text TEXT NOT NULL)";
const size_t kTextLimit = 254;

struct Spool {
    std::mutex lock;
    sqlite3* db = nullptr;
    char program[255] = {0};
};

Spool& the_spool() {
    static Spool* spool = new Spool;  // lives until the process ends
    return *spool;
}

bool open_locked(Spool& spool) {
    if (spool.db) return true;
    spool.db = qfdb_open(kFile, kSchema);
    if (!spool.db) return false;
    stamp_program(spool.program, sizeof(spool.program));
    return true;
}

const char* column_text(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? (const char*)text : "";
}

}  // namespace

extern "C" {

void VTGenerateMsg(const char* caption, const char* text, ...) {
    char time[STAMP_TIME_SIZE];
    stamp_local_time(time);
    if (!caption) caption = "";
    if (!text) text = "";
    Spool& spool = the_spool();
    std::lock_guard<std::mutex> guard(spool.lock);
    if (!open_locked(spool)) return;
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(spool.db, "INSERT INTO alerts(time, program, caption, text) VALUES(?, ?, ?, ?)", -1,
                           &insert, NULL) != SQLITE_OK)
        return;
    sqlite3_bind_text(insert, 1, time, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, spool.program, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, caption, (int)strnlen(caption, kTextLimit), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, text, (int)strnlen(text, kTextLimit), SQLITE_TRANSIENT);
    qfdb_step(insert);
    sqlite3_finalize(insert);
}

int VTMessage_ReadAlerts(INT afterId, VTAlert* alerts, int capacity) {
    if (!alerts || capacity < 0) return -1;
    Spool& spool = the_spool();
    std::lock_guard<std::mutex> guard(spool.lock);
    if (!open_locked(spool)) return -1;
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

void VTMessage_Close(void) {
    Spool& spool = the_spool();
    std::lock_guard<std::mutex> guard(spool.lock);
    sqlite3_close_v2(spool.db);
    spool.db = nullptr;
}

}  // extern "C"
