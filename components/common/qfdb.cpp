#include "qfdb.h"

#include <windows.h>

#include "dbdir.h"

namespace {

// Each wait is bounded by the busy timeout; a few retries cover the cases SQLite reports busy
// at once (a WAL file being recovered, a schema change by another process).
const int kBusyTimeoutMs = 3000;
const int kRetries = 20;

bool is_busy(int rc) {
    int primary = rc & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

}  // namespace

int qfdb_step(sqlite3_stmt* statement) {
    int rc = sqlite3_step(statement);
    for (int attempt = 0; attempt < kRetries && is_busy(rc); ++attempt) {
        sqlite3_reset(statement);
        Sleep(5 + 5 * (DWORD)attempt);
        rc = sqlite3_step(statement);
    }
    return rc;
}

int qfdb_exec(sqlite3* db, const char* sql) {
    int rc = sqlite3_exec(db, sql, NULL, NULL, NULL);
    for (int attempt = 0; attempt < kRetries && is_busy(rc); ++attempt) {
        Sleep(5 + 5 * (DWORD)attempt);
        rc = sqlite3_exec(db, sql, NULL, NULL, NULL);
    }
    return rc;
}

int qfdb_begin_write(sqlite3* db, int waitMs) {
    sqlite3_busy_timeout(db, waitMs);
    int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", NULL, NULL, NULL);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return rc;
}

int qfdb_end_write(sqlite3* db, int commit) {
    int rc = commit ? sqlite3_exec(db, "COMMIT", NULL, NULL, NULL) : SQLITE_ABORT;
    if (rc != SQLITE_OK && !sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", NULL, NULL, NULL);
    return rc;
}

const char* qfdb_column_text(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? (const char*)text : "";
}

namespace {

int exec_once(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, NULL, NULL, NULL); }

// Opens fileName and prepares it; *damaged tells whether SQLite found something other than a
// sound database there. With wait false the preparation does not wait for other writers (busy:
// NULL at once); the connection made waits for them afterwards either way.
sqlite3* open_prepared(const std::string& fileName, const char* schema, bool wait, bool* damaged) {
    *damaged = false;
    sqlite3* db = NULL;
    int rc = sqlite3_open_v2(fileName.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             NULL);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, wait ? kBusyTimeoutMs : 0);
        int (*run)(sqlite3*, const char*) = wait ? qfdb_exec : exec_once;
        rc = run(db, "PRAGMA journal_mode=WAL");
        if (rc == SQLITE_OK) rc = run(db, "PRAGMA synchronous=NORMAL");
        if (rc == SQLITE_OK && schema) rc = run(db, schema);
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
    }
    if (rc == SQLITE_OK) return db;
    int primary = rc & 0xFF;
    *damaged = primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
    sqlite3_close_v2(db);
    return NULL;
}

sqlite3* open_database(const char* relative, const char* schema, bool wait) {
    char path[256];
    if (!relative || !dbdir_path(relative, path, sizeof(path))) return NULL;
    if (!dbdir_ensure_folder(relative)) return NULL;
    std::string fileName = path;
    bool damaged = false;
    sqlite3* db = open_prepared(fileName, schema, wait, &damaged);
    if (db || !damaged) return db;

    // A file that is not a sound database is kept aside as "<name>.damaged" and a new database
    // takes its place, so that the log, the alerts and the lists keep working.
    // Another process may have done so a moment ago: look once more before moving anything.
    db = open_prepared(fileName, schema, wait, &damaged);
    if (db || !damaged) return db;
    std::string damagedPath = std::string(path) + ".damaged";
    if (!MoveFileExA(path, damagedPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return NULL;
    DeleteFileA((std::string(path) + "-wal").c_str());
    DeleteFileA((std::string(path) + "-shm").c_str());
    return open_prepared(fileName, schema, wait, &damaged);
}

}  // namespace

sqlite3* qfdb_open(const char* relative, const char* schema) { return open_database(relative, schema, true); }

sqlite3* qfdb_open_now(const char* relative, const char* schema) { return open_database(relative, schema, false); }
