/* Process start of the C runtime, as the Win32 stand-in offers it. */
#ifndef QF_PROCESS_H
#define QF_PROCESS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define _P_WAIT 0
#define _P_NOWAIT 1
#define _P_OVERLAY 2
#define _P_NOWAITO 3
#define _P_DETACH 4

/* Runs the program cmdname (a Windows path, mapped into the machine root like the file functions'
 * paths; a relative one is taken from the current directory, and no search path is used) with the
 * arguments arg0, ... up to a NULL. As on Windows, the arguments are joined with blanks into one
 * command line and the program receives that line split by the C runtime's rules (blanks separate,
 * double quotation marks group and are removed, backslashes before a quotation mark escape it), so
 * a quoted path with blanks arrives as one argument without its quotation marks.
 * Only _P_WAIT is supported: waits for the program and answers its exit code (3 when a signal
 * ended it, as for a program that aborted). -1 with errno set when it cannot be started (ENOENT
 * for a missing program), EINVAL for another mode or a missing cmdname or arg0. */
intptr_t _spawnl(int mode, const char* cmdname, const char* arg0, ...);

#ifdef __cplusplus
}
#endif

#endif
