// Starting the Control Center from the tray: the program `configurator` beside the tray agent's
// own binary, on the same machine root (QUILLFENCE_ROOT, which it inherits).
#pragma once

#include <string>

// The path the Control Center is expected at.
std::string ControlCenterPath();

// Starts it without waiting for it. False, with a sentence in error, when it is not there or
// cannot be started.
bool StartControlCenter(std::string& error);
