#include "times_commands.h"

#include "password_commands.h"
#include "settings_reading.h"

#include <time_rules.h>

#include <strings.h>

const char kTimesHelp[] =
    "  times [show]          whether time management is on, the warning and the allowed periods\n"
    "  times insert DAY|week BEGIN END\n"
    "                        allow DAY (Sunday .. Saturday, or its first three letters) or every day\n"
    "                        from BEGIN to END (HH:MM on the half hour; END may be 23:59)\n"
    "  times update DAY BEGIN END NEWDAY NEWBEGIN NEWEND\n"
    "                        move the allowed period DAY BEGIN END\n"
    "  times delete DAY BEGIN END\n"
    "                        remove the allowed period DAY BEGIN END\n"
    "  times warning 5|10|15 warn that many minutes before an allowed period ends\n"
    "  times enable on|off   enforce the schedule or not\n"
    "  times factory         restore the factory schedule\n"
    "                        (every change needs the password)\n";

namespace {

bool parse_day(const std::string& text, int* day) {
    for (int d = 0; d < ACCESS_DAYS; ++d) {
        const std::string name = DayName(d);
        if (!strcasecmp(text.c_str(), name.c_str()) || (text.size() == 3 && !strncasecmp(text.c_str(), name.c_str(), 3))) {
            *day = d;
            return true;
        }
    }
    return false;
}

// A boundary as the time lists show it ("00:00" .. "23:30", and "23:59" or "24:00" for the end of
// the day).
bool parse_boundary(const std::string& text, int* boundary) {
    if (text == "24:00") {
        *boundary = ACCESS_SLOTS_PER_DAY;
        return true;
    }
    for (int b = 0; b <= ACCESS_SLOTS_PER_DAY; ++b) {
        if (text == BoundaryText(b)) {
            *boundary = b;
            return true;
        }
    }
    return false;
}

// DAY BEGIN END at arguments[at..at+2] into period (the day may be "week" when week is given).
bool parse_period(const std::vector<std::string>& arguments, size_t at, AccessPeriod* period, bool* week,
                  std::string& error) {
    if (arguments.size() < at + 3) {
        error = "a period is DAY BEGIN END";
        return false;
    }
    if (week && !strcasecmp(arguments[at].c_str(), "week")) {
        *week = true;
        period->day = 0;
    } else if (!parse_day(arguments[at], &period->day)) {
        error = "not a day: '" + arguments[at] + "'";
        return false;
    }
    if (!parse_boundary(arguments[at + 1], &period->begin) || period->begin == ACCESS_SLOTS_PER_DAY) {
        error = "not a begin time: '" + arguments[at + 1] + "' (00:00 to 23:30 on the half hour)";
        return false;
    }
    if (!parse_boundary(arguments[at + 2], &period->end)) {
        error = "not an end time: '" + arguments[at + 2] + "' (00:00 to 23:30 on the half hour, or 23:59)";
        return false;
    }
    return true;
}

bool is_listed(const AccessTimeTable& record, const AccessPeriod& period) {
    for (const AccessPeriod& listed : ListPeriods(record))
        if (listed.day == period.day && listed.begin == period.begin && listed.end == period.end) return true;
    return false;
}

void print_schedule(const AccessTimeTable& record) {
    printf("time management: %s\n", record.enabled == 1 ? "on" : "off");
    printf("warning: %s before the end of an allowed period\n", kWarningTexts[WarningIndex(record.warningMinutes)]);
    const std::vector<AccessPeriod> periods = ListPeriods(record);
    printf("allowed:%s\n", periods.empty() ? " never" : "");
    for (const AccessPeriod& p : periods)
        printf("  %-9s %s to %s\n", DayName(p.day), BoundaryText(p.begin).c_str(), BoundaryText(p.end).c_str());
}

}  // namespace

int TimesCommand(const std::vector<std::string>& arguments, bool passwordStdin) {
    const std::string action = arguments.empty() ? "show" : arguments[0];
    size_t expected = 1;
    AccessPeriod period{0, 0, 0}, old{0, 0, 0};
    bool week = false;
    int minutes = 0;
    bool on = false;
    std::string error;
    if (action == "show" || action == "factory") {
        expected = arguments.empty() ? 0 : 1;
    } else if (action == "insert") {
        expected = 4;
        if (!parse_period(arguments, 1, &period, &week, error)) return UsageError(error);
    } else if (action == "delete") {
        expected = 4;
        if (!parse_period(arguments, 1, &old, nullptr, error)) return UsageError(error);
    } else if (action == "update") {
        expected = 7;
        if (!parse_period(arguments, 1, &old, nullptr, error) || !parse_period(arguments, 4, &period, nullptr, error))
            return UsageError(error);
    } else if (action == "warning") {
        expected = 2;
        if (arguments.size() < 2 || !ParseNumber(arguments[1], 5, 15, &minutes) || minutes % 5 != 0)
            return UsageError("times warning needs 5, 10 or 15");
    } else if (action == "enable") {
        expected = 2;
        if (arguments.size() < 2 || (arguments[1] != "on" && arguments[1] != "off"))
            return UsageError("times enable needs on or off");
        on = arguments[1] == "on";
    } else {
        return UsageError("unknown times action '" + action + "'");
    }
    if (arguments.size() > expected) return UsageError("unexpected argument '" + arguments[expected] + "'");

    AccessTimeTable record;
    if (!ReadSettings(&record, vtperiod_init, vtperiod_read, vtperiod_regen, kTimeStoreTexts)) return 1;
    if (action == "show") {
        print_schedule(record);
        return 0;
    }
    if ((action == "delete" || action == "update") && !is_listed(record, old))
        return Failure("there is no allowed period " + std::string(DayName(old.day)) + " " + BoundaryText(old.begin) +
                       " to " + BoundaryText(old.end));
    if (int refusal = CheckPasswordCommand(passwordStdin)) return refusal;

    AccessTimeTable changed = record;
    TimeMessage message;
    const char* storeError = kTimeStoringError;
    if (action == "factory") {
        if (vtperiod_regen(&changed) != 1) return Failure("the factory settings cannot be stored");
        print_schedule(changed);
        return 0;
    }
    if (action == "insert" && !InsertAccessTime(&changed, week, period, &message)) return Failure(message.text);
    if (action == "update") {
        storeError = kTimeUpdatingError;
        if (!UpdateAccessTime(&changed, old, period, &message)) return Failure(message.text);
    }
    if (action == "delete") {
        storeError = kTimeDeletingError;
        DeleteAccessTime(&changed, old);
    }
    if (action == "warning") changed.warningMinutes = minutes;
    if (action == "enable") changed.enabled = on ? 1 : 0;
    if (vtperiod_write(&changed) != 1) return Failure(storeError);
    print_schedule(changed);
    return 0;
}
