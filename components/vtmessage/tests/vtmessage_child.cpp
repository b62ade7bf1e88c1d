// Raises count alerts "<tag> <i>" in the machine root named by QUILLFENCE_ROOT.
#include <stdio.h>
#include <stdlib.h>

#include "vtmessage.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    int count = atoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        char text[64];
        snprintf(text, sizeof(text), "%s %d", argv[1], i);
        VTGenerateMsg("Quillfence Warning", text);
    }
    VTMessage_Close();
    return 0;
}
