// Registry keys: open, create, enumerate, delete, close.
#include "registry_store.h"

#include <cstring>

using namespace qf;
using namespace qf::registry;

namespace {

const REGSAM kSpecificKeyRights = 0x003F;

// The key a transaction found; the HKEY is handed out only once the transaction has committed.
struct FoundKey {
    std::string database;
    int64_t id = 0;

    void set(Session& session, int64_t keyId) {
        database = session.database();
        id = keyId;
    }
    HKEY handle(REGSAM samDesired) const {
        REGSAM rights = key_rights(samDesired) & (kSpecificKeyRights | 0x00FF0000);
        return reinterpret_cast<HKEY>(handle_insert(std::make_shared<RegistryKey>(database, id, rights)));
    }
};

}  // namespace

extern "C" LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    (void)ulOptions;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::vector<std::string> parts;
    if (LONG status = split_subkey(lpSubKey, parts); status != ERROR_SUCCESS) return status;
    FoundKey found;
    LONG result = run_transaction(false, [&](Session& session) -> LONG {
        OpenKey parent;
        if (LONG status = resolve_key(session, hKey, 0, parent); status != ERROR_SUCCESS) return status;
        int64_t id = parent.id;
        for (const std::string& part : parts)
            if (!session.find_child(id, part, id)) return ERROR_FILE_NOT_FOUND;
        found.set(session, id);
        return ERROR_SUCCESS;
    });
    if (result == ERROR_SUCCESS) *phkResult = found.handle(samDesired);
    return result;
}

extern "C" LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                       REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                       PHKEY phkResult, LPDWORD lpdwDisposition) {
    (void)lpClass;
    (void)lpSecurityAttributes;
    if (!phkResult || !lpSubKey || Reserved != 0) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    // Volatile keys would vanish at the next start of Windows; the stand-in never restarts, so
    // within a machine's life they behave as stored keys. Links and backup opens are not offered.
    if (dwOptions & ~static_cast<DWORD>(REG_OPTION_VOLATILE)) return ERROR_INVALID_PARAMETER;
    std::vector<std::string> parts;
    if (LONG status = split_subkey(lpSubKey, parts); status != ERROR_SUCCESS) return status;
    FoundKey found;
    bool created = false;
    LONG result = run_transaction(true, [&](Session& session) -> LONG {
        OpenKey parent;
        if (LONG status = resolve_key(session, hKey, 0, parent); status != ERROR_SUCCESS) return status;
        int64_t id = parent.id;
        created = false;
        for (const std::string& part : parts) {
            int64_t child;
            if (session.find_child(id, part, child)) {
                id = child;
                continue;
            }
            // A new key needs the right to create subkeys on the handle the caller gave.
            if (!(parent.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
            id = session.create_child(id, part);
            created = true;
        }
        found.set(session, id);
        return ERROR_SUCCESS;
    });
    if (result != ERROR_SUCCESS) return result;
    *phkResult = found.handle(samDesired);
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                     LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    return run_transaction(false, [&](Session& session) -> LONG {
        OpenKey key;
        if (LONG status = resolve_key(session, hKey, KEY_ENUMERATE_SUB_KEYS, key); status != ERROR_SUCCESS)
            return status;
        // Subkeys come in the order of their names without regard to case, as Windows keeps them.
        sqlite3_stmt* s = session.statement(
            "SELECT name, written FROM reg_key WHERE parent = ? ORDER BY name LIMIT 1 OFFSET ?");
        sqlite3_bind_int64(s, 1, key.id);
        sqlite3_bind_int64(s, 2, dwIndex);
        if (!session.step(s)) return ERROR_NO_MORE_ITEMS;
        const char* name = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        size_t length = static_cast<size_t>(sqlite3_column_bytes(s, 0));
        if (length + 1 > *lpcchName) return ERROR_MORE_DATA;
        std::memcpy(lpName, name, length);
        lpName[length] = '\0';
        *lpcchName = static_cast<DWORD>(length);
        if (lpClass) {
            if (*lpcchClass == 0) return ERROR_MORE_DATA;
            lpClass[0] = '\0';
        }
        if (lpcchClass) *lpcchClass = 0;
        if (lpftLastWriteTime) {
            uint64_t written = static_cast<uint64_t>(sqlite3_column_int64(s, 1));
            lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(written & 0xFFFFFFFFu);
            lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(written >> 32);
        }
        return ERROR_SUCCESS;
    });
}

extern "C" LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    std::vector<std::string> parts;
    if (LONG status = split_subkey(lpSubKey, parts); status != ERROR_SUCCESS) return status;
    return run_transaction(true, [&](Session& session) -> LONG {
        OpenKey parent;
        if (LONG status = resolve_key(session, hKey, 0, parent); status != ERROR_SUCCESS) return status;
        int64_t id = parent.id;
        for (const std::string& part : parts)
            if (!session.find_child(id, part, id)) return ERROR_FILE_NOT_FOUND;
        // Windows deletes only a leaf key, and never the root of a hive.
        if (id == kRootKeyId || session.has_children(id)) return ERROR_ACCESS_DENIED;
        sqlite3_stmt* values = session.statement("DELETE FROM reg_value WHERE key = ?");
        sqlite3_bind_int64(values, 1, id);
        session.step(values);
        sqlite3_stmt* parentOf = session.statement("SELECT parent FROM reg_key WHERE id = ?");
        sqlite3_bind_int64(parentOf, 1, id);
        int64_t owner = session.step(parentOf) ? sqlite3_column_int64(parentOf, 0) : 0;
        sqlite3_stmt* row = session.statement("DELETE FROM reg_key WHERE id = ?");
        sqlite3_bind_int64(row, 1, id);
        session.step(row);
        if (owner) session.touch(owner);
        return ERROR_SUCCESS;
    });
}

extern "C" LONG WINAPI RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_USERS)
        return ERROR_SUCCESS;  // the predefined keys are never really closed
    if (!handle_lookup_as<RegistryKey>(reinterpret_cast<HANDLE>(hKey))) return ERROR_INVALID_HANDLE;
    handle_remove(reinterpret_cast<HANDLE>(hKey));
    return ERROR_SUCCESS;
}
