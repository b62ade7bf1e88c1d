// The Advanced settings window's log buttons: View Log (1011) shows a text dump of the access
// log in WordPad and waits until WordPad is closed; Erase Log (1016) empties the log after a
// question.
#pragma once

#include "advanced_window.h"

// Where WordPad is: the default value of this key (HKEY_LOCAL_MACHINE).
extern const char kWordPadAppPathKey[];  // "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\WORDPAD.EXE"

// View Log: dumps the log, runs WordPad on the dump (waiting for it) and deletes the dump.
// Without a readable WordPad path WordPad does not start; the dump is made and deleted all the
// same.
void ViewLog(AdvancedWindow& window);

// Erase Log's question, asked with kEraseLogType (Yes and No, No the default, no icon).
extern const char kEraseLogQuestion[];  // "The current log will be completely erased.\nDo you want to erase the log ?"
extern const char kEraseLogCaption[];   // "Quillfence - Erase log"
extern const UINT kEraseLogType;

// Erase Log: asks; on Yes erases every entry. True when the log was erased.
bool EraseLog(AdvancedWindow& window);
