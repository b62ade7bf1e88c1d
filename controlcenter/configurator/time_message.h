// The time dialogs' error boxes: caption "Error", the error icon, an OK button.
#pragma once

class CDialog;

void ShowTimeError(CDialog& dialog, const char* text);
