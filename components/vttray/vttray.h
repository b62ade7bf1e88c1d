/* VTTray: the tray component that shows whether filtering is on.
 *
 * The state is kept in the registry, where the tray reads it: HKEY_LOCAL_MACHINE
 * "SOFTWARE\Marrowby\Quillfence\2.2\Tray", REG_DWORD value "FilterOn" (1 = on, 0 = off). */
#ifndef VTTRAY_H
#define VTTRAY_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VTTRAY_KEY "SOFTWARE\\Marrowby\\Quillfence\\2.2\\Tray"
#define VTTRAY_FILTER_ON "FilterOn"

/* (Re)loads the tray so that it reflects the current state: filtering is on exactly when the
 * provider key exists. */
void VTTrayLoad(void);

/* The state the tray shows: 1 = filtering on, 0 = off, -1 = never recorded. */
int VTTray_FilterState(void);

/* The state now, read from the provider key without recording it (for a tray that may not write
 * HKEY_LOCAL_MACHINE): 1 = filtering on, 0 = off, -1 = the registry cannot be read. */
int VTTray_ProviderState(void);

#ifdef __cplusplus
}
#endif

#endif
