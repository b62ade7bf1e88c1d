#include "termutil.h"

#include <asciicase.h>

extern "C" int ConvertToLowerCase(char* text) {
    if (!text) return 0;
    for (char* p = text; *p; ++p) *p = qf_ascii_lower(*p);
    return 1;
}
