/* Common controls of the Win32 stand-in: the progress bar's messages. */
#ifndef QF_COMMCTRL_H
#define QF_COMMCTRL_H

#include "winuser.h"

/* Progress bar. PBM_SETRANGE: lParam = MAKELPARAM(low, high), 16-bit each; PBM_SETRANGE32:
 * wParam = low, lParam = high; PBM_SETPOS: wParam = position; PBM_DELTAPOS: wParam = amount. */
#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

#endif
