#include "registry_reader.h"

#include <windows.h>

#include <string.h>

int ReadRegistryString(const char* key, const char* valueName, char* out) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return 0;
    char buffer[256] = {0};
    DWORD size = 255;
    DWORD type = 0;
    const LONG result = RegQueryValueExA(handle, valueName, NULL, &type, (LPBYTE)buffer, &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return 0;
    buffer[size < 255 ? size : 255] = '\0';
    strcpy(out, buffer);
    return 1;
}

int ReadRegistryDword(const char* key, const char* valueName, int* out) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    const LONG result = RegQueryValueExA(handle, valueName, NULL, &type, (LPBYTE)&value, &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS || size != sizeof(value)) return 0;
    *out = (int)value;
    return 1;
}
