// The log commands: the access log shown, and erased as Erase Log does.
#pragma once

// quillfence log [show]: every entry, oldest first: time, kind, port, text, program.
int LogShowCommand();

// quillfence log erase --yes: Erase Log answered Yes (the command line asks nothing: --yes is its
// answer).
int LogEraseCommand();
