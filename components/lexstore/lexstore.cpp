// Lexstore: the dictionary of the user's lists in the SQLite database DBDIR "db\lexstore.db".
// Keys are unique without regard to case (ASCII, as the dialogs lower-case them); the Control
// Center writes while filtered programs read, each process through its own connection.
#include "lexstore.h"

#include <string.h>

#include <mutex>

#include "qfdb.h"
#include "stamp.h"

namespace {

const char kFile[] = "db\\lexstore.db";
const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS lex("
    " key TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " type INTEGER NOT NULL, aux INTEGER NOT NULL, value TEXT NOT NULL DEFAULT '')";
const size_t kKeyLimit = LEXS_KEY_SIZE - 1;      // what a batch entry holds
const size_t kValueLimit = LEXS_VALUE_SIZE - 1;  // what the callers' value buffer holds

struct Dictionary {
    std::mutex lock;
    sqlite3* db = nullptr;
};

Dictionary& the_dictionary() {
    static Dictionary* dictionary = new Dictionary;  // lives until the process ends
    return *dictionary;
}

bool open_locked(Dictionary& d) {
    if (!d.db) d.db = qfdb_open(kFile, kSchema);
    return d.db != nullptr;
}

// A key the dictionary accepts: 1 to 47 characters. Longer keys are refused, never cut.
bool key_ok(const char* key) {
    if (!key) return false;
    size_t length = strnlen(key, kKeyLimit + 1);
    return length >= 1 && length <= kKeyLimit;
}

bool type_ok(sqlite3_int64 type) { return type >= WildcardWord && type <= Phrase; }

// A statement finalized on every path.
struct Statement {
    sqlite3_stmt* s = nullptr;
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &s, NULL) != SQLITE_OK) s = nullptr;
    }
    ~Statement() { sqlite3_finalize(s); }
    explicit operator bool() const { return s != nullptr; }
};

// The enumeration position is the rowid of the last entry handed out: its low 31 bits travel in
// state (never negative, so never the end mark) and the rest in aux.
const sqlite3_int64 kStateSpan = (sqlite3_int64)1 << 31;

}  // namespace

extern "C" {

int lexs_openit(void) {
    Dictionary& d = the_dictionary();
    std::lock_guard<std::mutex> guard(d.lock);
    return open_locked(d) ? 1 : 0;
}

int lexs_readallkeys(LexRecord* records, INT* last, INT* state, INT* aux) {
    if (!records || !last || !state || !aux) return 0;
    *last = -1;
    if (*state == LEXS_STATE_END || *state < 0 || *aux < 0) return 0;
    const sqlite3_int64 after = (sqlite3_int64)*aux * kStateSpan + *state;

    Dictionary& d = the_dictionary();
    std::lock_guard<std::mutex> guard(d.lock);
    if (!open_locked(d)) return 0;
    Statement select(d.db, "SELECT rowid, key, type, aux FROM lex WHERE rowid > ? ORDER BY rowid");
    if (!select) return 0;
    sqlite3_bind_int64(select.s, 1, after);

    memset(records, 0, sizeof(LexRecord) * LEXS_BATCH);
    int filled = 0;
    sqlite3_int64 position = after;
    bool more = false;
    int rc = qfdb_step(select.s);  // later steps read the same snapshot
    for (; rc == SQLITE_ROW; rc = sqlite3_step(select.s)) {
        if (filled == LEXS_BATCH) {
            more = true;
            break;
        }
        position = sqlite3_column_int64(select.s, 0);
        const char* key = (const char*)sqlite3_column_text(select.s, 1);
        sqlite3_int64 type = sqlite3_column_int64(select.s, 2);
        if (!key_ok(key) || !type_ok(type)) continue;  // a damaged row is passed over
        LexRecord& record = records[filled++];
        stamp_copy(record.key, sizeof(record.key), key);
        record.type = (INT)type;
        record.aux = (INT)sqlite3_column_int(select.s, 3);
    }
    if (!more && rc != SQLITE_DONE) return 0;

    *last = filled - 1;
    if (more) {
        *state = (INT)(position % kStateSpan);
        *aux = (INT)(position / kStateSpan);
    } else {
        *state = LEXS_STATE_END;
    }
    return 1;
}

int lexs_retrievedb(char* value, const char* key, INT* type, INT* aux) {
    if (!key_ok(key)) return 0;
    Dictionary& d = the_dictionary();
    std::lock_guard<std::mutex> guard(d.lock);
    if (!open_locked(d)) return 0;
    Statement select(d.db, "SELECT type, aux, value FROM lex WHERE key = ?");
    if (!select) return 0;
    sqlite3_bind_text(select.s, 1, key, -1, SQLITE_TRANSIENT);
    if (qfdb_step(select.s) != SQLITE_ROW) return 0;
    if (type) *type = sqlite3_column_int(select.s, 0);
    if (aux) *aux = sqlite3_column_int(select.s, 1);
    if (value) stamp_copy(value, LEXS_VALUE_SIZE, (const char*)sqlite3_column_text(select.s, 2));
    return 1;
}

int lexs_insertdb(const char* value, const char* key, INT type, INT aux) {
    if (!key_ok(key) || !type_ok(type)) return 0;
    if (!value) value = "";
    if (strnlen(value, kValueLimit + 1) > kValueLimit) return 0;
    Dictionary& d = the_dictionary();
    std::lock_guard<std::mutex> guard(d.lock);
    if (!open_locked(d)) return 0;
    Statement insert(d.db, "INSERT INTO lex(key, type, aux, value) VALUES(?, ?, ?, ?)");
    if (!insert) return 0;
    sqlite3_bind_text(insert.s, 1, key, -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert.s, 2, type);
    sqlite3_bind_int(insert.s, 3, aux);
    sqlite3_bind_text(insert.s, 4, value, -1, SQLITE_TRANSIENT);
    return qfdb_step(insert.s) == SQLITE_DONE ? 1 : 0;  // an existing key fails the UNIQUE constraint
}

int lexs_deletekey(const char* value, const char* key) {
    (void)value;
    if (!key_ok(key)) return 0;
    Dictionary& d = the_dictionary();
    std::lock_guard<std::mutex> guard(d.lock);
    if (!open_locked(d)) return 0;
    Statement remove(d.db, "DELETE FROM lex WHERE key = ?");
    if (!remove) return 0;
    sqlite3_bind_text(remove.s, 1, key, -1, SQLITE_TRANSIENT);
    if (qfdb_step(remove.s) != SQLITE_DONE) return 0;
    return sqlite3_changes(d.db) > 0 ? 1 : 0;
}

int lexs_closedbase(void) {
    Dictionary& d = the_dictionary();
    std::lock_guard<std::mutex> guard(d.lock);
    sqlite3_close_v2(d.db);
    d.db = nullptr;
    return 1;
}

}  // extern "C"
