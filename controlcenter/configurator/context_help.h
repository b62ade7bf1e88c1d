// Context help of the Control Center's windows: F1 over a control (WM_HELP) and a right click
// (WM_CONTEXTMENU) open the help file at the control's topic, from a table of control
// identifiers and help contexts ending in 0, 0.
#pragma once

#include <windows.h>

class CDialog;

// WM_HELP: a control's help (not for the dialog's static texts). Always handled: TRUE.
BOOL ShowControlHelp(const HELPINFO* info, const DWORD* table);
// WM_CONTEXTMENU on a control of dialog (a click on the dialog itself opens nothing).
void ShowContextMenuHelp(CDialog& dialog, HWND window, const DWORD* table);
