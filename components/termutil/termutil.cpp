#include "termutil.h"

extern "C" int ConvertToLowerCase(char* text) {
    if (!text) return 0;
    for (char* p = text; *p; ++p)
        if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p + ('a' - 'A'));
    return 1;
}
