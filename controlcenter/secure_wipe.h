// Clearing memory that held a password, in a way the compiler does not leave out.
#pragma once

#include <stddef.h>

inline void SecureWipe(void* data, size_t size) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) bytes[i] = 0;
}
