// The level texts of the rating dialogs.
#include <rating_texts.h>
#include <settings_texts.h>

#include <gtest/gtest.h>

namespace {

TEST(RatingTexts, RsacRowsWriteTheirOwnFieldsAndShowTheirLevels) {
    RsacSettings record{};
    record.sexLevel = 3;
    EXPECT_STREQ("Sex", kRsacCategories[2].label);
    EXPECT_EQ(3, record.*kRsacCategories[2].field) << "the third row writes sexLevel";
    EXPECT_STREQ("Level 0 : Inoffensive Slang", kRsacCategories[0].levels[0]);
    EXPECT_STREQ("Level 0 : No violence", kRsacCategories[1].levels[0]);
    EXPECT_STREQ("Level 4 : Provocative frontal nudity", kRsacCategories[3].levels[4]);
}

TEST(RatingTexts, SafeSurfPositionIsTheLevelBelowAndEachCategoryHasItsOwnTexts) {
    struct Case {
        int category;
        int position;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "Level 1 : All Ages"},
        {0, 8, "Level 9 : Explicitly for Adults"},
        {1, 0, "Level 1 : Subtle Innuendo"},
        {1, 6, "Level 7 : Detailed Graphic"},
        {1, 7, "Level 8 : Explicit Vulgarity"},
        {5, 8, "Level 9 : Encouraging Personal Participation, Weapon Making"},
        {6, 7, "Level 8 : Explicitly Vulgarity"},
        {7, 2, "Level 3 : Technical Reference"},
        {7, 3, "Level 4 : Non-Graphic-Literary"},
        {10, 1, "Level 2 : Explicit Innuendo"},
        {10, 2, "Level 3 : Technical Discussion"},
        {10, 8, "Level 9 : Providing Means with Stakes"},
        {10, 9, ""},
        {11, 0, ""},
        {-1, 0, ""},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.text, SafeSurfLevelText(c.category, c.position)) << c.category << "/" << c.position;
}

TEST(SettingsTexts, AStoredCountNeverReachesPastTheLastEntry) {
    EXPECT_EQ(0, EntriesInUse(-1));
    EXPECT_EQ(0, EntriesInUse(-100000));
    EXPECT_EQ(7, EntriesInUse(7));
    EXPECT_EQ(20, EntriesInUse(20));
    EXPECT_EQ(20, EntriesInUse(21));
    EXPECT_EQ(20, EntriesInUse(0x7fffffff));
}

}  // namespace
