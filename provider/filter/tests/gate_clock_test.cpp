// The time warning as the clock moves: the local clock is moved by the time zone of the process,
// which the Win32 stand-in follows (Windows takes its time zone from the machine, so the Windows
// build leaves this file out).
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <vector>

#include <vtperiod.h>

#include "filter_harness.h"

namespace filter_test {
namespace {

// Puts the local clock the given number of minutes ahead of UTC (behind when negative), by the
// time zone.
void set_local_offset(int minutesAhead) {
    const int m = minutesAhead < 0 ? -minutesAhead : minutesAhead;
    char zone[32];
    snprintf(zone, sizeof zone, "QFT%c%d:%02d", minutesAhead < 0 ? '+' : '-', m / 60, m % 60);
    setenv("TZ", zone, 1);
    tzset();
}

// The local clock is moved (by the time zone) to 20 minutes into a half-hour slot, the only one
// allowed, so the slot ends about ten minutes from now: inside a 15-minute warning and far from
// any slot boundary for the few seconds the test takes, at any time of day. Moving the clock 15
// minutes back (allowed, outside the warning) or 30 minutes on (not allowed) re-arms the alert.
TEST_F(FilterTest, TheAlmostUpAlertIsShownOnceUntilTheAllowanceReportsAnythingElse) {
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    const int shift = (20 - utc.wMinute % 30 + 30) % 30;
    set_local_offset(shift);
    SYSTEMTIME local;
    GetLocalTime(&local);

    AccessTimeTable t = whole_week(1, 0);
    t.slots[local.wDayOfWeek][local.wHour * 2 + local.wMinute / 30] = 1;
    ASSERT_EQ(vtperiod_validate_currenttime(&t), 2) << "the clock is not where the test put it";
    setAccessTimes(t);
    load();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(connect(100 + i, "192.0.2.1", 80), 1);
    EXPECT_TRUE(newLog().empty());
    EXPECT_EQ(newAlerts(), std::vector<Alert>{kAlmostUpAlert});

    set_local_offset(shift - 15);
    ASSERT_EQ(vtperiod_validate_currenttime(&t), 1);
    EXPECT_EQ(connect(110, "192.0.2.1", 80), 1);
    set_local_offset(shift);
    EXPECT_EQ(connect(111, "192.0.2.1", 80), 1);
    EXPECT_EQ(connect(112, "192.0.2.1", 80), 1);

    set_local_offset(shift + 30);
    ASSERT_EQ(vtperiod_validate_currenttime(&t), 0);
    EXPECT_EQ(connect(113, "192.0.2.1", 80), 0);
    set_local_offset(shift);
    EXPECT_EQ(connect(114, "192.0.2.1", 80), 1);

    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"DENY", 0, "Blocked access as per time management configuration."}}));
    EXPECT_EQ(newAlerts(), (std::vector<Alert>{kAlmostUpAlert, kAlmostUpAlert, kNotNowAlert, kAlmostUpAlert}));
}

}  // namespace
}  // namespace filter_test
