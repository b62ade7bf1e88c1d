/* The Win32 stand-in's umbrella header: the product includes <windows.h> as on Windows. */
#ifndef QF_WINDOWS_H
#define QF_WINDOWS_H

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
