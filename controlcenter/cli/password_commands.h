// The password commands: setting the Control Center password, and asking for it before a change.
#pragma once

// quillfence passwd: sets the first password, or changes it (current, then new twice).
int SetPasswordCommand(bool fromStdin);

// 0 when the Control Center password is given, else the command's failure (exit code).
int CheckPasswordCommand(bool fromStdin);
