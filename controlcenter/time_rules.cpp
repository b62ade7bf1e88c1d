#include "time_rules.h"

#include <stdio.h>

namespace {

const char kOverlap[] = "Overlaped time period has been detected, please ensure that time periods do not overlap.";
const char kOrder[] = "Begin time has to be before end time";

const char* const kDayNames[ACCESS_DAYS] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kDayListNames[ACCESS_DAYS] = {"Sunday    \t", "Monday    \t", "Tuesday   \t", "Wednesday \t",
                                                "Thursday  \t", "Friday  \t\t", "Saturday  \t"};

void set_slots(AccessTimeTable* record, const AccessPeriod& period, INT value) {
    for (int slot = period.begin; slot < period.end; ++slot) record->slots[period.day][slot] = value;
}

// Marks period on record: refused when one of its slots is allowed already, then when its begin
// is not before its end.
bool mark(AccessTimeTable* record, const AccessPeriod& period, TimeMessage* message) {
    if (!PeriodInRange(period)) {
        message->text = kOrder;
        return false;
    }
    for (int slot = period.begin; slot < period.end; ++slot) {
        if (record->slots[period.day][slot] == 1) {
            message->text = kOverlap;
            return false;
        }
    }
    if (period.begin >= period.end) {
        message->text = kOrder;
        return false;
    }
    set_slots(record, period, 1);
    return true;
}

}  // namespace

const char kTimeStoringError[] = "An error occurred while storing time information.";
const char kTimeUpdatingError[] = "An error occurred while updating time information.";
const char kTimeDeletingError[] = "An error occurred while deleting time information.";
const char kTimeRetrievingError[] = "An error occurred while retrieving time information.";
const char kTimeDeleteQuestion[] = "The access time will be permanently deleted.\nAre you sure ?";

std::string BoundaryText(int boundary) {
    if (boundary >= ACCESS_SLOTS_PER_DAY) return "23:59";
    if (boundary < 0) boundary = 0;
    char text[8];
    snprintf(text, sizeof(text), "%02d:%02d", boundary / 2, boundary % 2 ? 30 : 0);
    return text;
}

std::string MorePeriodsText() {
    return "Only the first " + std::to_string(kMaxListedPeriods) + " periods are listed: more access times are allowed.";
}

const char* DayName(int day) { return day >= 0 && day < ACCESS_DAYS ? kDayNames[day] : ""; }

std::string PeriodListText(const AccessPeriod& period) {
    const char* day = period.day >= 0 && period.day < ACCESS_DAYS ? kDayListNames[period.day] : "";
    return day + BoundaryText(period.begin) + " to " + BoundaryText(period.end);
}

std::vector<AccessPeriod> ListPeriods(const AccessTimeTable& record) {
    std::vector<AccessPeriod> periods;
    for (int day = 0; day < ACCESS_DAYS; ++day) {
        for (int slot = 0; slot < ACCESS_SLOTS_PER_DAY;) {
            if (record.slots[day][slot] != 1) {
                ++slot;
                continue;
            }
            const int begin = slot;
            while (slot < ACCESS_SLOTS_PER_DAY && record.slots[day][slot] == 1) ++slot;
            periods.push_back(AccessPeriod{day, begin, slot});
        }
    }
    return periods;
}

const char* const kWarningTexts[3] = {"5 minutes", "10 minutes", "15 minutes"};

int WarningIndex(int warningMinutes) {
    const int index = warningMinutes / 5 - 1;
    return index >= 0 && index <= 2 && warningMinutes % 5 == 0 ? index : 0;
}

int WarningMinutes(int index) { return (index >= 0 && index <= 2 ? index + 1 : 1) * 5; }

bool PeriodInRange(const AccessPeriod& period) {
    return period.day >= 0 && period.day < ACCESS_DAYS && period.begin >= 0 && period.begin <= ACCESS_SLOTS_PER_DAY &&
           period.end >= 0 && period.end <= ACCESS_SLOTS_PER_DAY;
}

bool InsertAccessTime(AccessTimeTable* record, bool wholeWeek, const AccessPeriod& period, TimeMessage* message) {
    // Marked on a copy, so that a whole week that fails on a later day stores nothing.
    AccessTimeTable working = *record;
    const int first = wholeWeek ? 0 : period.day;
    const int last = wholeWeek ? ACCESS_DAYS - 1 : period.day;
    for (int day = first; day <= last; ++day)
        if (!mark(&working, AccessPeriod{day, period.begin, period.end}, message)) return false;
    *record = working;
    return true;
}

bool UpdateAccessTime(AccessTimeTable* record, const AccessPeriod& old, const AccessPeriod& period, TimeMessage* message) {
    if (!PeriodInRange(old)) {
        message->text = kOrder;
        return false;
    }
    AccessTimeTable scratch = *record;
    set_slots(&scratch, old, 0);
    if (!mark(&scratch, period, message)) return false;
    *record = scratch;
    return true;
}

void DeleteAccessTime(AccessTimeTable* record, const AccessPeriod& old) {
    if (PeriodInRange(old)) set_slots(record, old, 0);
}
