#include "stamp.h"

#include <stdio.h>
#include <string.h>

void stamp_local_time(char out[STAMP_TIME_SIZE]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    snprintf(out, STAMP_TIME_SIZE, "%04u-%02u-%02u %02u:%02u:%02u", (unsigned)now.wYear % 10000u,
             (unsigned)now.wMonth % 100u, (unsigned)now.wDay % 100u, (unsigned)now.wHour % 100u,
             (unsigned)now.wMinute % 100u, (unsigned)now.wSecond % 100u);
}

void stamp_program(char* out, DWORD size) {
    if (!out || size == 0) return;
    out[0] = '\0';
    DWORD length = GetModuleFileNameA(NULL, out, size);
    if (length == 0 || length >= size) out[length == 0 ? 0 : size - 1] = '\0';
}

void stamp_copy(char* out, size_t size, const char* text) {
    if (!out || size == 0) return;
    size_t length = text ? strnlen(text, size - 1) : 0;
    if (length) memcpy(out, text, length);
    out[length] = '\0';
}
