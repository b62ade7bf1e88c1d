// Switching filtering on or off, whoever asks for it (the main window's toggle, the admin command
// line): the installer, then what every switch is followed by.
#pragma once

// Runs ProviderInstaller::Toggle, reads the new state from the provider key, writes the access
// log line for it ("INFORM" when on, "WARNING" when off) and lets the tray show it. Returns
// whether filtering is on afterwards.
bool SwitchFiltering();

// The access log line that follows a switch: "INFORM" when filtering is now on, "WARNING" when
// it is off (the log is initialised already).
void LogFilteringSwitched(bool on);
