/* Part of the Win32 stand-in that the Winsock runtime work fills in. */
#ifndef QF_SYSINFOAPI_H
#define QF_SYSINFOAPI_H

#include "windef.h"

#endif
