#include <gtest/gtest.h>

#include <string.h>

#include "termutil.h"

namespace {

TEST(ConvertToLowerCase, LowersAsciiLettersOnlyAndStopsAtTheTerminator) {
    // Bytes after the terminator must stay as they were.
    char text[] = "BadSite.COM/Page_Z@[`{ \xC9\xE9\0XY";
    ConvertToLowerCase(text);
    EXPECT_EQ(0, memcmp(text, "badsite.com/page_z@[`{ \xC9\xE9\0XY", sizeof(text)));
}

TEST(ConvertToLowerCase, EmptyAndMissingTexts) {
    char empty[] = "";
    EXPECT_EQ(ConvertToLowerCase(empty), 1);
    EXPECT_EQ(empty[0], '\0');
    EXPECT_EQ(ConvertToLowerCase(nullptr), 0);
}

}  // namespace
