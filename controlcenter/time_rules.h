// What the time manager dialogs decide and show, shared by the dialogs and the admin command
// line: the period list built from the weekly half-hour slots, the texts of the time and day
// lists, and inserting, updating and deleting a period on a schedule record. Storing the record is
// the caller's (every change is stored at once).
#pragma once

#include <vtperiod.h>

#include <string>
#include <vector>

// A day (0 Sunday .. 6 Saturday) with a begin and an end boundary (0 <= begin < end <= 48);
// boundary n is n x 30 minutes after midnight.
struct AccessPeriod {
    int day;
    int begin;
    int end;
};

// The time manager window lists at most this many periods, and says so when more are allowed.
constexpr int kMaxListedPeriods = 150;
std::string MorePeriodsText();

// The time lists: boundary 0..47 as "00:00".."23:30", and boundary 48 (end lists only) as "23:59".
std::string BoundaryText(int boundary);
// "Sunday" .. "Saturday".
const char* DayName(int day);
// The period list's line: padded day name, begin, " to ", end.
std::string PeriodListText(const AccessPeriod& period);

// Every maximal run of allowed slots, day by day, in time order.
std::vector<AccessPeriod> ListPeriods(const AccessTimeTable& record);

// The warning list: entry 0 "5 minutes", 1 "10 minutes", 2 "15 minutes".
extern const char* const kWarningTexts[3];
// The entry selected for a stored warningMinutes (a value outside 5, 10, 15 selects "5 minutes").
int WarningIndex(int warningMinutes);
int WarningMinutes(int index);

// A message box with the caption "Error" and the error icon.
struct TimeMessage {
    std::string text;
};

// The boxes (caption "Error", error icon) of a schedule that cannot be stored.
extern const char kTimeStoringError[];   // after an insert, the enable box, the warning list
extern const char kTimeUpdatingError[];  // after an update
extern const char kTimeDeletingError[];  // after a delete
extern const char kTimeRetrievingError[];  // the Update or delete dialog's record cannot be read
extern const char kTimeDeleteQuestion[];  // Yes and No, No the default, caption "Delete access time"

// Insert dialog, Insert pressed: marks period on record, or with wholeWeek the same begin and end
// on every day from Sunday to Saturday. A period that overlaps an allowed slot, or whose begin is
// not before its end, is refused with its message and the record is left exactly as it was.
bool InsertAccessTime(AccessTimeTable* record, bool wholeWeek, const AccessPeriod& period, TimeMessage* message);

// Update dialog, Update pressed: moves old to period on record (the old slots do not count as an
// overlap). Refused as an insert is, leaving the record as it was.
bool UpdateAccessTime(AccessTimeTable* record, const AccessPeriod& old, const AccessPeriod& period, TimeMessage* message);

// Update dialog, Delete answered Yes: clears old's slots.
void DeleteAccessTime(AccessTimeTable* record, const AccessPeriod& old);

// Whether a period lies within the week and its day (0 <= begin, end <= 48, day 0..6); the order of
// begin and end is the marking's own test.
bool PeriodInRange(const AccessPeriod& period);
