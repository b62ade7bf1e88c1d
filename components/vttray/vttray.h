/* VTTray: the tray component that shows whether filtering is on. */
#ifndef VTTRAY_H
#define VTTRAY_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* (Re)loads the tray so that it reflects the current state: filtering is on exactly when the
 * provider key exists. */
void VTTrayLoad(void);

#ifdef __cplusplus
}
#endif

#endif
