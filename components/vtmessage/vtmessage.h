/* VTMessage: alerts to the person at the machine. Never waits: the alert is queued for the
 * machine's alert spool, which whatever presents alerts reads; a writer thread of the process
 * stores it soon after, in the order raised, and what still waits when the process ends is stored
 * then (for a few seconds at most); once the spool has a writer thread the library stays loaded
 * until then. An alert is dropped only when DBDIR cannot be read or its "log" folder cannot be
 * made, or when 4096 alerts already wait.
 *
 * The spool is the SQLite database DBDIR "log\alerts.db", table alerts(id, time, program,
 * caption, text); many processes and threads append to it at once. */
#ifndef VTMESSAGE_H
#define VTMESSAGE_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* caption, then the text (lines separated by "\n"); callers pass exactly these two texts.
 * Each is kept up to 254 characters. */
void VTGenerateMsg(const char* caption, const char* text, ...);

/* Reading the spool back, for the tray and for tests. ids grow with every alert. */
typedef struct VTAlert {
    INT id;
    CHAR time[20];     /* local time "YYYY-MM-DD hh:mm:ss" */
    CHAR program[255]; /* the alerting program (GetModuleFileNameA) */
    CHAR caption[255];
    CHAR text[255];
} VTAlert;

/* Copies up to capacity alerts whose id is greater than afterId, oldest first, once this
 * process's waiting alerts have been stored (waiting a few seconds at most).
 * Result: the number copied, or -1 when the spool cannot be read. */
int VTMessage_ReadAlerts(INT afterId, VTAlert* alerts, int capacity);

/* Stores this process's waiting alerts (a few seconds at most) and closes its connection to the
 * spool; the next call opens it again. */
void VTMessage_Close(void);

#ifdef __cplusplus
}
#endif

#endif
