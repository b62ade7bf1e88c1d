// The provider key and the on/off state read from it.
#include "filtering_state.h"

#include <windows.h>

#include <provider_key.h>

const char kProviderKey[] = QF_PROVIDER_KEY;

bool IsFilteringOn() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}
