// Conversion of Linux errno values to Win32 error codes, in one table.
#pragma once

#include <windows.h>

namespace qf {

// The Win32 error code that stands for errnoValue (ERROR_GEN_FAILURE when none fits).
DWORD win32_error_from_errno(int errnoValue);

// SetLastError(win32_error_from_errno(errnoValue)).
void set_last_error_from_errno(int errnoValue);

}  // namespace qf
