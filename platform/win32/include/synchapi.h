/* Part of the Win32 stand-in that the Winsock runtime work fills in. */
#ifndef QF_SYNCHAPI_H
#define QF_SYNCHAPI_H

#include "windef.h"

#endif
