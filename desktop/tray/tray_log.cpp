#include "tray_log.h"

#include <stdarg.h>
#include <stdio.h>

void tray_log(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    fprintf(stderr, "quillfence-tray: %s\n", line);
    fflush(stderr);
}
