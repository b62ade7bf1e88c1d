// The RSACi and SafeSurf dialogs against real stores: what they show, what the sliders, the enable
// box, Done, Cancel and the factory reset do, a store that cannot be read, help, and the change
// markers of the Advanced settings window.
#include "settings_dialog_support.h"

#include "advanced_dlg.h"
#include "change_markers.h"
#include "rsaci_dlg.h"
#include "safesurf_dlg.h"

#include <dlg_app.h>
#include <vtrsac.h>
#include <vtssurf.h>

#include <gmock/gmock.h>

namespace configurator_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class RatingDialogs : public ControlCenter {};

const int kRsacSliders[] = {1033, 1034, 1035, 1036};  // Language, Violence, Sex, Nudity
const int kRsacLevels[] = {1037, 1038, 1039, 1040};
const int kRsacLabels[] = {1080, 1081, 1082, 1083};

RsacSettings rsac(int enabled, int language, int violence, int sex, int nudity) {
    RsacSettings record;
    record.enabled = enabled;
    record.sexLevel = sex;
    record.violenceLevel = violence;
    record.languageLevel = language;
    record.nudityLevel = nudity;
    return record;
}

void store_rsac(RsacSettings record) { ASSERT_EQ(1, vtrsac_write(&record)); }

RsacSettings stored_rsac() {
    RsacSettings record = {};
    EXPECT_EQ(1, vtrsac_read(&record));
    return record;
}

void expect_rsac(const RsacSettings& expected, const RsacSettings& actual) {
    EXPECT_EQ(expected.enabled, actual.enabled);
    EXPECT_EQ(expected.sexLevel, actual.sexLevel);
    EXPECT_EQ(expected.violenceLevel, actual.violenceLevel);
    EXPECT_EQ(expected.languageLevel, actual.languageLevel);
    EXPECT_EQ(expected.nudityLevel, actual.nudityLevel);
}

const char kRsacReadError[] =
    "box 160 \"Error - Detected on current RSACi settings\" \"An error occurred while retrieving your current RSACi "
    "settings.\\nThis will now default to the original factory settings.\" MB_OK|MB_ICONSTOP";
const char kRsacReset[] =
    "box 160 \"Reset original factory settings\" \"You have selected to override your current RSACi settings.\\nThis "
    "will now default to the original factory settings.\\nAre you sure ?\" MB_YESNO|MB_DEFBUTTON2";
const char kRsacTampered[] =
    "WARNING Your RSACi settings have been tampered with. The default factory settings will be used.";

TEST_F(RatingDialogs, RsaciShowsTheStoredLevelsWithTheirTextsAndTheEnableBoxGovernsTheRows) {
    struct Case {
        RsacSettings stored;
        const char* texts[4];
    } cases[] = {
        {rsac(1, 0, 0, 0, 0), {"Level 0 : Inoffensive Slang", "Level 0 : No violence", "Level 0 : None", "Level 0 : None"}},
        {rsac(0, 4, 3, 1, 2),
         {"Level 4 : Explicit or crude language", "Level 3 : Killing with blood and gore",
          "Level 1 : Passionate kissing", "Level 2 : Partial nudity"}},
    };
    for (const Case& c : cases) {
        store_rsac(c.stored);
        CRsaciDlg dialog;
        ProbedSession session = RunProbed("@look open\nescape\n", dialog);
        EXPECT_EQ("", session.failure);
        EXPECT_THAT(session.shown, ElementsAre("window 160 \"Quillfence - RSACi theme levels\"", "end 160 IDCANCEL"));
        const WindowLook& look = session.looks.at("open");
        const bool enabled = c.stored.enabled == 1;
        EXPECT_EQ(enabled, look.checked(1101));
        const int positions[] = {c.stored.languageLevel, c.stored.violenceLevel, c.stored.sexLevel, c.stored.nudityLevel};
        for (int row = 0; row < 4; ++row) {
            const DlgControl& slider = look.at(kRsacSliders[row]);
            EXPECT_EQ(0, slider.low);
            EXPECT_EQ(4, slider.high);
            EXPECT_EQ(1, slider.tickFrequency);
            EXPECT_EQ(positions[row], slider.position) << row;
            EXPECT_EQ(c.texts[row], look.text(kRsacLevels[row]));
            for (int id : {kRsacSliders[row], kRsacLevels[row], kRsacLabels[row]}) EXPECT_EQ(enabled, look.enabled(id)) << id;
        }
        EXPECT_EQ(enabled, look.enabled(1114));
        EXPECT_TRUE(look.enabled(1101));
        EXPECT_EQ(0, dialog.Changed());
    }
}

TEST_F(RatingDialogs, RsaciSlidersChangeTheirFieldAndTextAndDoneStoresThemWithTheEnableBox) {
    store_rsac(rsac(1, 1, 1, 1, 1));
    CRsaciDlg dialog;
    ProbedSession session = RunProbed(
        "scroll 1035 4\nscroll 1033 2\n@look moved\nclick 1101\n@look cleared\n@do stored\nclick IDOK\n", dialog,
        {{"stored", [] { expect_rsac(rsac(1, 1, 1, 1, 1), stored_rsac()); }}});
    EXPECT_EQ("", session.failure);
    EXPECT_EQ("end 160 IDOK", session.shown.back());
    const WindowLook& moved = session.looks.at("moved");
    EXPECT_EQ("Level 4 : Explicit sexual activity", moved.text(1039));
    EXPECT_EQ("Level 2 : Moderate expletives", moved.text(1037));
    const WindowLook& cleared = session.looks.at("cleared");
    for (int id : {1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1080, 1081, 1082, 1083, 1114})
        EXPECT_FALSE(cleared.enabled(id)) << id;
    // The Sex row, third on screen, is the record's first level.
    expect_rsac(rsac(0, 2, 1, 4, 1), stored_rsac());
    EXPECT_EQ(1, dialog.Changed());
}

TEST_F(RatingDialogs, RsaciCancelStoresNothingAndADoneThatCannotStoreStaysOpenWithoutAMessage) {
    store_rsac(rsac(1, 1, 1, 1, 1));
    CRsaciDlg cancelled;
    ProbedSession cancel = RunProbed("scroll 1036 4\nclick 1101\nclick IDCANCEL\n", cancelled);
    EXPECT_EQ("", cancel.failure);
    EXPECT_EQ("end 160 IDCANCEL", cancel.shown.back());
    expect_rsac(rsac(1, 1, 1, 1, 1), stored_rsac());
    EXPECT_EQ(0, cancelled.Changed());

    set_store_read_only("rsac.dat", true);
    CRsaciDlg refused;
    ProbedSession done = RunProbed("scroll 1036 4\nclick IDOK\nexpect-window 160\nescape\n", refused);
    EXPECT_EQ("", done.failure);
    EXPECT_THAT(done.shown, ElementsAre("window 160 \"Quillfence - RSACi theme levels\"", "end 160 IDCANCEL"));
    EXPECT_EQ(0, refused.Changed());
}

TEST_F(RatingDialogs, RsaciFactoryResetAsksThenShowsTheFactoryLevelsAndAlwaysClearsTheBox) {
    store_rsac(rsac(1, 3, 3, 3, 3));
    CRsaciDlg no;
    ProbedSession kept = RunProbed("click 1114\nanswer IDNO\n@look no\nclick IDCANCEL\n", no);
    EXPECT_EQ("", kept.failure);
    EXPECT_THAT(kept.shown, Contains(kRsacReset));
    EXPECT_FALSE(kept.looks.at("no").checked(1114));
    expect_rsac(rsac(1, 3, 3, 3, 3), stored_rsac());
    EXPECT_EQ(0, no.Changed());

    CRsaciDlg yes;
    ProbedSession reset = RunProbed("click 1114\nexpect-box \"Reset original factory settings\" \"You have selected to "
                                    "override your current RSACi settings.\\nThis will now default to the original "
                                    "factory settings.\\nAre you sure ?\"\nanswer IDYES\n@look yes\nclick IDCANCEL\n",
                                    yes);
    EXPECT_EQ("", reset.failure);
    const WindowLook& look = reset.looks.at("yes");
    EXPECT_FALSE(look.checked(1114));
    EXPECT_FALSE(look.checked(1101)) << "the factory settings do not filter";
    EXPECT_EQ("Level 0 : Inoffensive Slang", look.text(1037));
    EXPECT_EQ(0, look.position(1035));
    expect_rsac(rsac(0, 0, 0, 0, 0), stored_rsac());
    EXPECT_EQ(1, yes.Changed()) << "the factory settings were stored";

    // A reset that cannot be stored keeps what the dialog shows and would store.
    store_rsac(rsac(1, 3, 3, 3, 3));
    set_store_read_only("rsac.dat", true);
    CRsaciDlg failed;
    ProbedSession refused = RunProbed("click 1114\nanswer IDYES\n@look failed\nclick IDCANCEL\n", failed);
    EXPECT_EQ("", refused.failure);
    EXPECT_FALSE(refused.looks.at("failed").checked(1114));
    EXPECT_EQ("Level 3 : Obscene gestures", refused.looks.at("failed").text(1037));
    EXPECT_EQ(0, failed.Changed());
}

TEST_F(RatingDialogs, RsaciStoreThatCannotBeReadIsRestoredWithItsBoxAndWarning) {
    damage_store("rsac.dat");
    CRsaciDlg dialog;
    ProbedSession session = RunProbed("answer IDOK\n@look restored\nclick IDCANCEL\n", dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, ElementsAre("window 160 \"Quillfence - RSACi theme levels\"", kRsacReadError,
                                           "answer IDOK", "end 160 IDCANCEL"));
    EXPECT_EQ("Level 0 : None", session.looks.at("restored").text(1039));
    expect_rsac(rsac(0, 0, 0, 0, 0), stored_rsac());
    EXPECT_THAT(log_lines(), Contains(kRsacTampered));
}

TEST_F(RatingDialogs, RatingStoresThatCannotBeRestoredEitherLeaveNothingToChangeOrStore) {
    struct Case {
        const char* file;
        UINT templateId;
        std::vector<int> settings;  // enable box, sliders, restore box
    } cases[] = {
        {"rsac.dat", 160, {1101, 1033, 1034, 1035, 1036, 1114}},
        {"ssurf.dat", 167, {1048, 1058, 1105, 1059, 1060, 1061, 1104, 1063, 1064, 1065, 1066, 1067, 1113}},
    };
    for (const Case& c : cases) {
        damage_store(c.file);
        set_store_read_only(c.file, true);
        CRsaciDlg rsaci;
        CSafeSurfDlg safesurf;
        CDialog& dialog = c.templateId == 160 ? static_cast<CDialog&>(rsaci) : safesurf;
        ProbedSession session = RunProbed("answer IDOK\n@look empty\nclick IDOK\n", dialog);
        EXPECT_EQ("", session.failure) << c.file;
        EXPECT_EQ("end " + std::to_string(c.templateId) + " IDCANCEL", session.shown.back()) << "nothing was stored";
        for (int id : c.settings) EXPECT_FALSE(session.looks.at("empty").enabled(id)) << c.file << " " << id;
        EXPECT_THAT(log_lines(), Not(Contains(HasSubstr("tampered")))) << "the factory settings are not in force";
        EXPECT_EQ(0, rsaci.Changed() + safesurf.Changed());
    }
}

// SafeSurf rows on screen, with their record index: slider, level text, label.
struct SafeSurfRow {
    int category;
    int slider, level, label;
};
const SafeSurfRow kSafeSurfRows[] = {
    {0, 1058, 1062, 1085}, {5, 1105, 1047, 1084}, {1, 1059, 1038, 1086}, {2, 1060, 1039, 1087},
    {3, 1061, 1040, 1088}, {4, 1104, 1041, 1089}, {6, 1063, 1042, 1090}, {7, 1064, 1043, 1091},
    {8, 1065, 1044, 1092}, {9, 1066, 1045, 1093}, {10, 1067, 1046, 1094},
};

SafeSurfSettings stored_safesurf() {
    SafeSurfSettings record = {};
    EXPECT_EQ(1, vtssurf_read(&record));
    return record;
}

TEST_F(RatingDialogs, SafeSurfShowsEachStoredLevelAsTheNextSafeSurfLevel) {
    SafeSurfSettings record = {1, {8, 0, 8, 1, 2, 8, 3, 3, 4, 8, 2}};
    ASSERT_EQ(1, vtssurf_write(&record));
    const char* expected[SAFESURF_CATEGORY_COUNT] = {
        "Level 9 : Explicitly for Adults",
        "Level 1 : Subtle Innuendo",
        "Level 9 : Explicit and Crude or Explicitly Inviting Participation",
        "Level 2 : Explicit Innuendo",
        "Level 3 : Technical Reference",
        "Level 9 : Encouraging Personal Participation, Weapon Making",
        "Level 4 : Non-Graphic-Artistic",
        "Level 4 : Non-Graphic-Literary",
        "Level 5 : Graphic-Artistic",
        "Level 9 : Explicit and Crude",
        "Level 3 : Technical Discussion",
    };
    CSafeSurfDlg dialog;
    ProbedSession session = RunProbed("@look open\nescape\n", dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, ElementsAre("window 167 \"Quillfence - SafeSurf\"", "end 167 IDCANCEL"));
    const WindowLook& look = session.looks.at("open");
    EXPECT_TRUE(look.checked(1048));
    EXPECT_FALSE(look.checked(1113));
    for (const SafeSurfRow& row : kSafeSurfRows) {
        const DlgControl& slider = look.at(row.slider);
        EXPECT_EQ(0, slider.low);
        EXPECT_EQ(8, slider.high);
        EXPECT_EQ(1, slider.tickFrequency);
        EXPECT_EQ(record.levels[row.category], slider.position) << row.category;
        EXPECT_EQ(expected[row.category], look.text(row.level)) << row.category;
        EXPECT_TRUE(look.enabled(row.slider) && look.enabled(row.level) && look.enabled(row.label));
    }
    // The rows stand on screen in this order, Violence second.
    std::vector<int> sliders;
    const DlgTemplate* source = DlgFindTemplate(167);
    for (size_t i = 0; i < source->controlCount; ++i)
        if (source->controls[i].kind == DlgControlKind::Slider) sliders.push_back(source->controls[i].id);
    EXPECT_THAT(sliders, ElementsAre(1058, 1105, 1059, 1060, 1061, 1104, 1063, 1064, 1065, 1066, 1067));
}

TEST_F(RatingDialogs, SafeSurfSlidersAndTheEnableBoxAreStoredByDone) {
    SafeSurfSettings record = {1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
    ASSERT_EQ(1, vtssurf_write(&record));
    CSafeSurfDlg dialog;
    ProbedSession session =
        RunProbed("scroll 1105 7\nscroll 1067 8\n@look moved\nclick 1048\n@look cleared\nclick IDOK\n", dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_EQ("end 167 IDOK", session.shown.back());
    EXPECT_EQ("Level 8 : Inviting Participation in Graphic Interactive Format", session.looks.at("moved").text(1047));
    EXPECT_EQ("Level 9 : Providing Means with Stakes", session.looks.at("moved").text(1046));
    for (const SafeSurfRow& row : kSafeSurfRows)
        for (int id : {row.slider, row.level, row.label}) EXPECT_FALSE(session.looks.at("cleared").enabled(id)) << id;
    EXPECT_FALSE(session.looks.at("cleared").enabled(1113));
    const SafeSurfSettings stored = stored_safesurf();
    EXPECT_EQ(0, stored.enabled);
    EXPECT_EQ(7, stored.levels[5]) << "Violence";
    EXPECT_EQ(8, stored.levels[10]) << "Gambling";
    EXPECT_EQ(0, stored.levels[1]);
    EXPECT_EQ(1, dialog.Changed());
}

TEST_F(RatingDialogs, SafeSurfFactoryResetAndAStoreThatCannotBeRead) {
    SafeSurfSettings record = {1, {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}};
    ASSERT_EQ(1, vtssurf_write(&record));
    CSafeSurfDlg dialog;
    ProbedSession session = RunProbed(
        "click 1113\nexpect-box \"Reset original factory settings\" \"You have selected to override your current "
        "SafeSurf settings.\\nThis will now default to the original factory settings.\\nAre you sure ?\"\n"
        "answer IDNO\n@look no\nclick 1113\nanswer IDYES\n@look yes\nclick IDCANCEL\n",
        dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_FALSE(session.looks.at("no").checked(1113));
    EXPECT_EQ("Level 6 : Adults", session.looks.at("no").text(1062));
    EXPECT_FALSE(session.looks.at("yes").checked(1113));
    EXPECT_FALSE(session.looks.at("yes").checked(1048));
    EXPECT_EQ("Level 1 : All Ages", session.looks.at("yes").text(1062));
    EXPECT_EQ(0, stored_safesurf().levels[0]);

    // A failed reset leaves the box ticked and the levels as they were.
    ASSERT_EQ(1, vtssurf_write(&record));
    set_store_read_only("ssurf.dat", true);
    CSafeSurfDlg failed;
    ProbedSession refused = RunProbed("click 1113\nanswer IDYES\n@look failed\nclick IDCANCEL\n", failed);
    EXPECT_EQ("", refused.failure);
    EXPECT_TRUE(refused.looks.at("failed").checked(1113));
    EXPECT_EQ("Level 6 : Adults", refused.looks.at("failed").text(1062));
    set_store_read_only("ssurf.dat", false);

    damage_store("ssurf.dat");
    CSafeSurfDlg damaged;
    ProbedSession restored = RunProbed("answer IDOK\n@look restored\nclick IDCANCEL\n", damaged);
    EXPECT_EQ("", restored.failure);
    EXPECT_THAT(restored.shown,
                ElementsAre("window 167 \"Quillfence - SafeSurf\"",
                            "box 167 \"Error - Detected on current SafeSurf settings\" \"An error occurred while "
                            "retrieving your current SafeSurf settings.\\nThis will now default to the original "
                            "factory settings.\" MB_OK|MB_ICONSTOP",
                            "answer IDOK", "end 167 IDCANCEL"));
    EXPECT_EQ("Level 1 : All Ages", restored.looks.at("restored").text(1062));
    EXPECT_THAT(log_lines(), Contains("WARNING Your SafeSurf settings have been tampered with. The default factory "
                                      "settings will be used."));
}

TEST_F(RatingDialogs, HelpCoversTheEnableBoxEverySliderAndTheRestoreBox) {
    struct Case {
        UINT templateId;
        std::vector<int> ids;
    } cases[] = {
        {160, {1101, 1033, 1034, 1035, 1036, 1114}},
        {167, {1048, 1058, 1059, 1060, 1061, 1104, 1105, 1063, 1064, 1065, 1066, 1067, 1113}},
    };
    for (const Case& c : cases) {
        for (int id : c.ids) {
            CRsaciDlg rsaci;
            CSafeSurfDlg safesurf;
            CDialog& dialog = c.templateId == 160 ? static_cast<CDialog&>(rsaci) : safesurf;
            char context[16];
            snprintf(context, sizeof(context), "0x%X", 0x80000000u + c.templateId * 0x10000u + id);
            ProbedSession session = RunProbed("help " + std::to_string(id) + "\ncontextmenu " + std::to_string(id) +
                                                  "\nescape\n",
                                              dialog);
            EXPECT_EQ("", session.failure);
            const std::string prefix = "help " + std::to_string(c.templateId);
            EXPECT_THAT(session.shown, Contains(HasSubstr(prefix + " HELP_WM_HELP " + context + " "))) << id;
            EXPECT_THAT(session.shown, Contains(HasSubstr(prefix + " HELP_CONTEXTMENU " + context + " "))) << id;
        }
    }
}

TEST_F(RatingDialogs, AdvancedSettingsMarkRsaciWhenStoredAndSafeSurfWhenDoneEvenUnchanged) {
    Session cancelled = RunDialog<CAdvancedDlg>("click 1034\nexpect-window 160\nescape\nclick 1036\n"
                                                "expect-window 167\nescape\nescape\n");
    EXPECT_EQ("", cancelled.failure);
    EXPECT_FALSE(AnyChangeMarker());

    Session rsaciDone = RunDialog<CAdvancedDlg>("click 1034\nclick IDOK\nexpect-window 143\nescape\n");
    EXPECT_EQ("", rsaciDone.failure);
    EXPECT_TRUE(AnyChangeMarker());
    ClearChangeMarkers();

    Session safesurfDone = RunDialog<CAdvancedDlg>("click 1036\nclick IDOK\nexpect-window 143\nescape\n");
    EXPECT_EQ("", safesurfDone.failure);
    EXPECT_TRUE(AnyChangeMarker());
}

}  // namespace
}  // namespace configurator_test
