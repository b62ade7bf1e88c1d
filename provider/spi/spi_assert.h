// Assertions of the Winsock plumbing: they guard programming errors only, name the condition as
// written in the module and the module, and stop the process.
#ifndef VTLSP_SPI_ASSERT_H
#define VTLSP_SPI_ASSERT_H

#include <stdio.h>
#include <stdlib.h>

#define VTLSP_ASSERT(condition, text, module)                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            fprintf(stderr, "vtlsp: assertion failed: %s (module %s)\n", text, module); \
            abort();                                                                   \
        }                                                                              \
    } while (0)

#endif
