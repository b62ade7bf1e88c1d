/* VTPeriod: the stored weekly access schedule.
 *
 * Factory settings: time management not active, warning 5 minutes, every slot allowed.
 * Results: 1 = success; read answers 0 when the stored settings are missing or damaged. */
#ifndef VTPERIOD_H
#define VTPERIOD_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ACCESS_DAYS 7
#define ACCESS_SLOTS_PER_DAY 48

typedef struct AccessTimeTable {
    INT enabled;        /* 1 = time management active */
    INT warningMinutes; /* 5, 10 or 15 */
    /* day 0 Sunday .. 6 Saturday; slot k covers the half hour from k x 30 minutes after midnight;
     * 1 = access allowed */
    INT slots[ACCESS_DAYS][ACCESS_SLOTS_PER_DAY];
} AccessTimeTable;

int vtperiod_init(AccessTimeTable* record);
int vtperiod_read(AccessTimeTable* record);
int vtperiod_write(AccessTimeTable* record);
int vtperiod_regen(AccessTimeTable* record);

/* By local time: 0 = access not allowed now, 1 = allowed, 2 = allowed but the current allowed
 * run ends within warningMinutes. */
int vtperiod_validate_currenttime(const AccessTimeTable* record);

#ifdef __cplusplus
}
static_assert(sizeof(AccessTimeTable) == 1352, "AccessTimeTable is 1352 bytes");
#endif

#endif
