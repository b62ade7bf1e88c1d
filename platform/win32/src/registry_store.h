// The registry's store: HKEY_LOCAL_MACHINE in <machine root>/registry.db (SQLite, WAL), shared by
// every process and thread. Keys are rows named by a never-reused id; an open HKEY holds that id,
// so a key deleted while open answers ERROR_KEY_DELETED.
#pragma once

#include <windows.h>

#include <qf/handle_table.h>

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qf::registry {

constexpr int64_t kRootKeyId = 1;  // HKEY_LOCAL_MACHINE

// An open key: the registry file it belongs to, the key's id and the rights it was opened with.
class RegistryKey : public KernelObject {
public:
    RegistryKey(std::string database, int64_t id, REGSAM access)
        : database(std::move(database)), id(id), access(access) {}
    const std::string database;
    const int64_t id;
    const REGSAM access;
};

// One transaction on the registry of the current machine root.
class Session {
public:
    Session(sqlite3* db, const std::string& database) : db_(db), database_(database) {}
    const std::string& database() const { return database_; }

    // A statement from the connection's cache, reset and with its bindings cleared.
    sqlite3_stmt* statement(const char* sql);
    // Steps a statement: true for a row, false when done. Throws on an error (busy included).
    bool step(sqlite3_stmt* statement);

    bool key_exists(int64_t id);
    // The id of the child of parent called name (without regard to case); false when none.
    bool find_child(int64_t parent, const std::string& name, int64_t& child);
    bool has_children(int64_t id);
    int64_t create_child(int64_t parent, const std::string& name);
    void touch(int64_t id);  // sets the key's last write time to now

private:
    sqlite3* db_;
    const std::string& database_;
};

// The key an HKEY stands for, checked against the session's registry and its rights.
struct OpenKey {
    int64_t id = 0;
    REGSAM access = 0;
};
// ERROR_SUCCESS with key filled, or ERROR_INVALID_HANDLE (not an open key of HKEY_LOCAL_MACHINE),
// ERROR_KEY_DELETED (the key is gone, or belongs to another machine root's registry) or
// ERROR_ACCESS_DENIED (opened without every right in needed).
LONG resolve_key(Session& session, HKEY handle, REGSAM needed, OpenKey& key);

// Runs body in one transaction (write = take the write lock at once) and returns its result;
// the transaction commits only when body returns ERROR_SUCCESS. A busy registry is retried; a
// store that cannot be opened or read answers ERROR_REGISTRY_IO_FAILED.
LONG run_transaction(bool write, const std::function<LONG(Session&)>& body);

// Splits a subkey path at backslashes. ERROR_BAD_PATHNAME for a leading backslash or an empty
// component, ERROR_INVALID_PARAMETER for a component longer than 255 characters.
LONG split_subkey(const char* subKey, std::vector<std::string>& parts);

// The rights a REGSAM grants, with the generic rights mapped to key rights.
REGSAM key_rights(REGSAM desired);

// Now as a FILETIME count (100 ns since 1601).
int64_t filetime_now();

}  // namespace qf::registry
