/* The installation directory (registry value DBDIR) and file names under it. */
#ifndef QF_DBDIR_H
#define QF_DBDIR_H

#include <windows.h>

#define QF_PRODUCT_KEY "SOFTWARE\\Marrowby\\Quillfence\\2.2"
#define QF_DBDIR_VALUE "DBDIR"

/* Writes DBDIR followed by relative (e.g. "log\\access.db") into out, a buffer of outSize bytes.
 * 1 = done; 0 = DBDIR cannot be read or the path does not fit (out is then an empty string). */
int dbdir_path(const char* relative, char* out, DWORD outSize);

/* Makes sure the folder of relative (the part before its last backslash, e.g. "db" for
 * "db\\rsac.dat") exists under DBDIR, creating that one folder when it is missing.
 * 1 = the folder exists; 0 = DBDIR cannot be read or the folder cannot be created. */
int dbdir_ensure_folder(const char* relative);

#endif
