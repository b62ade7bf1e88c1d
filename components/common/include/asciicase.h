// ASCII case folding for names, keywords and list entries: only 'A' to 'Z' change, every other
// byte (non-ASCII included) stays as it is.
#pragma once

#include <stddef.h>

inline unsigned char qf_ascii_lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

inline char qf_ascii_lower(char c) { return static_cast<char>(qf_ascii_lower(static_cast<unsigned char>(c))); }

// The first n bytes of a and b are equal, ignoring ASCII case.
inline bool qf_ascii_equal_nocase(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (qf_ascii_lower(a[i]) != qf_ascii_lower(b[i])) return false;
    return true;
}
