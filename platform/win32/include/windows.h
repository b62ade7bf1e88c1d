/* The Win32 stand-in's umbrella header: the product includes <windows.h> as on Windows. Like the
 * real one it brings no C library header beyond stdarg.h: code that uses printf, memcpy or malloc
 * includes stdio.h, string.h or stdlib.h itself, so it builds against the real headers too. */
#ifndef QF_WINDOWS_H
#define QF_WINDOWS_H

#include <stdarg.h>

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "stringapiset.h"
#include "winreg.h"
#include "synchapi.h"
#include "processthreadsapi.h"
#include "libloaderapi.h"
#include "ioapiset.h"
#include "sysinfoapi.h"
#include "winuser.h"

#endif
