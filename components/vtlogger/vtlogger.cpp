// VTLogger: the access log in the SQLite database DBDIR "log\access.db". A line is handed to the
// process's queue of pending writes and stored by its writer thread, so that Submit never waits
// for the database; one connection per process, opened by the first store or read.
#include "vtlogger.h"

#include <string.h>

#include <algorithm>
#include <string>

#include "dbdir.h"
#include "pending.h"
#include "qfatomic.h"
#include "qfdb.h"
#include "stamp.h"

namespace {

const char kFile[] = "log\\access.db";
const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS entries("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " time TEXT NOT NULL, kind TEXT NOT NULL, port INTEGER NOT NULL,"
    " text TEXT NOT NULL, program TEXT NOT NULL)";
const size_t kTextLimit = 254;
const size_t kKindLimit = 15;
const int kWaitingLines = 16384;   // lines that may wait for the database at once
const DWORD kReadFlushMs = 3000;   // how long a read, dump or erase waits for this process's lines
const DWORD kEndFlushMs = 3000;    // how long the end of the process waits for them

// A line as it waits: everything but the program, which is the same for the whole process.
struct LogLine {
    char time[STAMP_TIME_SIZE];
    char kind[kKindLimit + 1];
    INT port;
    char text[kTextLimit + 1];
};

struct Log {
    PendingQueue* queue = nullptr;
    char program[255] = {0};  // the running program, set when this is made
    // Under the queue's store lock:
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    // 1 once DBDIR has been read and its log folder found, so that Submit reads the registry
    // once, not for every line.
    LONG placeKnown = 0;
};

bool open_locked(Log& log) {
    if (log.db) return true;
    log.db = qfdb_open(kFile, kSchema);
    if (!log.db) return false;
    if (sqlite3_prepare_v2(log.db, "INSERT INTO entries(time, kind, port, text, program) VALUES(?, ?, ?, ?, ?)", -1,
                           &log.insert, NULL) != SQLITE_OK) {
        sqlite3_close_v2(log.db);
        log.db = nullptr;
        log.insert = nullptr;
        return false;
    }
    qf_atomic_store(&log.placeKnown, (LONG)1);
    return true;
}

void close_locked(Log& log) {
    sqlite3_finalize(log.insert);
    sqlite3_close_v2(log.db);
    log.insert = nullptr;
    log.db = nullptr;
}

// The queue's store: the lines in one transaction, all or none; a busy log is not waited for
// (the queue tries again).
int store_lines(void* context, const void* const* records, int count) {
    Log& log = *static_cast<Log*>(context);
    if (!open_locked(log) || qfdb_begin_write(log.db, 0) != SQLITE_OK) return 0;
    sqlite3_stmt* insert = log.insert;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const LogLine& line = *static_cast<const LogLine*>(records[i]);
        sqlite3_bind_text(insert, 1, line.time, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, line.kind, -1, SQLITE_STATIC);
        sqlite3_bind_int(insert, 3, line.port);
        sqlite3_bind_text(insert, 4, line.text, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 5, log.program, -1, SQLITE_STATIC);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
        sqlite3_clear_bindings(insert);
    }
    return qfdb_end_write(log.db, ok) == SQLITE_OK ? 1 : 0;
}

// In a fork's child: the connection is the parent's.
void forget_connection(void* context) {
    Log& log = *static_cast<Log*>(context);
    log.db = nullptr;
    log.insert = nullptr;
}

Log* g_log = nullptr;  // the log once made, for the flush at the process's end

Log& the_log() {
    static Log* log = [] {
        Log* made = new Log;  // lives until the process ends, past every static destructor
        PendingSink sink = {store_lines, forget_connection, made, "vtlogger.dll", sizeof(LogLine), kWaitingLines};
        // Here, on the caller's thread, not by the writer: the clean-up at the process's end waits
        // for the writer and may hold the loader lock, which GetModuleFileNameA takes.
        stamp_program(made->program, sizeof(made->program));
        made->queue = pending_create(&sink);
        qf_atomic_store(&g_log, made);
        return made;
    }();
    return *log;
}

// Stores the lines still waiting when the process ends (the C++ run-time runs this from the
// library's detach on Windows, at exit here; once lines have been queued the library is not
// unloaded before, see PendingSink.module).
struct StoreAtProcessEnd {
    ~StoreAtProcessEnd() {
        if (Log* log = qf_atomic_load(&g_log)) pending_close(log->queue, kEndFlushMs);
    }
} storeAtProcessEnd;

// The log's connection for a read or an erase, after this process's waiting lines have been
// stored (or the wait for them is over). False (and nothing held) when the log cannot be opened.
bool lock_for_reading(Log& log) {
    if (!log.queue) return false;
    pending_flush(log.queue, kReadFlushMs);
    pending_lock(log.queue);
    if (open_locked(log)) return true;
    pending_unlock(log.queue);
    return false;
}

const char* column_text(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? (const char*)text : "";
}

// The program's file name without its folder, for a readable dump line.
const char* base_name(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

// Appends text with line breaks and other control characters shown as spaces, so that every
// entry stays on one line of the dump.
void append_flat(std::string& out, const char* text) {
    for (const char* p = text; *p; ++p) out += ((unsigned char)*p < 32 || *p == 127) ? ' ' : *p;
}

bool write_all(HANDLE file, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        DWORD put = 0;
        DWORD chunk = (DWORD)std::min<size_t>(data.size() - done, 1u << 20);
        if (!WriteFile(file, data.data() + done, chunk, &put, NULL) || put == 0) return false;
        done += put;
    }
    return true;
}

// Creates a file under DBDIR "log\" that did not exist before; its full path goes to path.
HANDLE create_dump_file(char path[255]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (unsigned serial = 0; serial < 1000; ++serial) {
        char relative[96];
        snprintf(relative, sizeof(relative), "log\\vtlog-%04u%02u%02u-%02u%02u%02u-%lu-%u.txt",
                 (unsigned)now.wYear % 10000u, (unsigned)now.wMonth % 100u, (unsigned)now.wDay % 100u,
                 (unsigned)now.wHour % 100u, (unsigned)now.wMinute % 100u, (unsigned)now.wSecond % 100u,
                 (unsigned long)GetCurrentProcessId(), serial);
        if (!dbdir_path(relative, path, 255) || !dbdir_ensure_folder(relative)) return INVALID_HANDLE_VALUE;
        HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) return file;
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    path[0] = '\0';
    return INVALID_HANDLE_VALUE;
}

// Writes the whole log to a new dump file; its full path goes to path. Under the store lock.
int dump_locked(Log& log, char* path) {
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(log.db, "SELECT time, kind, port, text, program FROM entries ORDER BY id", -1, &select,
                           NULL) != SQLITE_OK)
        return 0;
    char dumpPath[255] = {0};
    HANDLE file = create_dump_file(dumpPath);
    if (file == INVALID_HANDLE_VALUE) {
        sqlite3_finalize(select);
        return 0;
    }

    std::string buffer;
    bool ok = true;
    int rc = qfdb_step(select);  // later steps read the same snapshot and never wait
    for (; rc == SQLITE_ROW && ok; rc = sqlite3_step(select)) {
        char port[16];
        snprintf(port, sizeof(port), "%5d", sqlite3_column_int(select, 2));
        char kind[kKindLimit + 1];
        stamp_copy(kind, sizeof(kind), column_text(select, 1));
        append_flat(buffer, column_text(select, 0));
        buffer += "  ";
        append_flat(buffer, kind);
        buffer.append(7 > strlen(kind) ? 7 - strlen(kind) : 0, ' ');
        buffer += "  ";
        buffer += port;
        buffer += "  ";
        append_flat(buffer, column_text(select, 3));
        buffer += "  [";
        append_flat(buffer, base_name(column_text(select, 4)));
        buffer += "]\r\n";
        if (buffer.size() >= 64 * 1024) {
            ok = write_all(file, buffer);
            buffer.clear();
        }
    }
    ok = ok && rc == SQLITE_DONE && write_all(file, buffer);
    sqlite3_finalize(select);
    ok = CloseHandle(file) && ok;
    if (!ok) {
        DeleteFileA(dumpPath);
        return 0;
    }
    memcpy(path, dumpPath, sizeof(dumpPath));
    return 1;
}

// Copies up to capacity entries after afterId. Under the store lock.
int read_locked(Log& log, INT afterId, VTLogEntry* entries, int capacity) {
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(log.db,
                           "SELECT id, time, kind, port, text, program FROM entries WHERE id > ? ORDER BY id LIMIT ?",
                           -1, &select, NULL) != SQLITE_OK)
        return -1;
    sqlite3_bind_int(select, 1, afterId);
    sqlite3_bind_int(select, 2, capacity);
    int copied = 0;
    int rc = qfdb_step(select);
    for (; rc == SQLITE_ROW && copied < capacity; rc = sqlite3_step(select), ++copied) {
        VTLogEntry& entry = entries[copied];
        memset(&entry, 0, sizeof(entry));
        entry.id = sqlite3_column_int(select, 0);
        stamp_copy(entry.time, sizeof(entry.time), column_text(select, 1));
        stamp_copy(entry.kind, sizeof(entry.kind), column_text(select, 2));
        entry.port = sqlite3_column_int(select, 3);
        stamp_copy(entry.text, sizeof(entry.text), column_text(select, 4));
        stamp_copy(entry.program, sizeof(entry.program), column_text(select, 5));
    }
    sqlite3_finalize(select);
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? copied : -1;
}

}  // namespace

extern "C" {

int VTLogger_Init(void) {
    Log& log = the_log();
    if (!log.queue) return 0;
    pending_lock(log.queue);
    bool ready = open_locked(log);
    pending_unlock(log.queue);
    return ready ? 1 : 0;
}

int VTLogger_Submit(const char* kind, int port, const char* text) {
    Log& log = the_log();
    if (!log.queue) return 0;
    if (!qf_atomic_load(&log.placeKnown)) {
        char path[256];
        if (!dbdir_path(kFile, path, sizeof(path)) || !dbdir_ensure_folder(kFile)) return 0;
        qf_atomic_store(&log.placeKnown, (LONG)1);
    }
    LogLine line;
    stamp_local_time(line.time);
    stamp_copy(line.kind, sizeof(line.kind), kind);
    line.port = port;
    stamp_copy(line.text, sizeof(line.text), text);
    return pending_submit(log.queue, &line);
}

int VTLogger_DumpLog(char* path) {
    if (!path) return 0;
    path[0] = '\0';
    Log& log = the_log();
    if (!lock_for_reading(log)) return 0;
    int written = dump_locked(log, path);
    pending_unlock(log.queue);
    return written;
}

int VTLogger_FlushLog(void) {
    Log& log = the_log();
    if (!lock_for_reading(log)) return 0;
    int erased = qfdb_exec(log.db, "DELETE FROM entries") == SQLITE_OK ? 1 : 0;
    pending_unlock(log.queue);
    return erased;
}

void VTLogger_Free(void) {
    Log& log = the_log();
    if (!log.queue) return;
    pending_flush(log.queue, kReadFlushMs);
    pending_lock(log.queue);
    close_locked(log);
    qf_atomic_store(&log.placeKnown, (LONG)0);
    pending_unlock(log.queue);
}

int VTLogger_ReadEntries(INT afterId, VTLogEntry* entries, int capacity) {
    if (!entries || capacity < 0) return -1;
    Log& log = the_log();
    if (!lock_for_reading(log)) return -1;
    int copied = read_locked(log, afterId, entries, capacity);
    pending_unlock(log.queue);
    return copied;
}

}  // extern "C"
