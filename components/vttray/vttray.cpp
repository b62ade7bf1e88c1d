// VTTray: records whether filtering is on where the tray reads it (see vttray.h).
#include "vttray.h"

#include <provider_key.h>

namespace {

const char kProviderKey[] = QF_PROVIDER_KEY;

}  // namespace

extern "C" {

void VTTrayLoad(void) {
    const int state = VTTray_ProviderState();
    if (state < 0) return;  // nothing known to record
    DWORD on = (DWORD)state;
    if (VTTray_FilterState() == state) return;  // every filtered process calls this: write only a change

    HKEY tray;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, VTTRAY_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, NULL, &tray,
                        NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(tray, VTTRAY_FILTER_ON, 0, REG_DWORD, (const BYTE*)&on, sizeof(on));
    RegCloseKey(tray);
}

int VTTray_ProviderState(void) {
    HKEY provider;
    const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, KEY_QUERY_VALUE, &provider);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(provider);
        return 1;
    }
    return status == ERROR_FILE_NOT_FOUND ? 0 : -1;
}

int VTTray_FilterState(void) {
    HKEY tray;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VTTRAY_KEY, 0, KEY_QUERY_VALUE, &tray) != ERROR_SUCCESS) return -1;
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    LONG status = RegQueryValueExA(tray, VTTRAY_FILTER_ON, NULL, &type, (LPBYTE)&value, &size);
    RegCloseKey(tray);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return -1;
    return value ? 1 : 0;
}

}  // extern "C"
