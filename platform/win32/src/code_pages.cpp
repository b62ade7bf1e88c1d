// MultiByteToWideChar and WideCharToMultiByte for the code pages of the system: Windows-1252 (the
// ANSI code page) and UTF-8. Each conversion decodes the input to code points and encodes them,
// counting what it would write, so a size query and a conversion take the same path.
#include <windows.h>

#include <climits>
#include <cstddef>
#include <cstdint>

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; every other byte is the code point of the same value.
constexpr uint16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

uint32_t from_1252(unsigned char byte) { return byte >= 0x80 && byte <= 0x9F ? kHigh1252[byte - 0x80] : byte; }

// The byte for code point c, or -1 when Windows-1252 has none.
int to_1252(uint32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh1252[i] == c) return 0x80 + i;
    return -1;
}

enum class Page { Ansi, Utf8, Unsupported };

Page page_of(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP:
    case 1252:
        return Page::Ansi;
    case CP_UTF8:
        return Page::Utf8;
    default:
        return Page::Unsupported;
    }
}

// Decodes one UTF-8 sequence at text[at] (at < length) and advances at. An invalid sequence
// (stray or missing continuation bytes, an overlong form, a surrogate, beyond U+10FFFF) gives
// false, at past its longest valid beginning (at least one byte), as Unicode recommends.
bool decode_utf8(const unsigned char* text, size_t length, size_t& at, uint32_t& c) {
    unsigned char lead = text[at++];
    if (lead < 0x80) {
        c = lead;
        return true;
    }
    size_t more;
    unsigned char low = 0x80, high = 0xBF;  // the range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return false;
    }
    for (size_t i = 0; i < more; ++i, low = 0x80, high = 0xBF) {
        if (at >= length || text[at] < low || text[at] > high) return false;
        c = (c << 6) | (text[at++] & 0x3F);
    }
    return true;
}

// Writes up to 4 UTF-8 bytes of c to out; returns how many.
int encode_utf8(uint32_t c, unsigned char out[4]) {
    if (c < 0x80) {
        out[0] = static_cast<unsigned char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 4;
}

// Collects output units; counts them when there is no buffer, fails once the buffer is full.
template <class Unit>
class Output {
public:
    Output(Unit* buffer, int capacity) : buffer_(buffer), capacity_(capacity) {}
    // False when the buffer is full (or the count would no longer fit an int).
    bool put(Unit unit) {
        if (written_ == INT_MAX) return false;
        if (capacity_ > 0) {
            if (written_ >= capacity_) return false;
            buffer_[written_] = unit;
        }
        ++written_;
        return true;
    }
    int written() const { return written_; }

private:
    Unit* buffer_;
    int capacity_;  // 0: count only
    int written_ = 0;
};

int fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// A text's length from its length argument: -1 takes it up to and including the terminator.
template <class Unit>
size_t length_of(const Unit* text, int length) {
    if (length >= 0) return static_cast<size_t>(length);
    size_t n = 0;
    while (text[n]) ++n;
    return n + 1;
}

}  // namespace

extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr) ||
        (cchWideChar > 0 && static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr)))
        return fail(ERROR_INVALID_PARAMETER);
    Page page = page_of(CodePage);
    if (page == Page::Unsupported) return fail(ERROR_INVALID_PARAMETER);
    const DWORD allowed = page == Page::Utf8 ? MB_ERR_INVALID_CHARS : (MB_PRECOMPOSED | MB_ERR_INVALID_CHARS);
    if (dwFlags & ~allowed) return fail(ERROR_INVALID_FLAGS);
    const bool strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;

    const auto* text = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    const size_t length = length_of(text, cbMultiByte);
    Output<WCHAR> out(lpWideCharStr, cchWideChar);
    for (size_t at = 0; at < length;) {
        uint32_t c;
        if (page == Page::Ansi) {
            c = from_1252(text[at++]);
        } else if (!decode_utf8(text, length, at, c)) {
            if (strict) return fail(ERROR_NO_UNICODE_TRANSLATION);
            c = kReplacement;
        }
        bool ok = c < 0x10000 ? out.put(static_cast<WCHAR>(c))
                              : out.put(static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10))) &&
                                    out.put(static_cast<WCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        if (!ok) return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    return out.written();
}

extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar) {
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr) ||
        (cbMultiByte > 0 && static_cast<const void*>(lpWideCharStr) == static_cast<const void*>(lpMultiByteStr)))
        return fail(ERROR_INVALID_PARAMETER);
    Page page = page_of(CodePage);
    if (page == Page::Unsupported) return fail(ERROR_INVALID_PARAMETER);
    if (page == Page::Utf8 && (lpDefaultChar || lpUsedDefaultChar)) return fail(ERROR_INVALID_PARAMETER);
    const DWORD allowed = page == Page::Utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    if (dwFlags & ~allowed) return fail(ERROR_INVALID_FLAGS);
    const bool strict = (dwFlags & WC_ERR_INVALID_CHARS) != 0;
    const char defaultChar = lpDefaultChar ? *lpDefaultChar : '?';
    bool usedDefault = false;

    const size_t length = length_of(lpWideCharStr, cchWideChar);
    Output<char> out(lpMultiByteStr, cbMultiByte);
    for (size_t at = 0; at < length;) {
        // One code point: a surrogate pair, or a single unit (a lone surrogate is not valid).
        uint32_t c = lpWideCharStr[at++];
        bool valid = true;
        if (c >= 0xD800 && c <= 0xDBFF && at < length && lpWideCharStr[at] >= 0xDC00 && lpWideCharStr[at] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (lpWideCharStr[at++] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            valid = false;
        bool ok = true;
        if (page == Page::Utf8) {
            if (!valid) {
                if (strict) return fail(ERROR_NO_UNICODE_TRANSLATION);
                c = kReplacement;
            }
            unsigned char bytes[4];
            int n = encode_utf8(c, bytes);
            for (int i = 0; i < n && ok; ++i) ok = out.put(static_cast<char>(bytes[i]));
        } else {
            int byte = valid ? to_1252(c) : -1;
            if (byte < 0) usedDefault = true;
            ok = out.put(byte < 0 ? defaultChar : static_cast<char>(byte));
        }
        if (!ok) return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    return out.written();
}
