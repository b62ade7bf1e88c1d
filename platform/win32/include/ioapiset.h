/* Part of the Win32 stand-in that the Winsock runtime work fills in. */
#ifndef QF_IOAPISET_H
#define QF_IOAPISET_H

#include "windef.h"

#endif
