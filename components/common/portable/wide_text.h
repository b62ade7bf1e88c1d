/* WCHAR texts that build the same here and in the Windows build.
 *
 * QF_WTEXT("text") is a WCHAR literal. On Windows WCHAR is wchar_t (16-bit there), so the literal
 * takes the prefix L; on the Win32 stand-in WCHAR is a 16-bit char16_t, so it takes the prefix u
 * (wchar_t is 32-bit there, and an L literal would be the wrong type). Product code writes
 * QF_WTEXT and never a prefixed literal of its own.
 *
 * wide_text_narrow prints a WCHAR text portably: printf's %ls reads wchar_t, which is 32-bit in
 * glibc, so a WCHAR text is first made a narrow UTF-8 copy and printed with %s. */
#ifndef QF_WIDE_TEXT_H
#define QF_WIDE_TEXT_H

#include <windows.h>

#if defined(_WIN32)
#define QF_WTEXT_LITERAL(text) L##text
#else
#define QF_WTEXT_LITERAL(text) u##text
#endif
#define QF_WTEXT(text) QF_WTEXT_LITERAL(text)

/* Copies text (NULL: an empty text) into out as UTF-8, cut at a whole character when it does not
 * fit, always zero-terminated (outSize > 0); returns out. A lone surrogate becomes U+FFFD. */
static inline const char* wide_text_narrow(LPCWSTR text, char* out, int outSize) {
    int length, lo, hi, written;
    if (!out || outSize <= 0) return out;
    out[0] = '\0';
    if (!text || !text[0]) return out;
    length = lstrlenW(text);
    /* The longest beginning whose UTF-8 fits: each WCHAR takes at least one byte. */
    lo = 0;
    hi = length < outSize - 1 ? length : outSize - 1;
    while (lo < hi) {
        int mid = lo + (hi - lo + 1) / 2;
        int needed = WideCharToMultiByte(CP_UTF8, 0, text, mid, NULL, 0, NULL, NULL);
        if (needed > 0 && needed <= outSize - 1)
            lo = mid;
        else
            hi = mid - 1;
    }
    /* Never between the two halves of a surrogate pair. */
    if (lo > 0 && lo < length && text[lo - 1] >= 0xD800 && text[lo - 1] <= 0xDBFF && text[lo] >= 0xDC00 &&
        text[lo] <= 0xDFFF)
        --lo;
    if (lo == 0) return out;
    written = WideCharToMultiByte(CP_UTF8, 0, text, lo, out, outSize - 1, NULL, NULL);
    out[written > 0 ? written : 0] = '\0';
    return out;
}

#endif
