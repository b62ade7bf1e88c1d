/* VTPicsSSurf: SafeSurf rating labels (PICS-1.1 and PICS-1.0) in web data. */
#ifndef VTPICSSSURF_H
#define VTPICSSSURF_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef PICS_RATED_ABOVE
#define PICS_RATED_ABOVE 2
#endif

/* 2 when a SafeSurf label in the data rates the page above one of the eleven stored levels
 * (SS~~000 to SS~~00A). A stored level p stands for SafeSurf level p + 1: a page rating of
 * p + 1 is allowed, p + 2 is above. Any other value means no objection: 1 when SafeSurf labels
 * were found and none rates above, 0 when there is none. Labels are read as VTPicsRsac reads
 * them; the SafeSurf service is "http://www.classify.org/safesurf/" (any case, with or without
 * the trailing slash). A label that does not parse is no objection. */
int vtpics_safesurf_validate(const char* data, DWORD length, int level0, int level1, int level2, int level3,
                             int level4, int level5, int level6, int level7, int level8, int level9,
                             int level10);

#ifdef __cplusplus
}
#endif

#endif
