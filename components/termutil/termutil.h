/* termutil: text routines of the list dialogs. */
#ifndef TERMUTIL_H
#define TERMUTIL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Lower-cases a zero-terminated text in place (ASCII letters only). */
int ConvertToLowerCase(char* text);

#ifdef __cplusplus
}
#endif

#endif
