/* Conversions between WCHAR (UTF-16) texts and narrow texts of the Win32 stand-in.
 * Code pages: CP_ACP and CP_THREAD_ACP are the system's ANSI code page, Windows-1252 (Western
 * European, as on the Windows machines the system is made for; its five unassigned bytes stand for
 * U+0081, U+008D, U+008F, U+0090 and U+009D, as on Windows); 1252 names it too; CP_UTF8. Any other
 * code page gives ERROR_INVALID_PARAMETER.
 * Flags: with CP_UTF8, MB_ERR_INVALID_CHARS / WC_ERR_INVALID_CHARS only; with Windows-1252,
 * MB_PRECOMPOSED, MB_ERR_INVALID_CHARS and WC_NO_BEST_FIT_CHARS (there is no best-fit mapping: a
 * character outside the code page becomes the default character). Other flags: ERROR_INVALID_FLAGS.
 * A length of -1 takes the text up to and including its terminator; an output size of 0 asks for
 * the size needed. Errors: ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER, ERROR_INVALID_FLAGS,
 * ERROR_NO_UNICODE_TRANSLATION (invalid input with the ERR_INVALID_CHARS flag; without it, each
 * invalid sequence becomes U+FFFD). */
#ifndef QF_STRINGAPISET_H
#define QF_STRINGAPISET_H

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008

#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);
/* With CP_UTF8, lpDefaultChar and lpUsedDefaultChar must be NULL. */
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar);

#ifdef __cplusplus
}
#endif

#endif
