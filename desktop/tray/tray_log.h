// The tray agent's lines about itself, on standard error ("quillfence-tray: ..."): the desktop
// session keeps them in its log.
#pragma once

void tray_log(const char* format, ...) __attribute__((format(printf, 1, 2)));
