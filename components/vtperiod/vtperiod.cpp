// VTPeriod: the weekly schedule in DBDIR "db\period.dat", a checked record file, and the check
// of the current time against it.
#include "vtperiod.h"

#include <string.h>

#include "recfile.h"
#include "vtperiod_clock.h"

namespace {

const char kFile[] = "db\\period.dat";
const char kTag[4] = {'P', 'E', 'R', 'D'};
const int kWeekSlots = ACCESS_DAYS * ACCESS_SLOTS_PER_DAY;
const int kSlotSeconds = 30 * 60;

bool valid(const AccessTimeTable& r) {
    if (r.enabled != 0 && r.enabled != 1) return false;
    if (r.warningMinutes != 5 && r.warningMinutes != 10 && r.warningMinutes != 15) return false;
    for (const auto& day : r.slots)
        for (INT slot : day)
            if (slot != 0 && slot != 1) return false;
    return true;
}

bool allowed(const AccessTimeTable& r, int weekSlot) {
    return r.slots[weekSlot / ACCESS_SLOTS_PER_DAY][weekSlot % ACCESS_SLOTS_PER_DAY] != 0;
}

}  // namespace

extern "C" {

int vtperiod_init(AccessTimeTable* record) {
    if (!record) return 0;
    memset(record, 0, sizeof(*record));
    record->warningMinutes = 5;
    return 1;
}

int vtperiod_read(AccessTimeTable* record) {
    if (!record) return 0;
    AccessTimeTable stored;
    if (!recfile_read(kFile, kTag, &stored, sizeof(stored)) || !valid(stored)) return 0;
    *record = stored;
    return 1;
}

int vtperiod_write(AccessTimeTable* record) {
    if (!record || !valid(*record)) return 0;
    return recfile_write(kFile, kTag, record, sizeof(*record));
}

int vtperiod_regen(AccessTimeTable* record) {
    if (!record) return 0;
    vtperiod_init(record);  // not active, warning 5 minutes
    for (auto& day : record->slots)
        for (INT& slot : day) slot = 1;
    return vtperiod_write(record);
}

int vtperiod_validate_at(const AccessTimeTable* record, const SYSTEMTIME* localTime) {
    if (!record || !localTime) return 0;
    if (localTime->wDayOfWeek >= ACCESS_DAYS || localTime->wHour > 23 || localTime->wMinute > 59) return 0;
    const int minuteOfDay = localTime->wHour * 60 + localTime->wMinute;
    const int second = localTime->wSecond > 59 ? 59 : localTime->wSecond;  // a leap second counts as :59
    const int now = localTime->wDayOfWeek * ACCESS_SLOTS_PER_DAY + minuteOfDay / 30;
    if (!allowed(*record, now)) return 0;

    // Follow the run slot by slot, through midnight and from Saturday into Sunday.
    int following = 1;
    while (following < kWeekSlots && allowed(*record, (now + following) % kWeekSlots)) ++following;
    if (following == kWeekSlots) return 1;  // every slot of the week allowed: the run never ends

    const int secondsIntoSlot = (minuteOfDay % 30) * 60 + second;
    const int remaining = following * kSlotSeconds - secondsIntoSlot;
    if (record->warningMinutes > 0 && remaining <= (long long)record->warningMinutes * 60) return 2;
    return 1;
}

int vtperiod_validate_currenttime(const AccessTimeTable* record) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return vtperiod_validate_at(record, &now);
}

}  // extern "C"
