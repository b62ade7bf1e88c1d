#include "dbdir.h"

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
