/* VTPicsRsac: RSACi rating labels (PICS-1.1) in web data. */
#ifndef VTPICSRSAC_H
#define VTPICSRSAC_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PICS_RATED_ABOVE 2

/* 2 when an RSACi label in the data rates the page above any of the levels S (sex), V (violence),
 * N (nudity), L (language); any other value means no objection. */
int vtpics_rsac_validate(const char* data, DWORD length, int S, int V, int N, int L);

#ifdef __cplusplus
}
#endif

#endif
