/* Part of the Win32 stand-in that the Winsock runtime work fills in. */
#ifndef QF_WINUSER_H
#define QF_WINUSER_H

#include "windef.h"

#endif
