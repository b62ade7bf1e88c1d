// Registry values: query, set, delete.
#include "registry_store.h"

#include <cstring>

using namespace qf;
using namespace qf::registry;

namespace {

std::string value_name(LPCSTR name) { return name ? name : ""; }  // NULL and "" name the default value

bool is_string_type(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

}  // namespace

extern "C" LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                        LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    const std::string name = value_name(lpValueName);
    return run_transaction(false, [&](Session& session) -> LONG {
        OpenKey key;
        if (LONG status = resolve_key(session, hKey, KEY_QUERY_VALUE, key); status != ERROR_SUCCESS) return status;
        sqlite3_stmt* s = session.statement("SELECT type, data FROM reg_value WHERE key = ? AND name = ?");
        sqlite3_bind_int64(s, 1, key.id);
        sqlite3_bind_text(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        if (!session.step(s)) return ERROR_FILE_NOT_FOUND;
        if (lpType) *lpType = static_cast<DWORD>(sqlite3_column_int64(s, 0));
        const void* data = sqlite3_column_blob(s, 1);
        DWORD size = static_cast<DWORD>(sqlite3_column_bytes(s, 1));
        if (lpData) {
            if (*lpcbData < size) {
                *lpcbData = size;  // the size the caller needs
                return ERROR_MORE_DATA;
            }
            if (size) std::memcpy(lpData, data, size);
        }
        if (lpcbData) *lpcbData = size;
        return ERROR_SUCCESS;
    });
}

extern "C" LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                      DWORD cbData) {
    (void)Reserved;
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::string data = lpData ? std::string(reinterpret_cast<const char*>(lpData), cbData) : std::string();
    // String values always carry their terminator (two for a multi-string), so every reader that
    // takes the stored size gets a terminated text even from a caller that left it out.
    if (is_string_type(dwType)) {
        if (data.empty() || data.back() != '\0') data.push_back('\0');
        if (dwType == REG_MULTI_SZ && (data.size() < 2 || data[data.size() - 2] != '\0')) data.push_back('\0');
    }
    const std::string name = value_name(lpValueName);
    return run_transaction(true, [&](Session& session) -> LONG {
        OpenKey key;
        if (LONG status = resolve_key(session, hKey, KEY_SET_VALUE, key); status != ERROR_SUCCESS) return status;
        sqlite3_stmt* s = session.statement(
            "INSERT INTO reg_value(key, name, type, data) VALUES(?, ?, ?, ?) "
            "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
        sqlite3_bind_int64(s, 1, key.id);
        sqlite3_bind_text(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 3, dwType);
        sqlite3_bind_blob(s, 4, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        session.step(s);
        session.touch(key.id);
        return ERROR_SUCCESS;
    });
}

extern "C" LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    const std::string name = value_name(lpValueName);
    return run_transaction(true, [&](Session& session) -> LONG {
        OpenKey key;
        if (LONG status = resolve_key(session, hKey, KEY_SET_VALUE, key); status != ERROR_SUCCESS) return status;
        sqlite3_stmt* s = session.statement("DELETE FROM reg_value WHERE key = ? AND name = ?");
        sqlite3_bind_int64(s, 1, key.id);
        sqlite3_bind_text(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        session.step(s);
        if (sqlite3_changes(sqlite3_db_handle(s)) == 0) return ERROR_FILE_NOT_FOUND;
        session.touch(key.id);
        return ERROR_SUCCESS;
    });
}
