#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "vtperiod.h"
#include "vtperiod_clock.h"

namespace {

enum { Sun, Mon, Tue, Wed, Thu, Fri, Sat };

struct Run {
    int day, begin, end;  // slots begin .. end-1 allowed
};

struct Case {
    const char* name;
    std::vector<Run> allowed;
    int day, hour, minute, second;
    int warningMinutes;
    int expected;
};

const std::vector<Run> kWholeWeek = {{Sun, 0, 48}, {Mon, 0, 48}, {Tue, 0, 48}, {Wed, 0, 48},
                                     {Thu, 0, 48}, {Fri, 0, 48}, {Sat, 0, 48}};

AccessTimeTable schedule(const std::vector<Run>& runs, int warningMinutes) {
    AccessTimeTable table;
    memset(&table, 0, sizeof(table));
    table.enabled = 1;
    table.warningMinutes = warningMinutes;
    for (const Run& run : runs)
        for (int slot = run.begin; slot < run.end; ++slot) table.slots[run.day][slot] = 1;
    return table;
}

std::vector<Run> week_except(int day, int slot) {
    std::vector<Run> runs = kWholeWeek;
    runs[day] = {day, 0, slot};
    runs.push_back({day, slot + 1, 48});
    return runs;
}

const Case kCases[] = {
    {"nothing allowed", {}, Mon, 12, 0, 0, 5, 0},
    {"before the run", {{Mon, 16, 20}}, Mon, 7, 59, 59, 5, 0},
    {"start of the run", {{Mon, 16, 20}}, Mon, 8, 0, 0, 5, 1},
    {"just outside the warning", {{Mon, 16, 20}}, Mon, 9, 54, 59, 5, 1},
    {"exactly the warning before the end", {{Mon, 16, 20}}, Mon, 9, 55, 0, 5, 2},
    {"last second of the run", {{Mon, 16, 20}}, Mon, 9, 59, 59, 5, 2},
    {"end boundary is not allowed", {{Mon, 16, 20}}, Mon, 10, 0, 0, 5, 0},
    {"fifteen minute warning", {{Mon, 16, 20}}, Mon, 9, 45, 0, 15, 2},
    {"fifteen minute warning not yet", {{Mon, 16, 20}}, Mon, 9, 44, 59, 15, 1},
    {"other day of the week", {{Mon, 16, 20}}, Tue, 8, 30, 0, 5, 0},
    {"run ending at midnight", {{Mon, 46, 48}}, Mon, 23, 56, 0, 5, 2},
    {"run going on past midnight", {{Mon, 46, 48}, {Tue, 0, 2}}, Mon, 23, 57, 0, 5, 1},
    {"after midnight, end near", {{Mon, 46, 48}, {Tue, 0, 2}}, Tue, 0, 56, 0, 5, 2},
    {"Saturday night into Sunday", {{Sat, 47, 48}, {Sun, 0, 2}}, Sat, 23, 58, 0, 5, 1},
    {"Saturday night into Sunday, ten minutes", {{Sat, 47, 48}, {Sun, 0, 1}}, Sat, 23, 51, 0, 10, 1},
    {"Saturday night run ends at midnight", {{Sat, 47, 48}}, Sat, 23, 56, 0, 5, 2},
    {"Sunday end of a run from Saturday", {{Sat, 47, 48}, {Sun, 0, 2}}, Sun, 0, 55, 0, 5, 2},
    {"whole week allowed", kWholeWeek, Sat, 23, 59, 59, 15, 1},
    {"run around the week after the gap", week_except(Wed, 24), Wed, 12, 30, 0, 15, 1},
    {"run around the week before the gap", week_except(Wed, 24), Wed, 11, 50, 0, 10, 2},
    {"inside the only gap", week_except(Wed, 24), Wed, 12, 10, 0, 5, 0},
    {"day 7 does not exist", kWholeWeek, 7, 12, 0, 0, 5, 0},
    {"hour 24 does not exist", kWholeWeek, Mon, 24, 0, 0, 5, 0},
    {"minute 60 does not exist", kWholeWeek, Mon, 10, 60, 0, 5, 0},
};

TEST(VtperiodClock, ScheduleAndTimeGiveTheExpectedAnswer) {
    for (const Case& c : kCases) {
        AccessTimeTable table = schedule(c.allowed, c.warningMinutes);
        SYSTEMTIME time;
        memset(&time, 0, sizeof(time));
        time.wYear = 2024;
        time.wDayOfWeek = (WORD)c.day;
        time.wHour = (WORD)c.hour;
        time.wMinute = (WORD)c.minute;
        time.wSecond = (WORD)c.second;
        EXPECT_EQ(c.expected, vtperiod_validate_at(&table, &time)) << c.name;
    }
}

TEST(VtperiodClock, CurrentTimeUsesTheSameCheck) {
    AccessTimeTable open = schedule(kWholeWeek, 5);
    EXPECT_EQ(1, vtperiod_validate_currenttime(&open));
    AccessTimeTable closed = schedule({}, 5);
    EXPECT_EQ(0, vtperiod_validate_currenttime(&closed));
}

}  // namespace
