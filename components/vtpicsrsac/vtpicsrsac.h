/* VTPicsRsac: RSACi rating labels (PICS-1.1 and PICS-1.0) in web data. */
#ifndef VTPICSRSAC_H
#define VTPICSRSAC_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PICS_RATED_ABOVE 2

/* 2 when an RSACi label in the data rates the page above any of the levels S (sex), V (violence),
 * N (nudity), L (language); any other value means no objection: 1 when RSACi labels were found
 * and none rates above, 0 when there is none. Labels are read from META tags with http-equiv
 * "PICS-Label" and from "PICS-Label:" header lines; the RSACi service is
 * "http://www.rsac.org/ratingsv01.html" (any case, with or without a trailing slash) and its
 * categories are n, s, v and l. A label that does not parse is no objection. */
int vtpics_rsac_validate(const char* data, DWORD length, int S, int V, int N, int L);

#ifdef __cplusplus
}
#endif

#endif
