// The time manager's periods and their texts, on records in memory.
#include <time_rules.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

const char kOverlap[] = "Overlaped time period has been detected, please ensure that time periods do not overlap.";
const char kOrder[] = "Begin time has to be before end time";

AccessTimeTable empty_week() {
    AccessTimeTable record;
    memset(&record, 0, sizeof(record));
    record.warningMinutes = 5;
    return record;
}

std::vector<std::string> listed(const AccessTimeTable& record) {
    std::vector<std::string> texts;
    for (const AccessPeriod& period : ListPeriods(record)) texts.push_back(PeriodListText(period));
    return texts;
}

const int kMonday = 1, kWednesday = 3;

TEST(TimeRules, TimeListsAndPeriodTexts) {
    EXPECT_EQ("00:00", BoundaryText(0));
    EXPECT_EQ("00:30", BoundaryText(1));
    EXPECT_EQ("09:30", BoundaryText(19));
    EXPECT_EQ("23:30", BoundaryText(47));
    EXPECT_EQ("23:59", BoundaryText(48));
    EXPECT_EQ("Friday  \t\t08:00 to 09:30", PeriodListText(AccessPeriod{5, 16, 19}));
    EXPECT_EQ("Wednesday \t00:00 to 23:59", PeriodListText(AccessPeriod{3, 0, 48}));
}

TEST(TimeRules, TouchingPeriodsAreListedAsOneAndEachDayIsScannedOnItsOwn) {
    AccessTimeTable record = empty_week();
    TimeMessage message;
    ASSERT_TRUE(InsertAccessTime(&record, false, AccessPeriod{kMonday, 16, 18}, &message));
    ASSERT_TRUE(InsertAccessTime(&record, false, AccessPeriod{kMonday, 18, 20}, &message)) << message.text;
    ASSERT_TRUE(InsertAccessTime(&record, false, AccessPeriod{0, 46, 48}, &message));
    ASSERT_TRUE(InsertAccessTime(&record, false, AccessPeriod{kMonday, 0, 1}, &message));
    EXPECT_EQ((std::vector<std::string>{"Sunday    \t23:00 to 23:59", "Monday    \t00:00 to 00:30",
                                        "Monday    \t08:00 to 10:00"}),
              listed(record));
}

TEST(TimeRules, AnInsertThatOverlapsOrEndsBeforeItBeginsIsRefusedAndChangesNothing) {
    struct Case {
        AccessPeriod period;
        const char* message;
    };
    const Case cases[] = {
        {{kMonday, 19, 21}, kOverlap},  // shares 09:30-10:00
        {{kMonday, 10, 10}, kOrder},
        {{kMonday, 12, 11}, kOrder},
        {{kMonday, 20, 18}, kOrder},  // begin after end over an allowed slot: only the order message
        {{kMonday, 0, 49}, kOrder},
        {{7, 0, 1}, kOrder},
    };
    for (const Case& c : cases) {
        AccessTimeTable record = empty_week();
        TimeMessage message;
        ASSERT_TRUE(InsertAccessTime(&record, false, AccessPeriod{kMonday, 16, 20}, &message));
        const AccessTimeTable before = record;
        EXPECT_FALSE(InsertAccessTime(&record, false, c.period, &message));
        EXPECT_EQ(c.message, message.text) << c.period.begin << "-" << c.period.end;
        EXPECT_EQ(0, memcmp(&before, &record, sizeof(record)));
    }
}

TEST(TimeRules, AWholeWeekInsertCollidingOnWednesdayStoresNothing) {
    AccessTimeTable record = empty_week();
    TimeMessage message;
    ASSERT_TRUE(InsertAccessTime(&record, false, AccessPeriod{kWednesday, 17, 18}, &message));
    const AccessTimeTable before = record;
    EXPECT_FALSE(InsertAccessTime(&record, true, AccessPeriod{0, 16, 20}, &message));
    EXPECT_EQ(kOverlap, message.text);
    EXPECT_EQ(0, memcmp(&before, &record, sizeof(record)));

    ASSERT_TRUE(InsertAccessTime(&record, true, AccessPeriod{0, 20, 24}, &message));
    EXPECT_EQ(8u, ListPeriods(record).size());
}

TEST(TimeRules, UpdateMayMoveAPeriodOntoItsOwnSlotsAndDeleteClearsThem) {
    AccessTimeTable record = empty_week();
    TimeMessage message;
    ASSERT_TRUE(InsertAccessTime(&record, false, AccessPeriod{kMonday, 16, 20}, &message));
    ASSERT_TRUE(InsertAccessTime(&record, false, AccessPeriod{kMonday, 30, 32}, &message));

    EXPECT_TRUE(UpdateAccessTime(&record, AccessPeriod{kMonday, 16, 20}, AccessPeriod{kMonday, 18, 22}, &message))
        << message.text;
    EXPECT_EQ((std::vector<std::string>{"Monday    \t09:00 to 11:00", "Monday    \t15:00 to 16:00"}), listed(record));

    const AccessTimeTable before = record;
    EXPECT_FALSE(UpdateAccessTime(&record, AccessPeriod{kMonday, 18, 22}, AccessPeriod{kMonday, 21, 31}, &message));
    EXPECT_EQ(kOverlap, message.text);
    EXPECT_EQ(0, memcmp(&before, &record, sizeof(record)));

    DeleteAccessTime(&record, AccessPeriod{kMonday, 30, 32});
    EXPECT_EQ((std::vector<std::string>{"Monday    \t09:00 to 11:00"}), listed(record));
}

TEST(TimeRules, TheWarningListFollowsTheStoredMinutes) {
    EXPECT_EQ(0, WarningIndex(5));
    EXPECT_EQ(1, WarningIndex(10));
    EXPECT_EQ(2, WarningIndex(15));
    for (int tampered : {0, -5, 7, 20, 1000}) EXPECT_EQ(0, WarningIndex(tampered)) << tampered;
    EXPECT_EQ(15, WarningMinutes(2));
    EXPECT_STREQ("10 minutes", kWarningTexts[WarningIndex(10)]);
}

}  // namespace
