// The registry's store: one SQLite connection per process, opened lazily, reopened when the
// machine root changes, closed before a fork so that a child never uses its parent's connection.
#include "registry_store.h"

#include <qf/machine_root.h>

#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <unordered_map>

namespace qf::registry {
namespace {

struct Busy {};
struct Failure {};

struct Connection {
    sqlite3* db = nullptr;
    std::string path;
    std::unordered_map<std::string, sqlite3_stmt*> statements;
};

std::mutex& registry_mutex() {
    static std::mutex* instance = new std::mutex;  // lives through every static destructor
    return *instance;
}

Connection& connection() {
    static Connection* instance = new Connection;
    return *instance;
}

void close_connection(Connection& c) {
    for (auto& entry : c.statements) sqlite3_finalize(entry.second);
    c.statements.clear();
    if (c.db) sqlite3_close_v2(c.db);
    c.db = nullptr;
    c.path.clear();
}

void before_fork() {
    registry_mutex().lock();
    close_connection(connection());
}
void after_fork() { registry_mutex().unlock(); }

void check(int rc) {
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED || (rc & 0xFF) == SQLITE_BUSY) throw Busy{};
    throw Failure{};
}

void exec(sqlite3* db, const char* sql) { check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr)); }

void make_folders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0777);
}

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS reg_key("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  written INTEGER NOT NULL DEFAULT 0);"
    "CREATE UNIQUE INDEX IF NOT EXISTS reg_key_child ON reg_key(parent, name);"
    "CREATE TABLE IF NOT EXISTS reg_value("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key, name));"
    "INSERT OR IGNORE INTO reg_key(id, parent, name) VALUES(1, 0, 'HKEY_LOCAL_MACHINE');"
    "PRAGMA user_version = 1;";

int schema_version(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    check(sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr));
    int rc = sqlite3_step(statement);
    int version = rc == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    check(rc);
    return version;
}

// Opens the registry at path (creating it with its schema when new). Throws Busy or Failure.
void ensure_open(Connection& c, const std::string& path) {
    static std::once_flag forkHandlers;
    std::call_once(forkHandlers, [] { pthread_atfork(before_fork, after_fork, after_fork); });
    if (c.db && c.path == path) return;
    close_connection(c);
    make_folders(path.substr(0, path.rfind('/')));
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        throw Failure{};
    }
    try {
        sqlite3_busy_timeout(db, 10000);
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        exec(db, "PRAGMA journal_mode=WAL");
        exec(db, "PRAGMA synchronous=NORMAL");
        if (schema_version(db) != 1) {
            exec(db, "BEGIN IMMEDIATE");
            try {
                exec(db, kSchema);
                exec(db, "COMMIT");
            } catch (...) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        }
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    c.db = db;
    c.path = path;
}

}  // namespace

sqlite3_stmt* Session::statement(const char* sql) {
    Connection& c = connection();
    auto it = c.statements.find(sql);
    sqlite3_stmt* stmt;
    if (it == c.statements.end()) {
        check(sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr));
        c.statements.emplace(sql, stmt);
    } else {
        stmt = it->second;
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
    return stmt;
}

bool Session::step(sqlite3_stmt* statement) {
    int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(statement);
    check(rc);
    throw Failure{};
}

bool Session::key_exists(int64_t id) {
    sqlite3_stmt* s = statement("SELECT 1 FROM reg_key WHERE id = ?");
    sqlite3_bind_int64(s, 1, id);
    return step(s);
}

bool Session::find_child(int64_t parent, const std::string& name, int64_t& child) {
    sqlite3_stmt* s = statement("SELECT id FROM reg_key WHERE parent = ? AND name = ?");
    sqlite3_bind_int64(s, 1, parent);
    sqlite3_bind_text(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    if (!step(s)) return false;
    child = sqlite3_column_int64(s, 0);
    return true;
}

bool Session::has_children(int64_t id) {
    sqlite3_stmt* s = statement("SELECT 1 FROM reg_key WHERE parent = ? LIMIT 1");
    sqlite3_bind_int64(s, 1, id);
    return step(s);
}

int64_t Session::create_child(int64_t parent, const std::string& name) {
    sqlite3_stmt* s = statement("INSERT INTO reg_key(parent, name, written) VALUES(?, ?, ?)");
    sqlite3_bind_int64(s, 1, parent);
    sqlite3_bind_text(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 3, filetime_now());
    step(s);
    touch(parent);
    return sqlite3_last_insert_rowid(db_);
}

void Session::touch(int64_t id) {
    sqlite3_stmt* s = statement("UPDATE reg_key SET written = ? WHERE id = ?");
    sqlite3_bind_int64(s, 1, filetime_now());
    sqlite3_bind_int64(s, 2, id);
    step(s);
}

REGSAM key_rights(REGSAM desired) {
    const REGSAM kGenericRead = 0x80000000, kGenericWrite = 0x40000000, kGenericExecute = 0x20000000,
                 kGenericAll = 0x10000000, kMaximumAllowed = 0x02000000;
    REGSAM rights = desired & 0x00FFFFFF & ~kMaximumAllowed;
    if (desired & (kGenericRead | kGenericExecute)) rights |= KEY_READ;
    if (desired & kGenericWrite) rights |= KEY_WRITE;
    if (desired & (kGenericAll | kMaximumAllowed)) rights |= KEY_ALL_ACCESS;
    return rights;
}

LONG resolve_key(Session& session, HKEY handle, REGSAM needed, OpenKey& key) {
    if (handle == HKEY_LOCAL_MACHINE) {
        key.id = kRootKeyId;
        key.access = KEY_ALL_ACCESS;
    } else {
        auto open = handle_lookup_as<RegistryKey>(reinterpret_cast<HANDLE>(handle));
        if (!open) return ERROR_INVALID_HANDLE;
        if (open->database != session.database() || !session.key_exists(open->id)) return ERROR_KEY_DELETED;
        key.id = open->id;
        key.access = open->access;
    }
    if (needed & ~key.access) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

LONG run_transaction(bool write, const std::function<LONG(Session&)>& body) {
    std::lock_guard<std::mutex> guard(registry_mutex());
    Connection& c = connection();
    const std::string path = machine_root() + "/registry.db";
    static thread_local std::minstd_rand jitter(static_cast<unsigned>(getpid()) ^
                                                static_cast<unsigned>(std::hash<std::thread::id>()(std::this_thread::get_id())));
    for (int attempt = 0; attempt < 50; ++attempt) {
        bool inTransaction = false;
        try {
            ensure_open(c, path);
            exec(c.db, write ? "BEGIN IMMEDIATE" : "BEGIN");
            inTransaction = true;
            Session session(c.db, c.path);
            LONG result = body(session);
            for (auto& entry : c.statements) sqlite3_reset(entry.second);
            exec(c.db, result == ERROR_SUCCESS ? "COMMIT" : "ROLLBACK");
            return result;
        } catch (const Busy&) {
            if (inTransaction && c.db) sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(1 + jitter() % 20));
        } catch (const Failure&) {
            if (inTransaction && c.db) sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
            // A damaged connection is dropped; the next call opens afresh.
            if (c.db && sqlite3_get_autocommit(c.db) == 0) close_connection(c);
            return ERROR_REGISTRY_IO_FAILED;
        }
    }
    return ERROR_REGISTRY_IO_FAILED;
}

LONG split_subkey(const char* subKey, std::vector<std::string>& parts) {
    parts.clear();
    if (!subKey || !*subKey) return ERROR_SUCCESS;
    if (*subKey == '\\') return ERROR_BAD_PATHNAME;
    std::string current;
    for (const char* p = subKey;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (current.empty()) {
                if (*p == '\0') break;  // one trailing backslash is allowed
                return ERROR_BAD_PATHNAME;
            }
            if (current.size() > 255) return ERROR_INVALID_PARAMETER;
            parts.push_back(std::move(current));
            current.clear();
            if (*p == '\0') break;
        } else {
            current += *p;
        }
    }
    return ERROR_SUCCESS;
}

int64_t filetime_now() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t kUnixEpochAsFiletime = 116444736000000000LL;
    return kUnixEpochAsFiletime + static_cast<int64_t>(now.tv_sec) * 10000000 + now.tv_nsec / 100;
}

}  // namespace qf::registry
