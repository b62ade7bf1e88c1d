// VTLogger: the access log in the SQLite database DBDIR "log\access.db". A line is handed to the
// process's queue of pending writes and stored by its writer thread, so that Submit never waits
// for the database; one connection per process, opened by the first store or read.
#include "vtlogger.h"

#include <string.h>

#include <algorithm>
#include <string>

#include "dbdir.h"
#include "pending_table.h"
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

void bind_line(sqlite3_stmt* insert, const void* record, const char* program) {
    const LogLine& line = *static_cast<const LogLine*>(record);
    sqlite3_bind_text(insert, 1, line.time, -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, line.kind, -1, SQLITE_STATIC);
    sqlite3_bind_int(insert, 3, line.port);
    sqlite3_bind_text(insert, 4, line.text, -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 5, program, -1, SQLITE_STATIC);
}

const PendingTableLayout kLogTable = {
    kFile, kSchema, "INSERT INTO entries(time, kind, port, text, program) VALUES(?, ?, ?, ?, ?)", bind_line,
    "vtlogger.dll", sizeof(LogLine), kWaitingLines};

PendingTable* g_log = nullptr;  // the log once made, for the flush at the process's end

PendingTable* the_log() {
    static PendingTable* log = [] {
        PendingTable* made = pending_table_create(&kLogTable);
        qf_atomic_store(&g_log, made);
        return made;
    }();
    return log;
}

// Stores the lines still waiting when the process ends (the C++ run-time runs this from the
// library's detach on Windows, at exit here; once lines have been queued the library is not
// unloaded before, see PendingSink.module).
struct StoreAtProcessEnd {
    ~StoreAtProcessEnd() {
        if (PendingTable* log = qf_atomic_load(&g_log)) pending_close(log->queue, kEndFlushMs);
    }
} storeAtProcessEnd;

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
int dump_locked(PendingTable* log, char* path) {
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(log->db, "SELECT time, kind, port, text, program FROM entries ORDER BY id", -1, &select,
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
        stamp_copy(kind, sizeof(kind), qfdb_column_text(select, 1));
        append_flat(buffer, qfdb_column_text(select, 0));
        buffer += "  ";
        append_flat(buffer, kind);
        buffer.append(7 > strlen(kind) ? 7 - strlen(kind) : 0, ' ');
        buffer += "  ";
        buffer += port;
        buffer += "  ";
        append_flat(buffer, qfdb_column_text(select, 3));
        buffer += "  [";
        append_flat(buffer, base_name(qfdb_column_text(select, 4)));
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
int read_locked(PendingTable* log, INT afterId, VTLogEntry* entries, int capacity) {
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(log->db,
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
        stamp_copy(entry.time, sizeof(entry.time), qfdb_column_text(select, 1));
        stamp_copy(entry.kind, sizeof(entry.kind), qfdb_column_text(select, 2));
        entry.port = sqlite3_column_int(select, 3);
        stamp_copy(entry.text, sizeof(entry.text), qfdb_column_text(select, 4));
        stamp_copy(entry.program, sizeof(entry.program), qfdb_column_text(select, 5));
    }
    sqlite3_finalize(select);
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? copied : -1;
}

}  // namespace

extern "C" {

int VTLogger_Init(void) { return pending_table_open(the_log()); }

int VTLogger_Submit(const char* kind, int port, const char* text) {
    LogLine line;
    stamp_local_time(line.time);
    stamp_copy(line.kind, sizeof(line.kind), kind);
    line.port = port;
    stamp_copy(line.text, sizeof(line.text), text);
    return pending_table_submit(the_log(), &line);
}

int VTLogger_DumpLog(char* path) {
    if (!path) return 0;
    path[0] = '\0';
    PendingTable* log = the_log();
    if (!pending_table_lock_for_reading(log, kReadFlushMs)) return 0;
    int written = dump_locked(log, path);
    pending_table_unlock(log);
    return written;
}

int VTLogger_FlushLog(void) {
    PendingTable* log = the_log();
    if (!pending_table_lock_for_reading(log, kReadFlushMs)) return 0;
    int erased = qfdb_exec(log->db, "DELETE FROM entries") == SQLITE_OK ? 1 : 0;
    pending_table_unlock(log);
    return erased;
}

void VTLogger_Free(void) { pending_table_close(the_log(), kReadFlushMs); }

int VTLogger_ReadEntries(INT afterId, VTLogEntry* entries, int capacity) {
    if (!entries || capacity < 0) return -1;
    PendingTable* log = the_log();
    if (!pending_table_lock_for_reading(log, kReadFlushMs)) return -1;
    int copied = read_locked(log, afterId, entries, capacity);
    pending_table_unlock(log);
    return copied;
}

}  // extern "C"
