// What a test sees of a dialog open on the windowed backend: a picture of its window, and the
// faults of its layout as drawn in the dialog font.
#pragma once

#include <dlg_dialog.h>

#include <string>
#include <vector>

// Writes a PNG of the dialog's window (a drawn title bar with its caption above the client area).
bool WxSaveScreenshot(const CDialog& dialog, const std::string& path, std::string& error);

// One line per fault: a control whose text does not fit its rectangle, two controls that overlap
// (a group box and the controls it frames excepted), a control outside the dialog.
std::vector<std::string> WxLayoutFaults(const CDialog& dialog);

// The dialog font's base units in pixels (the average letter width and the height).
void WxDialogBaseUnits(int& width, int& height);
