/* Part of the Win32 stand-in that the Winsock runtime work fills in. */
#ifndef QF_PROCESSTHREADSAPI_H
#define QF_PROCESSTHREADSAPI_H

#include "windef.h"

#endif
