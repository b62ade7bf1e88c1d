// Where the log viewer is: the default value of WordPad's App Paths key (HKEY_LOCAL_MACHINE),
// which View Log starts on the log's dump and the machine's set-up points at the desktop's viewer.
#pragma once

#define QF_LOG_VIEWER_APP_PATH_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WORDPAD.EXE"
