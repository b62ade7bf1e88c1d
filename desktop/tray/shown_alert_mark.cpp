#include "shown_alert_mark.h"

#include <vttray.h>

INT ReadShownAlertMark() {
    HKEY tray;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VTTRAY_KEY, 0, KEY_QUERY_VALUE, &tray) != ERROR_SUCCESS) return 0;
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    const LONG status = RegQueryValueExA(tray, TRAY_LAST_ALERT_SHOWN, NULL, &type, (LPBYTE)&value, &size);
    RegCloseKey(tray);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value) || (INT)value < 0) return 0;
    return (INT)value;
}

bool WriteShownAlertMark(INT id) {
    HKEY tray;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, VTTRAY_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, NULL, &tray,
                        NULL) != ERROR_SUCCESS)
        return false;
    const DWORD value = (DWORD)id;
    const LONG status = RegSetValueExA(tray, TRAY_LAST_ALERT_SHOWN, 0, REG_DWORD, (const BYTE*)&value, sizeof(value));
    RegCloseKey(tray);
    return status == ERROR_SUCCESS;
}
