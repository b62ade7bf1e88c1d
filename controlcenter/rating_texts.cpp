#include "rating_texts.h"

const RsacCategory kRsacCategories[4] = {
    {"Language",
     &RsacSettings::languageLevel,
     {"Level 0 : Inoffensive Slang", "Level 1 : Mild expletives", "Level 2 : Moderate expletives",
      "Level 3 : Obscene gestures", "Level 4 : Explicit or crude language"}},
    {"Violence",
     &RsacSettings::violenceLevel,
     {"Level 0 : No violence", "Level 1 : Fighting", "Level 2 : Killing", "Level 3 : Killing with blood and gore",
      "Level 4 : Wanton and gratuitous violence"}},
    {"Sex",
     &RsacSettings::sexLevel,
     {"Level 0 : None", "Level 1 : Passionate kissing", "Level 2 : Clothed sexual touching",
      "Level 3 : Non-explicit touching", "Level 4 : Explicit sexual activity"}},
    {"Nudity",
     &RsacSettings::nudityLevel,
     {"Level 0 : None", "Level 1 : Revealing attire", "Level 2 : Partial nudity", "Level 3 : Frontal nudity",
      "Level 4 : Provocative frontal nudity"}},
};

namespace {

// Levels 1 to 7 of every category that does not say otherwise.
const char* const kCommonLevels[7] = {
    "Level 1 : Subtle Innuendo", "Level 2 : Explicit Innuendo", "Level 3 : Technical Reference",
    "Level 4 : Non-Graphic-Artistic", "Level 5 : Graphic-Artistic", "Level 6 : Graphic", "Level 7 : Detailed Graphic",
};

// Per category, in record order: the first level whose text is its own, and those texts up to
// level 9.
struct OwnLevels {
    int from;
    const char* texts[9];
};

const OwnLevels kOwnLevels[SAFESURF_CATEGORY_COUNT] = {
    {1,
     {"Level 1 : All Ages", "Level 2 : Older Children", "Level 3 : Teens", "Level 4 : Older Teens",
      "Level 5 : Adult Supervision Recommended", "Level 6 : Adults", "Level 7 : Limited to Adults",
      "Level 8 : Adults Only", "Level 9 : Explicitly for Adults"}},
    {8, {"Level 8 : Explicit Vulgarity", "Level 9 : Explicit and Crude"}},
    {8,
     {"Level 8 : Explicitly Graphic or Inviting Participation",
      "Level 9 : Explicit and Crude or Explicitly Inviting Participation"}},
    {8,
     {"Level 8 : Explicitly Graphic or Inviting Participation",
      "Level 9 : Explicit and Crude or Explicitly Inviting Participation"}},
    {8, {"Level 8 : Explicit Vulgarity", "Level 9 : Explicit and Crude"}},
    {8,
     {"Level 8 : Inviting Participation in Graphic Interactive Format",
      "Level 9 : Encouraging Personal Participation, Weapon Making"}},
    {8, {"Level 8 : Explicitly Vulgarity", "Level 9 : Explicit and Crude"}},
    {4,
     {"Level 4 : Non-Graphic-Literary", "Level 5 : Graphic-Literary", "Level 6 : Graphic Discussions",
      "Level 7 : Endorsing Hatred", "Level 8 : Endorsing Violent or Hateful Action",
      "Level 9 : Advocating Violent or Hateful Action"}},
    {8, {"Level 8 : Simulated Interactive Participation", "Level 9 : Soliciting Personal Participation"}},
    {8, {"Level 8 : Explicitly Vulgarity", "Level 9 : Explicit and Crude"}},
    {3,
     {"Level 3 : Technical Discussion", "Level 4 : Non-Graphic-Artistic, Advertising",
      "Level 5 : Graphic-Artistic, Advertising", "Level 6 : Simulated Gambling",
      "Level 7 : Real Life Gambling without Stakes", "Level 8 : Encouraging Interactive Real Life Participation with Stakes",
      "Level 9 : Providing Means with Stakes"}},
};

}  // namespace

const char* SafeSurfLevelText(int category, int position) {
    if (category < 0 || category >= SAFESURF_CATEGORY_COUNT || position < 0 || position > 8) return "";
    const int level = position + 1;
    const OwnLevels& own = kOwnLevels[category];
    if (level >= own.from) return own.texts[level - own.from];
    return kCommonLevels[level - 1];
}

const int kSafeSurfScreenOrder[SAFESURF_CATEGORY_COUNT] = {0, 5, 1, 2, 3, 4, 6, 7, 8, 9, 10};
