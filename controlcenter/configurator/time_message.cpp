#include "time_message.h"

#include <dlg_dialog.h>

void ShowTimeError(CDialog& dialog, const char* text) { dialog.MessageBox(text, "Error", MB_OK | MB_ICONERROR); }
