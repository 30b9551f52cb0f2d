// The local time, from the host's clock and time zone.
#include <windows.h>

#include <sys/time.h>
#include <time.h>

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    struct timeval tv;
    gettimeofday(&tv, NULL);
    struct tm local;
    time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &local);
    lpSystemTime->wYear = (WORD)(local.tm_year + 1900);
    lpSystemTime->wMonth = (WORD)(local.tm_mon + 1);
    lpSystemTime->wDayOfWeek = (WORD)local.tm_wday;
    lpSystemTime->wDay = (WORD)local.tm_mday;
    lpSystemTime->wHour = (WORD)local.tm_hour;
    lpSystemTime->wMinute = (WORD)local.tm_min;
    // A leap second reads as the last ordinary one, as Windows never shows 60.
    lpSystemTime->wSecond = (WORD)(local.tm_sec > 59 ? 59 : local.tm_sec);
    lpSystemTime->wMilliseconds = (WORD)(tv.tv_usec / 1000);
}
