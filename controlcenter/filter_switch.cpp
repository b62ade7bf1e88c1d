// SwitchFiltering: the installer's toggle and the log line and tray state that follow it.
#include "filter_switch.h"

#include "provider_installer.h"
#include "filtering_state.h"

#include <vtlogger.h>
#include <vttray.h>

void LogFilteringSwitched(bool on) {
    if (on)
        VTLogger_Submit("INFORM", 0, "Quillfence has been enabled. Communications will be filtered.");
    else
        VTLogger_Submit("WARNING", 0, "Quillfence has been disabled. All communications allowed without filtering and blocking.");
}

bool SwitchFiltering() {
    ProviderInstaller installer;
    installer.Toggle();
    // The outcome is read from the key alone: the installer reports no result.
    const bool on = IsFilteringOn();
    VTLogger_Init();
    LogFilteringSwitched(on);
    VTTrayLoad();
    return on;
}
