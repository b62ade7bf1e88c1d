// The Time manager window and its Insert and Update or delete dialogs against a real schedule
// store: the period list, inserting, moving and deleting periods, the warning and the enable box
// stored at once, a store that cannot be read or written, the listing limit, help, and the change
// marker of the Advanced settings window.
#include "settings_dialog_support.h"

#include "advanced_dlg.h"
#include "change_markers.h"
#include "insert_access_time_dlg.h"
#include "time_manager_dlg.h"
#include "update_access_time_dlg.h"

#include <dlg_app.h>
#include <time_rules.h>
#include <vtperiod.h>

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <tuple>

namespace configurator_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class TimeDialogs : public ControlCenter {};

enum { Sun, Mon, Tue, Wed, Thu, Fri, Sat };
using Period = std::tuple<int, int, int>;  // day, begin, end boundary

AccessTimeTable schedule(int enabled, int warningMinutes, const std::vector<Period>& periods) {
    AccessTimeTable table;
    memset(&table, 0, sizeof(table));
    table.enabled = enabled;
    table.warningMinutes = warningMinutes;
    for (const auto& [day, begin, end] : periods)
        for (int slot = begin; slot < end; ++slot) table.slots[day][slot] = 1;
    return table;
}

void store_schedule(AccessTimeTable table) { ASSERT_EQ(1, vtperiod_write(&table)); }

AccessTimeTable stored_schedule() {
    AccessTimeTable table;
    memset(&table, 0, sizeof(table));
    EXPECT_EQ(1, vtperiod_read(&table));
    return table;
}

std::vector<Period> stored_periods() {
    std::vector<Period> periods;
    for (const AccessPeriod& p : ListPeriods(stored_schedule())) periods.emplace_back(p.day, p.begin, p.end);
    return periods;
}

const std::vector<Period> kWholeDays = {{Sun, 0, 48}, {Mon, 0, 48}, {Tue, 0, 48}, {Wed, 0, 48},
                                        {Thu, 0, 48}, {Fri, 0, 48}, {Sat, 0, 48}};

const char kOverlap[] =
    "expect-box \"Error\" \"Overlaped time period has been detected, please ensure that time periods do not "
    "overlap.\"\nanswer IDOK\n";
const char kOrder[] = "expect-box \"Error\" \"Begin time has to be before end time\"\nanswer IDOK\n";
const char kStoring[] = "expect-box \"Error\" \"An error occurred while storing time information.\"\nanswer IDOK\n";

TEST_F(TimeDialogs, TheWindowListsEachRunAndStoresTheWarningAndTheEnableBoxAtOnce) {
    store_schedule(schedule(1, 10, {{Sun, 0, 1}, {Mon, 16, 20}, {Fri, 46, 48}, {Sat, 0, 48}}));
    CTimeManagerDlg dialog;
    ProbedSession session = RunProbed(
        "@look open\nselect 1100 2\n@do warning stored\nclick 1103\n@do enable stored\n@look cleared\nclick IDOK\n",
        dialog,
        {{"warning stored", [] { EXPECT_EQ(15, stored_schedule().warningMinutes); }},
         {"enable stored", [] { EXPECT_EQ(0, stored_schedule().enabled); }}});
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, ElementsAre("window 164 \"Quillfence - Time manager\"", "end 164 IDOK"));
    const WindowLook& open = session.looks.at("open");
    EXPECT_THAT(open.items(1106), ElementsAre("Sunday    \t00:00 to 00:30", "Monday    \t08:00 to 10:00",
                                              "Friday  \t\t23:00 to 23:59", "Saturday  \t00:00 to 23:59"));
    EXPECT_EQ(DLGS_TABSTOPS, open.at(1106).style & (DLGS_TABSTOPS | DLGS_SORTED));
    EXPECT_THAT(open.items(1100), ElementsAre("5 minutes", "10 minutes", "15 minutes"));
    EXPECT_EQ(1, open.selection(1100));
    EXPECT_TRUE(open.checked(1103));
    EXPECT_FALSE(open.at(1115).visible);
    const WindowLook& cleared = session.looks.at("cleared");
    for (int id : {1106, 1048, 1100, 1099, 1112}) {
        EXPECT_TRUE(open.enabled(id)) << id;
        EXPECT_FALSE(cleared.enabled(id)) << id;
    }
    EXPECT_EQ(1, dialog.Changed());
}

TEST_F(TimeDialogs, InsertsThatTouchAreListedAsOnePeriodAndOverlapsOrABeginNotBeforeTheEndAreRefused) {
    store_schedule(schedule(1, 5, {}));
    CTimeManagerDlg dialog;
    ProbedSession session = RunProbed(std::string("click 1048\nexpect-window 162\n@look insert\n"
                                                  "select 1108 1\nselect 1109 30\ncloseup 1109\n@look closeup\n"
                                                  "select 1109 16\nselect 1110 18\nclick IDOK\nexpect-window 164\n"
                                                  "click 1048\nselect 1108 1\nselect 1109 18\nselect 1110 20\n"
                                                  "click IDOK\n@look touching\n"
                                                  "click 1048\nselect 1108 1\nselect 1109 19\nselect 1110 21\n"
                                                  "click IDOK\n") +
                                          kOverlap + "select 1109 22\nselect 1110 22\nclick IDOK\n" + kOrder +
                                          "select 1110 21\nclick IDOK\n" + kOrder +
                                          "@do unchanged\nclick IDCANCEL\nexpect-window 164\nclick IDOK\n",
                                      dialog,
                                      {{"unchanged", [] { EXPECT_THAT(stored_periods(), ElementsAre(Period{Mon, 16, 20})); }}});
    EXPECT_EQ("", session.failure);
    const WindowLook& insert = session.looks.at("insert");
    EXPECT_THAT(insert.items(1108), ElementsAre("Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"));
    EXPECT_EQ(48u, insert.items(1109).size());
    EXPECT_EQ("23:30", insert.items(1109).back());
    EXPECT_EQ(49u, insert.items(1110).size());
    EXPECT_EQ("23:59", insert.items(1110).back());
    for (int id : {1108, 1109, 1047}) EXPECT_EQ(0, insert.selection(id)) << id;
    for (int id : {1110, 1048}) EXPECT_EQ(1, insert.selection(id)) << id;
    EXPECT_FALSE(insert.enabled(1047) || insert.enabled(1048));
    EXPECT_EQ(31, session.looks.at("closeup").selection(1110)) << "the end follows the begin";
    EXPECT_THAT(session.looks.at("touching").items(1106), ElementsAre("Monday    \t08:00 to 10:00"));
    EXPECT_THAT(session.shown, Contains("box 162 \"Error\" \"Begin time has to be before end time\" MB_OK|MB_ICONSTOP"));
    EXPECT_THAT(stored_periods(), ElementsAre(Period{Mon, 16, 20}));
    EXPECT_EQ(1, dialog.Changed());
}

TEST_F(TimeDialogs, AWholeWeekCollidingOnWednesdayStoresNothingAndTheNextTryDoesNotCollideWithItsOwnDays) {
    store_schedule(schedule(1, 5, {{Wed, 20, 22}}));
    CTimeManagerDlg dialog;
    ProbedSession session = RunProbed(std::string("click 1048\nclick 1102\n@look week\n"
                                                  "select 1047 18\nselect 1048 22\nclick IDOK\n") +
                                          kOverlap +
                                          "@do nothing stored\nselect 1047 24\ncloseup 1047\n@look closeup\n"
                                          "click IDOK\nexpect-window 164\nclick IDOK\n",
                                      dialog,
                                      {{"nothing stored", [] { EXPECT_THAT(stored_periods(), ElementsAre(Period{Wed, 20, 22})); }}});
    EXPECT_EQ("", session.failure);
    const WindowLook& week = session.looks.at("week");
    for (int id : {1047, 1048}) EXPECT_TRUE(week.enabled(id)) << id;
    for (int id : {1108, 1109, 1110}) EXPECT_FALSE(week.enabled(id)) << id;
    EXPECT_EQ(25, session.looks.at("closeup").selection(1048));
    EXPECT_THAT(stored_periods(),
                ElementsAre(Period{Sun, 24, 25}, Period{Mon, 24, 25}, Period{Tue, 24, 25}, Period{Wed, 20, 22},
                            Period{Wed, 24, 25}, Period{Thu, 24, 25}, Period{Fri, 24, 25}, Period{Sat, 24, 25}));
}

TEST_F(TimeDialogs, UpdateMovesAPeriodOntoItsOwnSlotsAndRefusesAnOverlapWithAnother) {
    store_schedule(schedule(1, 5, {{Mon, 16, 20}, {Mon, 24, 26}}));
    CTimeManagerDlg dialog;
    ProbedSession session = RunProbed(std::string("dblclick 1106 0\nexpect-window 165\n@look update\n"
                                                  "select 1056 30\ncloseup 1056\n@look closeup\n"
                                                  "select 1056 17\nselect 1057 21\nclick IDOK\nexpect-window 164\n"
                                                  "@look moved\ndblclick 1106 0\nselect 1057 25\nclick IDOK\n") +
                                          kOverlap + "click IDCANCEL\nclick IDOK\n",
                                      dialog);
    EXPECT_EQ("", session.failure);
    const WindowLook& update = session.looks.at("update");
    EXPECT_EQ(Mon, update.selection(1055));
    EXPECT_EQ(16, update.selection(1056));
    EXPECT_EQ(20, update.selection(1057));
    EXPECT_EQ("23:59", update.items(1057).back());
    EXPECT_EQ(31, session.looks.at("closeup").selection(1057));
    EXPECT_THAT(session.looks.at("moved").items(1106),
                ElementsAre("Monday    \t08:30 to 10:30", "Monday    \t12:00 to 13:00"));
    EXPECT_THAT(stored_periods(), ElementsAre(Period{Mon, 17, 21}, Period{Mon, 24, 26}));
}

TEST_F(TimeDialogs, DeleteAsksFirstAndNoKeepsThePeriod) {
    store_schedule(schedule(1, 5, {{Mon, 16, 20}, {Tue, 0, 48}}));
    CTimeManagerDlg dialog;
    ProbedSession session = RunProbed(
        "dblclick 1106 1\nclick 3\nanswer IDNO\nexpect-window 165\nclick 3\nanswer IDYES\nexpect-window 164\n"
        "@look deleted\nclick IDOK\n",
        dialog);
    EXPECT_EQ("", session.failure);
    const char question[] =
        "box 165 \"Delete access time\" \"The access time will be permanently deleted.\\nAre you sure ?\" "
        "MB_YESNO|MB_DEFBUTTON2";
    EXPECT_THAT(session.shown, ElementsAre("window 164 \"Quillfence - Time manager\"",
                                           "window 165 \"Quillfence - Update or delete access time\"", question,
                                           "answer IDNO", question, "answer IDYES", "end 165 IDOK", "end 164 IDOK"));
    EXPECT_THAT(session.looks.at("deleted").items(1106), ElementsAre("Monday    \t08:00 to 10:00"));
    EXPECT_THAT(stored_periods(), ElementsAre(Period{Mon, 16, 20}));
}

TEST_F(TimeDialogs, WritesThatFailAreReportedAndAFailedPeriodStoreCanBeTriedAgain) {
    store_schedule(schedule(1, 5, {}));
    set_store_read_only("period.dat", true);
    auto writable = [] { set_store_read_only("period.dat", false); };
    auto readOnly = [] { set_store_read_only("period.dat", true); };
    CTimeManagerDlg dialog;
    ProbedSession session = RunProbed(
        std::string("select 1100 2\n") + kStoring + "click 1103\n" + kStoring +
            "click 1103\n" + kStoring +
            "click 1048\nselect 1108 1\nselect 1109 16\nselect 1110 18\nclick IDOK\n" + kStoring +
            "@do writable\nclick IDOK\nexpect-window 164\n@look inserted\n"
            "dblclick 1106 0\n@do read-only\nselect 1057 20\nclick IDOK\n"
            "expect-box \"Error\" \"An error occurred while updating time information.\"\nanswer IDOK\n"
            "click 3\nanswer IDYES\n"
            "expect-box \"Error\" \"An error occurred while deleting time information.\"\nanswer IDOK\n"
            "@do writable\nclick IDOK\nexpect-window 164\n@look updated\nclick IDOK\n",
        dialog, {{"writable", writable}, {"read-only", readOnly}});
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.looks.at("inserted").items(1106), ElementsAre("Monday    \t08:00 to 09:00"));
    EXPECT_THAT(session.looks.at("updated").items(1106), ElementsAre("Monday    \t08:00 to 10:00"));
    EXPECT_THAT(stored_periods(), ElementsAre(Period{Mon, 16, 20}));
    EXPECT_EQ(5, stored_schedule().warningMinutes) << "the warning could not be stored";
}

TEST_F(TimeDialogs, AScheduleOfMoreThan150PeriodsListsTheFirst150AndSaysSo) {
    std::vector<Period> alternate;
    for (int day = Sun; day <= Sat; ++day)
        for (int slot = 0; slot < 48; slot += 2) alternate.emplace_back(day, slot, slot + 1);
    store_schedule(schedule(1, 5, alternate));  // 168 periods
    CTimeManagerDlg dialog;
    ProbedSession session =
        RunProbed("@look open\ndblclick 1106 149\n@look last\nclick IDCANCEL\nclick IDOK\n", dialog);
    EXPECT_EQ("", session.failure);
    const WindowLook& open = session.looks.at("open");
    ASSERT_EQ(150u, open.items(1106).size());
    EXPECT_EQ("Saturday  \t05:00 to 05:30", open.items(1106).back());
    EXPECT_TRUE(open.at(1115).visible);
    EXPECT_EQ("Only the first 150 periods are listed: more access times are allowed.", open.text(1115));
    const WindowLook& last = session.looks.at("last");
    EXPECT_EQ(Sat, last.selection(1055));
    EXPECT_EQ(10, last.selection(1056));
    EXPECT_EQ(11, last.selection(1057));
}

TEST_F(TimeDialogs, AStoreThatCannotBeReadIsRestoredWithItsBoxAndWarningAndOneThatCannotBeRestoredIsNotUsed) {
    const char readError[] =
        "box 164 \"Error - Detected on current time settings\" \"An error occurred while retrieving your current time "
        "settings.\\nThis will now default to the original factory settings.\" MB_OK|MB_ICONSTOP";
    const char tampered[] = "WARNING Your time settings have been tampered with. The default factory settings will be used.";
    damage_store("period.dat");
    CTimeManagerDlg restored;
    ProbedSession session = RunProbed("answer IDOK\n@look restored\nclick IDOK\n", restored);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown,
                ElementsAre("window 164 \"Quillfence - Time manager\"", readError, "answer IDOK", "end 164 IDOK"));
    EXPECT_EQ(7u, session.looks.at("restored").items(1106).size());
    EXPECT_EQ("Wednesday \t00:00 to 23:59", session.looks.at("restored").items(1106)[3]);
    EXPECT_THAT(log_lines(), Contains(tampered));
    EXPECT_THAT(stored_periods(), ::testing::ElementsAreArray(kWholeDays));

    damage_store("period.dat");
    set_store_read_only("period.dat", true);
    CTimeManagerDlg empty;
    ProbedSession none = RunProbed("answer IDOK\n@look empty\nclick IDOK\n", empty);
    EXPECT_EQ("", none.failure);
    EXPECT_TRUE(none.looks.at("empty").items(1106).empty());
    for (int id : {1103, 1048, 1106, 1100, 1112}) EXPECT_FALSE(none.looks.at("empty").enabled(id)) << id;
    EXPECT_EQ(0, empty.Changed());
    const std::vector<std::string> log = log_lines();
    EXPECT_EQ(1, std::count(log.begin(), log.end(), std::string(tampered))) << "nothing restored, nothing logged";
}

// The enable box reads the schedule afresh; one damaged meanwhile is replaced by the factory
// schedule, which the list then shows, and the box is stored with it.
TEST_F(TimeDialogs, TheEnableBoxOnAScheduleDamagedMeanwhileShowsTheFactoryScheduleItStores) {
    store_schedule(schedule(0, 5, {{Mon, 16, 20}}));
    CTimeManagerDlg dialog;
    ProbedSession session = RunProbed(
        "@do damage\nclick 1103\nexpect-box \"Error - Detected on current time settings\" \"An error occurred while "
        "retrieving your current time settings.\\nThis will now default to the original factory settings.\"\n"
        "answer IDOK\n@look enabled\nclick IDOK\n",
        dialog, {{"damage", [] { damage_store("period.dat"); }}});
    EXPECT_EQ("", session.failure);
    EXPECT_EQ(7u, session.looks.at("enabled").items(1106).size());
    EXPECT_EQ(1, stored_schedule().enabled);
    EXPECT_THAT(stored_periods(), ::testing::ElementsAreArray(kWholeDays));
}

TEST_F(TimeDialogs, InsertAndUpdateDialogsWithoutARecordRefuseToStore) {
    damage_store("period.dat");
    set_store_read_only("period.dat", true);
    CInsertAccessTimeDlg insert;
    ProbedSession inserting = RunProbed(
        std::string("expect-box \"Error - Detected on current time settings\" \"An error occurred while retrieving "
                    "your current time settings.\\nThis will now default to the original factory settings.\"\n"
                    "answer IDOK\nclick IDOK\n") +
            kStoring + "expect-window 162\nclick IDCANCEL\n",
        insert);
    EXPECT_EQ("", inserting.failure);
    EXPECT_EQ("end 162 IDCANCEL", inserting.shown.back());

    set_store_read_only("period.dat", false);
    CUpdateAccessTimeDlg update(AccessPeriod{Mon, 16, 20});
    ProbedSession updating = RunProbed(
        "expect-box \"Error\" \"An error occurred while retrieving time information.\"\nanswer IDOK\nclick IDOK\n"
        "expect-box \"Error\" \"An error occurred while updating time information.\"\nanswer IDOK\nclick 3\n"
        "expect-box \"Error\" \"An error occurred while deleting time information.\"\nanswer IDOK\n"
        "expect-window 165\nclick IDCANCEL\n",
        update);
    EXPECT_EQ("", updating.failure);
    EXPECT_EQ("end 165 IDCANCEL", updating.shown.back());
    AccessTimeTable unread;
    EXPECT_EQ(0, vtperiod_read(&unread)) << "the Update or delete dialog restores nothing";
    EXPECT_THAT(log_lines(), Not(Contains(HasSubstr("tampered"))));
    EXPECT_EQ(0, insert.Changed() + update.Changed());
}

TEST_F(TimeDialogs, FactoryResetAsksAndYesShowsTheFactorySchedule) {
    store_schedule(schedule(1, 15, {{Mon, 16, 20}}));
    CTimeManagerDlg dialog;
    ProbedSession session = RunProbed(
        "click 1112\nexpect-box \"Reset original factory settings\" \"You have selected to override your current time "
        "settings.\\nThis will now default to the original factory settings.\\nAre you sure ?\"\nanswer IDNO\n"
        "@look no\nclick 1112\nanswer IDYES\n@look yes\nclick IDOK\n",
        dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_FALSE(session.looks.at("no").checked(1112));
    EXPECT_THAT(session.looks.at("no").items(1106), ElementsAre("Monday    \t08:00 to 10:00"));
    const WindowLook& yes = session.looks.at("yes");
    EXPECT_FALSE(yes.checked(1112));
    EXPECT_EQ(7u, yes.items(1106).size());
    EXPECT_EQ(0, yes.selection(1100));
    EXPECT_FALSE(yes.checked(1103));
    EXPECT_THAT(stored_periods(), ::testing::ElementsAreArray(kWholeDays));
    EXPECT_EQ(1, dialog.Changed());
}

TEST_F(TimeDialogs, HelpTablesOfTheThreeDialogs) {
    struct Case {
        UINT templateId;
        int id;
        UINT contextTemplate;
    } cases[] = {
        {164, 1106, 164}, {164, 1103, 164}, {164, 1100, 164}, {164, 1112, 164}, {162, 1102, 162}, {162, 1108, 162},
        {162, 1109, 162}, {162, 1110, 162}, {162, 1047, 162}, {162, 1048, 162}, {165, 1055, 162}, {165, 1057, 162},
        {165, 1056, 162}, {165, 3, 165},
    };
    store_schedule(schedule(1, 5, {{Mon, 16, 20}}));
    for (const Case& c : cases) {
        CTimeManagerDlg manager;
        CInsertAccessTimeDlg insert;
        CUpdateAccessTimeDlg update(AccessPeriod{Mon, 16, 20});
        CDialog& dialog = c.templateId == 164 ? static_cast<CDialog&>(manager)
                          : c.templateId == 162 ? static_cast<CDialog&>(insert)
                                                : update;
        char context[16];
        snprintf(context, sizeof(context), "0x%X", 0x80000000u + c.contextTemplate * 0x10000u + c.id);
        ProbedSession session = RunProbed(
            "help " + std::to_string(c.id) + "\ncontextmenu " + std::to_string(c.id) + "\nescape\n", dialog);
        EXPECT_EQ("", session.failure);
        const std::string prefix = "help " + std::to_string(c.templateId);
        EXPECT_THAT(session.shown, Contains(HasSubstr(prefix + " HELP_WM_HELP " + context + " "))) << c.id;
        EXPECT_THAT(session.shown, Contains(HasSubstr(prefix + " HELP_CONTEXTMENU " + context + " "))) << c.id;
    }
}

TEST_F(TimeDialogs, AdvancedSettingsMarkAccessTimesOnlyWhenSomethingWasStored) {
    Session unchanged = RunDialog<CAdvancedDlg>("click 1049\nexpect-window 164\nclick IDOK\nescape\n");
    EXPECT_EQ("", unchanged.failure);
    EXPECT_FALSE(AnyChangeMarker());
    Session changed =
        RunDialog<CAdvancedDlg>("click 1049\nclick 1103\nescape\nexpect-window 143\nclick 1107\nanswer IDNO\n");
    EXPECT_EQ("", changed.failure);
    EXPECT_THAT(changed.shown, Contains(HasSubstr("\"Quillfence Changes Detected\"")));
}

}  // namespace
}  // namespace configurator_test
