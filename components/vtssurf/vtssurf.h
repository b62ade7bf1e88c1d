/* VTSSurf: the stored SafeSurf rating limits.
 *
 * A stored level p (0-8) stands for SafeSurf level p + 1.
 * Factory settings: filtering on SafeSurf ratings disabled; every category at stored level 0
 * (SafeSurf level 1, the strictest; for SS~~000 Age Range that is "All Ages").
 * Results: 1 = success; read answers 0 when the stored settings are missing or damaged. */
#ifndef VTSSURF_H
#define VTSSURF_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SAFESURF_CATEGORY_COUNT 11

typedef struct SafeSurfSettings {
    INT enabled; /* 1 = filter on SafeSurf ratings */
    /* one per category, in the order of safesurf_categories.h (SS~~000 Age Range to SS~~00A Gambling) */
    INT levels[SAFESURF_CATEGORY_COUNT];
} SafeSurfSettings;

int vtssurf_init(SafeSurfSettings* record);
int vtssurf_read(SafeSurfSettings* record);
int vtssurf_write(SafeSurfSettings* record);
int vtssurf_regen(SafeSurfSettings* record);

#ifdef __cplusplus
}
static_assert(sizeof(SafeSurfSettings) == 48, "SafeSurfSettings is 48 bytes");
#endif

#endif
