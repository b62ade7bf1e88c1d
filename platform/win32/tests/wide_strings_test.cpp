// WCHAR strings and the code page conversions: Windows-1252 and UTF-8, size queries, cut buffers,
// invalid input and bad arguments with their documented errors.
#include <wide_text.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using Wide = std::basic_string<WCHAR>;

Wide to_wide(UINT codePage, DWORD flags, const std::string& narrow) {
    int needed = MultiByteToWideChar(codePage, flags, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    Wide wide(static_cast<size_t>(needed > 0 ? needed : 0), 0);
    if (needed > 0) {
        EXPECT_EQ(needed, MultiByteToWideChar(codePage, flags, narrow.data(), static_cast<int>(narrow.size()),
                                              &wide[0], needed));
    }
    return wide;
}

std::string to_narrow(UINT codePage, DWORD flags, const Wide& wide, BOOL* usedDefault = nullptr,
                      const char* defaultChar = nullptr) {
    int needed = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                     defaultChar, usedDefault);
    std::string narrow(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0) {
        EXPECT_EQ(needed, WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                              &narrow[0], needed, defaultChar, usedDefault));
    }
    return narrow;
}

TEST(WideStrings, LengthCopyAndConcatenationWorkOnSixteenBitUnits) {
    EXPECT_EQ(lstrlenW(QF_WTEXT("vtlsp.dll")), 9);
    EXPECT_EQ(lstrlenW(QF_WTEXT("")), 0);
    EXPECT_EQ(lstrlenW(nullptr), 0);
    WCHAR buffer[32] = {};
    EXPECT_EQ(lstrcpyW(buffer, QF_WTEXT("LAYERED ")), buffer);
    EXPECT_EQ(lstrcatW(buffer, QF_WTEXT("MSAFD")), buffer);
    EXPECT_EQ(Wide(buffer), Wide(QF_WTEXT("LAYERED MSAFD")));
    EXPECT_EQ(lstrcpyW(nullptr, QF_WTEXT("x")), nullptr);
    EXPECT_EQ(lstrcatW(buffer, nullptr), nullptr);
}

TEST(WideStrings, TextsConvertBothWaysInEachCodePage) {
    struct Case {
        const char* name;
        UINT codePage;
        std::string narrow;
        Wide wide;
    };
    const Case cases[] = {
        {"ASCII in the ANSI code page", CP_ACP, "C:\\WINDOWS", QF_WTEXT("C:\\WINDOWS")},
        {"Windows-1252 high half", 1252, "\x80\x8A\x9F\xE9\xFF", Wide{0x20AC, 0x0160, 0x0178, 0x00E9, 0x00FF}},
        {"unassigned Windows-1252 bytes", CP_ACP, "\x81\x8D\x8F\x90\x9D", Wide{0x81, 0x8D, 0x8F, 0x90, 0x9D}},
        {"UTF-8 two and three bytes", CP_UTF8, "h\xC3\xA9\xE2\x82\xAC", Wide{'h', 0x00E9, 0x20AC}},
        {"UTF-8 four bytes: a surrogate pair", CP_UTF8, "\xF0\x9F\x98\x80", Wide{0xD83D, 0xDE00}},
        {"UTF-8 largest code point", CP_UTF8, "\xF4\x8F\xBF\xBF", Wide{0xDBFF, 0xDFFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(to_wide(c.codePage, 0, c.narrow), c.wide);
        EXPECT_EQ(to_narrow(c.codePage, 0, c.wide), c.narrow);
    }
}

TEST(WideStrings, EveryWindows1252ByteComesBackUnchanged) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    BOOL usedDefault = TRUE;
    EXPECT_EQ(to_narrow(CP_ACP, 0, to_wide(CP_ACP, MB_ERR_INVALID_CHARS, all), &usedDefault), all);
    EXPECT_FALSE(usedDefault);
}

TEST(WideStrings, InvalidUtf8BecomesReplacementCharactersOrFailsWhenAskedTo) {
    struct Case {
        const char* name;
        std::string bytes;
        Wide replaced;
    };
    const WCHAR r = 0xFFFD;
    const Case cases[] = {
        {"stray continuation byte", "a\x80z", Wide{'a', r, 'z'}},
        {"overlong form", "\xC0\xAF", Wide{r, r}},
        {"overlong three-byte form", "\xE0\x80\xAF", Wide{r, r, r}},
        {"encoded surrogate", "\xED\xA0\x80", Wide{r, r, r}},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", Wide{r, r, r, r}},
        {"sequence cut short by the end", "ok\xE2\x82", Wide{'o', 'k', r}},
        {"sequence cut short by a letter", "\xE2\x82z", Wide{r, 'z'}},
        {"byte that never starts a sequence", "\xFF", Wide{r}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(to_wide(CP_UTF8, 0, c.bytes), c.replaced);
        WCHAR out[16];
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(), static_cast<int>(c.bytes.size()),
                                      out, 16),
                  0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
}

TEST(WideStrings, LoneSurrogateAndCharactersOutsideTheCodePage) {
    const Wide lone{'a', 0xD800, 'b'};
    EXPECT_EQ(to_narrow(CP_UTF8, 0, lone), "a\xEF\xBF\xBD"
                                            "b");
    char out[16];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 3, out, 16, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));

    BOOL usedDefault = FALSE;
    EXPECT_EQ(to_narrow(CP_ACP, 0, Wide{'A', 0x0100, 0xD800}, &usedDefault), "A??");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(to_narrow(CP_ACP, WC_NO_BEST_FIT_CHARS, Wide{0x4E2D}, &usedDefault, "*"), "*");
    EXPECT_TRUE(usedDefault);
}

TEST(WideStrings, TerminatedTextsSizeQueriesAndShortBuffers) {
    // -1: up to and including the terminator.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    WCHAR wide[4];
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 4), 4);
    EXPECT_EQ(Wide(wide), Wide(QF_WTEXT("abc")));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, QF_WTEXT("\u00e9t\u00e9"), -1, nullptr, 0, nullptr, nullptr), 6);
    char narrow[6];
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, QF_WTEXT("\u00e9t\u00e9"), -1, narrow, 6, nullptr, nullptr), 6);
    EXPECT_STREQ(narrow, "\xC3\xA9t\xC3\xA9");

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, QF_WTEXT("\u00e9"), 1, narrow, 1, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(WideStrings, BadArgumentsFlagsAndCodePagesFailWithTheirErrors) {
    WCHAR wide[8];
    char narrow[8];
    BOOL used = FALSE;
    struct Outcome {
        int result;
        DWORD error;
    };
    auto mb = [&](UINT cp, DWORD flags, const char* in, int inLength, LPWSTR out, int outLength) {
        SetLastError(ERROR_SUCCESS);
        int result = MultiByteToWideChar(cp, flags, in, inLength, out, outLength);
        return Outcome{result, GetLastError()};
    };
    auto wc = [&](UINT cp, DWORD flags, LPCWSTR in, int inLength, LPSTR out, int outLength, LPCCH def, LPBOOL usedDef) {
        SetLastError(ERROR_SUCCESS);
        int result = WideCharToMultiByte(cp, flags, in, inLength, out, outLength, def, usedDef);
        return Outcome{result, GetLastError()};
    };
    const struct {
        const char* name;
        Outcome got;
        DWORD error;
    } cases[] = {
        {"no input text", mb(CP_ACP, 0, nullptr, 3, wide, 8), ERROR_INVALID_PARAMETER},
        {"input length 0", mb(CP_ACP, 0, "a", 0, wide, 8), ERROR_INVALID_PARAMETER},
        {"input length below -1", mb(CP_ACP, 0, "a", -2, wide, 8), ERROR_INVALID_PARAMETER},
        {"negative output size", mb(CP_ACP, 0, "a", 1, wide, -1), ERROR_INVALID_PARAMETER},
        {"output size without a buffer", mb(CP_ACP, 0, "a", 1, nullptr, 8), ERROR_INVALID_PARAMETER},
        {"OEM code page", mb(CP_OEMCP, 0, "a", 1, wide, 8), ERROR_INVALID_PARAMETER},
        {"code page 437", mb(437, 0, "a", 1, wide, 8), ERROR_INVALID_PARAMETER},
        {"UTF-8 with MB_PRECOMPOSED", mb(CP_UTF8, MB_PRECOMPOSED, "a", 1, wide, 8), ERROR_INVALID_FLAGS},
        {"decomposition", mb(CP_ACP, MB_COMPOSITE, "a", 1, wide, 8), ERROR_INVALID_FLAGS},
        {"no wide text", wc(CP_ACP, 0, nullptr, 1, narrow, 8, nullptr, nullptr), ERROR_INVALID_PARAMETER},
        {"wide length 0", wc(CP_ACP, 0, QF_WTEXT("a"), 0, narrow, 8, nullptr, nullptr), ERROR_INVALID_PARAMETER},
        {"narrow size without a buffer", wc(CP_ACP, 0, QF_WTEXT("a"), 1, nullptr, 8, nullptr, nullptr),
         ERROR_INVALID_PARAMETER},
        {"UTF-8 with a default character", wc(CP_UTF8, 0, QF_WTEXT("a"), 1, narrow, 8, "?", nullptr),
         ERROR_INVALID_PARAMETER},
        {"UTF-8 asking whether it was used", wc(CP_UTF8, 0, QF_WTEXT("a"), 1, narrow, 8, nullptr, &used),
         ERROR_INVALID_PARAMETER},
        {"Windows-1252 with WC_ERR_INVALID_CHARS", wc(CP_ACP, WC_ERR_INVALID_CHARS, QF_WTEXT("a"), 1, narrow, 8, nullptr,
                                                      nullptr),
         ERROR_INVALID_FLAGS},
        {"composite check", wc(CP_ACP, WC_COMPOSITECHECK, QF_WTEXT("a"), 1, narrow, 8, nullptr, nullptr),
         ERROR_INVALID_FLAGS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.got.result, 0);
        EXPECT_EQ(c.got.error, c.error);
    }
}

}  // namespace
