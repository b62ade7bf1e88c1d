// Appends count entries "<tag> <i>" to the log of the machine root named by QUILLFENCE_ROOT.
// Exit code 0 when every entry was stored.
#include <stdio.h>
#include <stdlib.h>

#include "vtlogger.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const char* tag = argv[1];
    int count = atoi(argv[2]);
    if (VTLogger_Init() != 1) return 1;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        char text[64];
        snprintf(text, sizeof(text), "%s %d", tag, i);
        if (VTLogger_Submit("INFORM", i, text) != 1) ++failures;
    }
    VTLogger_Free();
    return failures == 0 ? 0 : 1;
}
