// Sleep, the tick count and the calendar time.
#include <windows.h>

#include <errno.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

namespace {

void fill_system_time(const struct tm& calendar, long nanoseconds, LPSYSTEMTIME out) {
    out->wYear = static_cast<WORD>(calendar.tm_year + 1900);
    out->wMonth = static_cast<WORD>(calendar.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(calendar.tm_wday);  // 0 = Sunday, as on Windows
    out->wDay = static_cast<WORD>(calendar.tm_mday);
    out->wHour = static_cast<WORD>(calendar.tm_hour);
    out->wMinute = static_cast<WORD>(calendar.tm_min);
    out->wSecond = static_cast<WORD>(calendar.tm_sec > 59 ? 59 : calendar.tm_sec);  // no leap second
    out->wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}

}  // namespace

extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) pause();
    }
    struct timespec remaining = {static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

extern "C" DWORD WINAPI GetTickCount(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Milliseconds since an arbitrary start, wrapping at 2^32 as on Windows.
    return static_cast<DWORD>(static_cast<unsigned long long>(now.tv_sec) * 1000ULL + static_cast<unsigned long long>(now.tv_nsec) / 1000000ULL);
}

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm calendar;
    localtime_r(&now.tv_sec, &calendar);
    fill_system_time(calendar, now.tv_nsec, lpSystemTime);
}

extern "C" void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm calendar;
    gmtime_r(&now.tv_sec, &calendar);
    fill_system_time(calendar, now.tv_nsec, lpSystemTime);
}
