#include <chain_guid.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

bool same(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

TEST(MakeChainGuid, SetsTheFixedPartAndTakesData1FromTheCounter) {
    DWORD counter = 0x12345678;
    GUID first;
    GUID second;
    MakeChainGuid(first, counter);
    MakeChainGuid(second, counter);
    const GUID expected = {0x12345678, 0xE0AF, 0x11D4, {0x95, 0x08, 0x00, 0x00, 0xE8, 0x70, 0x8F, 0xED}};
    EXPECT_TRUE(same(expected, first));
    EXPECT_EQ(0x12345679u, second.Data1);
    EXPECT_EQ(0x1234567Au, counter);
    EXPECT_TRUE(IsChainGuid(first));
    EXPECT_FALSE(IsChainGuid(kLayeredProviderId));
}

TEST(MakeChainGuid, CounterWrapsAroundAfterItsLargestValue) {
    DWORD counter = 0xFFFFFFFF;
    GUID guid;
    MakeChainGuid(guid, counter);
    EXPECT_EQ(0xFFFFFFFFu, guid.Data1);
    EXPECT_EQ(0u, counter);
}

TEST(FormatGuid, WritesLowerCaseHexWithoutBracesInAZeroedThirtyEightByteBuffer) {
    char* text = FormatGuid(kLayeredProviderId);
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ("64c92200-c857-11d4-9507-0000e8708fed", text);
    EXPECT_EQ('\0', text[36]);
    EXPECT_EQ('\0', text[37]);
    FreeGuidText(text);
}

TEST(ParseGuid, ReadsBackWhatFormatGuidWrote) {
    const GUID cases[] = {
        {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        kLayeredProviderId,
        {0x6939a1b2, 0xE0AF, 0x11D4, {0x95, 0x08, 0x00, 0x00, 0xE8, 0x70, 0x8F, 0xED}},
        {0x0000000a, 0x00b0, 0x0c00, {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}},
    };
    for (const GUID& guid : cases) {
        char* text = FormatGuid(guid);
        ASSERT_NE(nullptr, text);
        GUID parsed = {};
        EXPECT_TRUE(ParseGuid(text, std::strlen(text), parsed)) << text;
        EXPECT_TRUE(same(guid, parsed)) << text;
        FreeGuidText(text);
    }
}

TEST(ParseGuid, AcceptsUpperCaseHexAsRegistryNamesIgnoreCase) {
    const char text[] = "64C92200-C857-11D4-9507-0000E8708FED";
    GUID parsed = {};
    ASSERT_TRUE(ParseGuid(text, sizeof(text) - 1, parsed));
    EXPECT_TRUE(same(kLayeredProviderId, parsed));
}

TEST(ParseGuid, RefusesAnyOtherTextAndLeavesTheGuidUnchanged) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"empty", ""},
        {"braces", "{64c92200-c857-11d4-9507-0000e8708fed}"},
        {"one digit short", "64c9220-c857-11d4-9507-0000e8708fed"},
        {"a character too many", "64c92200-c857-11d4-9507-0000e8708fed0"},
        {"trailing blank", "64c92200-c857-11d4-9507-0000e8708fed "},
        {"leading blank", " 4c92200-c857-11d4-9507-0000e8708fed"},
        {"sign", "+4c92200-c857-11d4-9507-0000e8708fed"},
        {"hex prefix", "0x922000-c857-11d4-9507-0000e8708fed"},
        {"dash missing", "64c92200c857-11d4-9507-0000e8708fed0"},
        {"dash moved", "64c9220-0c857-11d4-9507-0000e8708fed"},
        {"registry form with braces dropped but dashes added", "64c92200-c857-11d4-9507-0000-e8708fed"},
        {"non-hex digit", "64c92200-c857-11d4-9507-0000e8708feg"},
        {"embedded terminator", std::string("64c92200-c857-11d4-9507-0000e8708fe\0", 36)},
        {"chain name of a subkey", "Chain0"},
    };
    const GUID untouched = {0xAAAAAAAA, 0xBBBB, 0xCCCC, {1, 2, 3, 4, 5, 6, 7, 8}};
    for (const Case& c : cases) {
        GUID guid = untouched;
        EXPECT_FALSE(ParseGuid(c.text.data(), c.text.size(), guid)) << c.name;
        EXPECT_TRUE(same(untouched, guid)) << c.name;
    }
    GUID guid = untouched;
    EXPECT_FALSE(ParseGuid(nullptr, 36, guid));
}

TEST(ParseGuid, ReadsNoFurtherThanTheLengthGiven) {
    // A valid identifier followed by more text: only the first 36 characters are offered.
    const char text[] = "64c92200-c857-11d4-9507-0000e8708fedTRAILING";
    GUID parsed = {};
    ASSERT_TRUE(ParseGuid(text, 36, parsed));
    EXPECT_TRUE(same(kLayeredProviderId, parsed));
}

}  // namespace
