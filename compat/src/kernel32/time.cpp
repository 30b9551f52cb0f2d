// The local time, from the host's clock and time zone; the tick count and sleeping, from its steady clock.
#include <windows.h>

#include <errno.h>
#include <stdint.h>

#include "seam.h"

// Where the clock cannot be read the time is its start, and where the zone cannot be, the time is UTC: a
// report's first line always holds a time.
void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    struct timespec ts = {};
    compat__sys::clock_gettime(CLOCK_REALTIME, &ts);
    struct tm local;
    time_t seconds = ts.tv_sec;
    if (compat__sys::localtime_r(&seconds, &local) == NULL)
        gmtime_r(&seconds, &local);
    lpSystemTime->wYear = (WORD)(local.tm_year + 1900);
    lpSystemTime->wMonth = (WORD)(local.tm_mon + 1);
    lpSystemTime->wDayOfWeek = (WORD)local.tm_wday;
    lpSystemTime->wDay = (WORD)local.tm_mday;
    lpSystemTime->wHour = (WORD)local.tm_hour;
    lpSystemTime->wMinute = (WORD)local.tm_min;
    // A leap second reads as the last ordinary one, as Windows never shows 60.
    lpSystemTime->wSecond = (WORD)(local.tm_sec > 59 ? 59 : local.tm_sec);
    lpSystemTime->wMilliseconds = (WORD)(ts.tv_nsec / 1000000);
}

DWORD WINAPI GetTickCount()
{
    struct timespec ts = {};
    compat__sys::clock_gettime(CLOCK_MONOTONIC, &ts);
    return (DWORD)((uint64_t)ts.tv_sec * 1000 + (uint64_t)ts.tv_nsec / 1000000);
}

// A signal that interrupts the sleep does not shorten it.
void WINAPI Sleep(DWORD dwMilliseconds)
{
    struct timespec ts = { (time_t)(dwMilliseconds / 1000), (long)(dwMilliseconds % 1000) * 1000000 };
    while (compat__sys::nanosleep(&ts, &ts) != 0 && errno == EINTR)
        continue;
}
