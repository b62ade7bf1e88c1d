/* The schedule check at a given local time. vtperiod_validate_currenttime is this check at the
 * current local time; tests and tools call it with a time of their choosing. */
#ifndef VTPERIOD_CLOCK_H
#define VTPERIOD_CLOCK_H

#include "vtperiod.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Uses wDayOfWeek (0 = Sunday), wHour, wMinute and wSecond of localTime. 0 = access not allowed
 * (also for a time that does not exist), 1 = allowed, 2 = allowed and the allowed run, followed
 * across midnight and across the end of the week, ends within warningMinutes. */
int vtperiod_validate_at(const AccessTimeTable* record, const SYSTEMTIME* localTime);

#ifdef __cplusplus
}
#endif

#endif
