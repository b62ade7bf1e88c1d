/* The provider-order library (sporder.dll): rewrites the order of the Winsock catalog. */
#ifndef QF_SPORDER_H
#define QF_SPORDER_H

#include "ws2spi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* lpwdCatalogEntryId must hold every catalog entry id exactly once; returns ERROR_SUCCESS or a
 * Winsock error code (WSAEINVAL for an array that is not a permutation of the current ids). */
int WSPAPI WSCWriteProviderOrder(LPDWORD lpwdCatalogEntryId, DWORD dwNumberOfEntries);
typedef int (WSPAPI* LPWSCWRITEPROVIDERORDER)(LPDWORD lpwdCatalogEntryId, DWORD dwNumberOfEntries);

#ifdef __cplusplus
}
#endif

#endif
