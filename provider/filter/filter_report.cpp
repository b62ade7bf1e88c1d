#include "filter_report.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <vtlogger.h>
#include <vtmessage.h>

namespace {

// Appends to a zero-terminated text in a buffer of FILTER_TEXT_SIZE bytes, cutting what does not
// fit.
void append_format(char* text, const char* format, va_list args) {
    size_t used = strlen(text);
    if (used + 1 >= FILTER_TEXT_SIZE) return;
    vsnprintf(text + used, FILTER_TEXT_SIZE - used, format, args);
}

void append(char* text, const char* format, ...) QF_PRINTF_LIKE(2, 3);
void append(char* text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    append_format(text, format, args);
    va_end(args);
}

// The "<host> (<address>); " or "<address>; " head of a line about a site.
void site_head(char* text, const char* hostName, const char* addressText) {
    if (hostName && hostName[0])
        append(text, "%s (%s); ", hostName, addressText);
    else
        append(text, "%s; ", addressText);
}

}  // namespace

void filter_log(const char* kind, WORD port, const char* format, ...) {
    char text[FILTER_TEXT_SIZE] = {};
    va_list args;
    va_start(args, format);
    append_format(text, format, args);
    va_end(args);
    VTLogger_Submit(kind, port, text);
}

void filter_log_site(const char* kind, WORD port, const char* hostName, const char* addressText,
                     const char* restFormat, ...) {
    char text[FILTER_TEXT_SIZE] = {};
    site_head(text, hostName, addressText);
    va_list args;
    va_start(args, restFormat);
    append_format(text, restFormat, args);
    va_end(args);
    VTLogger_Submit(kind, port, text);
}

void filter_log_violations(WORD port, const char* hostName, const char* addressText, DWORD count) {
    if (count == 1)
        filter_log_site(FILTER_KIND_BLOCK, port, hostName, addressText, "1 violation.");
    else
        filter_log_site(FILTER_KIND_BLOCK, port, hostName, addressText, "%u violations.", static_cast<unsigned>(count));
}

void filter_alert(const char* caption, const char* text) { VTGenerateMsg(caption, text); }

void filter_address_text(DWORD address, char* text) {
    const BYTE* b = reinterpret_cast<const BYTE*>(&address);
    snprintf(text, FILTER_ADDRESS_TEXT_SIZE, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}

void filter_address6_text(const BYTE* address, char* text) {
    WORD groups[8];
    for (int i = 0; i < 8; ++i) groups[i] = static_cast<WORD>(address[2 * i] << 8 | address[2 * i + 1]);
    // The longest run of two or more zero groups is written "::".
    int bestStart = -1, bestLength = 1;
    for (int i = 0; i < 8;) {
        int j = i;
        while (j < 8 && groups[j] == 0) ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j > i ? j : i + 1;
    }
    text[0] = 0;
    size_t used = 0;
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            used += snprintf(text + used, FILTER_ADDRESS_TEXT_SIZE - used, "::");
            i += bestLength - 1;
            continue;
        }
        const char* separator = (i == 0 || i == bestStart + bestLength) ? "" : ":";
        used += snprintf(text + used, FILTER_ADDRESS_TEXT_SIZE - used, "%s%x", separator, groups[i]);
    }
}
