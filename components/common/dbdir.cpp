#include "dbdir.h"

#include <string.h>

int dbdir_path(const char* relative, char* out, DWORD outSize) {
    if (!out || outSize == 0) return 0;
    out[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, QF_PRODUCT_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    char dir[256] = {0};
    DWORD size = sizeof(dir) - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, QF_DBDIR_VALUE, NULL, &type, (LPBYTE)dir, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
    dir[sizeof(dir) - 1] = '\0';
    size_t dirLength = strlen(dir);
    size_t relLength = relative ? strlen(relative) : 0;
    if (dirLength + relLength + 1 > outSize) return 0;
    memcpy(out, dir, dirLength);
    if (relLength) memcpy(out + dirLength, relative, relLength);
    out[dirLength + relLength] = '\0';
    return 1;
}

int dbdir_ensure_folder(const char* relative) {
    if (!relative) return 0;
    const char* slash = strrchr(relative, '\\');
    if (!slash) return 1;  // a file directly in DBDIR needs no folder of its own
    char folder[256] = {0};
    size_t length = (size_t)(slash - relative);
    if (length == 0 || length >= sizeof(folder)) return 0;
    memcpy(folder, relative, length);
    char path[256];
    if (!dbdir_path(folder, path, sizeof(path))) return 0;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    if (CreateDirectoryA(path, NULL)) return 1;
    // Another process may have created it at the same moment.
    return GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0;
}
