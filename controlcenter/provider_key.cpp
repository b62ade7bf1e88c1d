// The provider key and the on/off state read from it.
#include "provider_key.h"

#include <windows.h>

const char kProviderKey[] = "SOFTWARE\\WinSock2\\Vantrel Service Provider";

bool IsFilteringOn() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}
