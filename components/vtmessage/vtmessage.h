/* VTMessage: alerts to the person at the machine. Never waits: the alert is appended to the
 * machine's alert spool, which whatever presents alerts reads. */
#ifndef VTMESSAGE_H
#define VTMESSAGE_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* caption, then the text (lines separated by "\n"); callers pass exactly these two texts. */
void VTGenerateMsg(const char* caption, const char* text, ...);

#ifdef __cplusplus
}
#endif

#endif
