// The newest alert the tray agent has shown, kept in the machine's registry beside the tray state
// (VTTRAY_KEY, REG_DWORD value "LastAlertShown"), so that a restarted agent shows nothing twice
// and shows what was raised while none ran.
#pragma once

#include <windows.h>

#define TRAY_LAST_ALERT_SHOWN "LastAlertShown"

// The id recorded (0 when none is, or the value is damaged).
INT ReadShownAlertMark();
// Records id. False when the registry cannot be written.
bool WriteShownAlertMark(INT id);
