#include "size_file.h"

#include <windows.h>

#include <limits.h>

#include <vector>

namespace {

// The three lines are near the start; what lies past this is not read.
const DWORD kReadLimit = 64 * 1024;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// atoi of the line [p, end), saturated at the int range.
long long line_number(const char* p, const char* end) {
    while (p < end && is_blank(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    long long value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;
    }
    return negative ? -value : value;
}

}  // namespace

bool ParseUpdateSizes(const char* text, size_t length, UpdateSizes& sizes) {
    const char* p = text;
    const char* end = text + length;
    long long sum = 0;
    for (int line = 0; line < 3; ++line) {
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n') ++lineEnd;
        const long long count = p < end ? line_number(p, lineEnd) : 0;
        if (count < 1 || count > INT_MAX) return false;
        sizes.counts[line] = static_cast<int>(count);
        sum += count;
        p = lineEnd < end ? lineEnd + 1 : end;
    }
    return sum <= INT_MAX;
}

bool ReadUpdateSizes(const char* path, UpdateSizes& sizes) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<char> text(kReadLimit);
    DWORD total = 0;
    bool ok = true;
    while (total < kReadLimit) {
        DWORD got = 0;
        if (!ReadFile(file, text.data() + total, kReadLimit - total, &got, NULL)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        total += got;
    }
    CloseHandle(file);
    return ok && ParseUpdateSizes(text.data(), total, sizes);
}
