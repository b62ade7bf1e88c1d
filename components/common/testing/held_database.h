// Helpers for the tests of the log and the alert spool: another connection that holds a
// database's write lock, as a process writing at length would, and child programs run at once.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "qfdb.h"

namespace qf_test {

// A second connection to the database DBDIR + relative that holds its write lock
// (BEGIN EXCLUSIVE) from construction until release(); other connections can still read.
class HeldDatabase {
public:
    explicit HeldDatabase(const char* relative) : db_(qfdb_open(relative, NULL)) {
        holding_ = db_ && sqlite3_exec(db_, "BEGIN EXCLUSIVE", NULL, NULL, NULL) == SQLITE_OK;
    }
    ~HeldDatabase() {
        release();
        sqlite3_close_v2(db_);
    }
    HeldDatabase(const HeldDatabase&) = delete;
    HeldDatabase& operator=(const HeldDatabase&) = delete;

    bool holding() const { return holding_; }
    void release() {
        if (holding_) sqlite3_exec(db_, "COMMIT", NULL, NULL, NULL);
        holding_ = false;
    }

    // Rows of table as this connection sees them; -1 when it cannot be read.
    long long rows(const char* table) {
        sqlite3_stmt* count = nullptr;
        const std::string sql = std::string("SELECT count(*) FROM ") + table;
        if (!db_ || sqlite3_prepare_v2(db_, sql.c_str(), -1, &count, NULL) != SQLITE_OK) return -1;
        long long n = qfdb_step(count) == SQLITE_ROW ? sqlite3_column_int64(count, 0) : -1;
        sqlite3_finalize(count);
        return n;
    }

    // Waits (polling) until table has at least n rows; false when it has not after timeoutMs,
    // a bound for a writer that never gets there, not a measure of speed.
    bool wait_for_rows(const char* table, long long n, DWORD timeoutMs = 60000) {
        DWORD start = GetTickCount();
        while (rows(table) < n) {
            if (GetTickCount() - start >= timeoutMs) return false;
            Sleep(5);
        }
        return true;
    }

private:
    sqlite3* db_;
    bool holding_ = false;
};

// Runs a command line ("program" args...) and waits for it: 0 when the program ended with 0.
// Windows starts it without a shell, so that a program named without a folder is found beside
// the test program, as CreateProcess looks first.
inline int run_program(const std::string& command) {
#if defined(_WIN32)
    std::string line = command;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
#else
    return std::system(command.c_str());
#endif
}

// A program started at once on a thread of its own; wait() gives its run_program result.
class ChildRun {
public:
    explicit ChildRun(const std::string& command)
        : thread_([this, command] { result_ = run_program(command); }) {}
    ~ChildRun() {
        if (thread_.joinable()) thread_.join();
    }
    int wait() {
        if (thread_.joinable()) thread_.join();
        return result_;
    }

private:
    int result_ = -1;
    std::thread thread_;
};

// The command line "<program>" arg...
inline std::string command_line(const std::string& program, std::initializer_list<std::string> args) {
    std::string command = "\"" + program + "\"";
    for (const std::string& arg : args) command += " \"" + arg + "\"";
    return command;
}

// Waits (polling) until the file at the Linux path exists; false after timeoutMs.
inline bool wait_for_file(const std::string& path, DWORD timeoutMs = 60000) {
    DWORD start = GetTickCount();
    while (!std::filesystem::exists(path)) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(5);
    }
    return true;
}

}  // namespace qf_test
