// Which machine root a command of the stand-in works on (the admin command line, quillfence-run).
#pragma once

#include <string>

// Points this process at the machine root: dir when given (rootGiven), else the default root
// ($QUILLFENCE_ROOT, else $XDG_DATA_HOME/quillfence). The root must already be a machine (a
// directory with its registry); nothing is created. False, with a sentence in error, otherwise.
bool SelectMachineRoot(bool rootGiven, const std::string& dir, std::string& error);
