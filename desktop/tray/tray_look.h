// What the tray icon shows for each filtering state, in the StatusNotifierItem and in the classic
// tray alike; and the one menu item both offer.
#pragma once

struct StateLook {
    const char* title;
    const char* iconName;
    const char* description;
};

// filterState as VTTray_ProviderState gives it: 1 = on, 0 = off, -1 = not known.
const StateLook& tray_look_of(int filterState);

#define TRAY_OPEN_CONTROL_CENTER_LABEL "Open Control Center"
