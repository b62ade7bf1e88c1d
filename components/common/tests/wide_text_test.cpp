// The portable WCHAR texts: literals of the platform's WCHAR type and their narrow copies for
// printing, cut to the buffer at a whole character.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include <wide_text.h>

namespace {

static_assert(std::is_same<std::remove_extent<std::remove_reference<decltype(QF_WTEXT("x"))>::type>::type,
                           const WCHAR>::value,
              "QF_WTEXT makes an array of WCHAR");
static_assert(sizeof(QF_WTEXT("vtlsp.dll")) == 10 * sizeof(WCHAR), "one 16-bit unit per character");

#define QF_TEST_PROVIDER_FILE "vtlsp.dll"

TEST(WideText, LiteralsAreSixteenBitTextsAndTakeAMacroArgument) {
    const WCHAR* path = QF_WTEXT("C:\\WINDOWS\\system32\\vtlsp.dll");
    EXPECT_EQ(lstrlenW(path), 29);
    EXPECT_EQ(path[3], static_cast<WCHAR>('W'));
    EXPECT_EQ(lstrlenW(QF_WTEXT(QF_TEST_PROVIDER_FILE)), 9);
    EXPECT_EQ(QF_WTEXT("\u00e9")[0], static_cast<WCHAR>(0x00E9));
    EXPECT_EQ(QF_WTEXT("\U0001F600")[1], static_cast<WCHAR>(0xDE00));  // a surrogate pair
}

TEST(WideText, NarrowCopyPrintsWithPercentS) {
    char narrow[64];
    char line[80];
    snprintf(line, sizeof(line), "provider %s", wide_text_narrow(QF_WTEXT("LAYERED_VTLSP"), narrow, sizeof(narrow)));
    EXPECT_STREQ(line, "provider LAYERED_VTLSP");
    EXPECT_STREQ(wide_text_narrow(QF_WTEXT("caf\u00e9"), narrow, sizeof(narrow)), "caf\xC3\xA9");
    EXPECT_STREQ(wide_text_narrow(nullptr, narrow, sizeof(narrow)), "");
}

TEST(WideText, NarrowCopyIsCutAtAWholeCharacter) {
    struct Case {
        const char* name;
        const WCHAR* text;
        int size;
        const char* expected;
    };
    const Case cases[] = {
        {"fits exactly", QF_WTEXT("abc"), 4, "abc"},
        {"ASCII cut", QF_WTEXT("abcdef"), 4, "abc"},
        {"two-byte character that would not fit", QF_WTEXT("ab\u00e9"), 4, "ab"},
        {"three-byte character that would not fit", QF_WTEXT("a\u20ac"), 4, "a"},
        {"surrogate pair never split", QF_WTEXT("a\U0001F600"), 5, "a"},
        {"surrogate pair that fits", QF_WTEXT("a\U0001F600"), 6, "a\xF0\x9F\x98\x80"},
        {"room for the terminator only", QF_WTEXT("abc"), 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char out[16];
        std::memset(out, 'z', sizeof(out));
        EXPECT_STREQ(wide_text_narrow(c.text, out, c.size), c.expected);
        EXPECT_EQ(out[c.size], 'z');  // nothing written past the size
    }
}

TEST(WideText, LoneSurrogateIsPrintedAsAReplacementCharacter) {
    const WCHAR lone[] = {'a', 0xD800, 'b', 0};
    char out[16];
    EXPECT_STREQ(wide_text_narrow(lone, out, sizeof(out)), "a\xEF\xBF\xBD"
                                                           "b");
}

}  // namespace
