/* Part of the Win32 stand-in that the Winsock runtime work fills in. */
#ifndef QF_LIBLOADERAPI_H
#define QF_LIBLOADERAPI_H

#include "windef.h"

#endif
