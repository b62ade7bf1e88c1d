/* VTRsac: the stored RSACi rating limits.
 *
 * Factory settings: filtering on RSACi ratings disabled, every level 0 (the strictest).
 * Results: 1 = success; read answers 0 when the stored settings are missing or damaged. */
#ifndef VTRSAC_H
#define VTRSAC_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RsacSettings {
    INT enabled;       /* 1 = filter on RSACi ratings */
    INT sexLevel;      /* S, 0-4 */
    INT violenceLevel; /* V, 0-4 */
    INT languageLevel; /* L, 0-4 */
    INT nudityLevel;   /* N, 0-4 */
} RsacSettings;

int vtrsac_init(RsacSettings* record);
int vtrsac_read(RsacSettings* record);
int vtrsac_write(RsacSettings* record);
int vtrsac_regen(RsacSettings* record);

#ifdef __cplusplus
}
static_assert(sizeof(RsacSettings) == 20, "RsacSettings is 20 bytes");
#endif

#endif
