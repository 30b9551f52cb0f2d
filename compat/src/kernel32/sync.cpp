// Events: one descriptor each, an eventfd, so that they are handles like files' and close the same way.
#include <windows.h>

#include <errno.h>
#include <poll.h>
#include <stdint.h>
#include <sys/eventfd.h>

#include "internal.h"
#include "seam.h"

// Manual reset only, which the count's never being read back gives: once set, it stays set.
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName)
{
    if (!bManualReset || lpName != NULL)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    int fd = compat__sys::eventfd(bInitialState ? 1 : 0, EFD_CLOEXEC);
    if (fd < 0)
    {
        compat__set_error_from_errno(errno);
        return NULL;
    }
    return compat__handle_of(fd);
}

BOOL WINAPI SetEvent(HANDLE hEvent)
{
    uint64_t nOne = 1;
    if (hEvent == NULL || hEvent == INVALID_HANDLE_VALUE ||
        compat__sys::write(compat__descriptor_of(hEvent), &nOne, sizeof(nOne)) != (ssize_t)sizeof(nOne))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// A wait that a signal interrupts goes on for the time it has left by the clock.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    if (hHandle == NULL || hHandle == INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    DWORD dwStart = GetTickCount();
    for (;;)
    {
        DWORD dwWaited = GetTickCount() - dwStart;
        int nTimeout = dwMilliseconds == INFINITE ? -1 : dwWaited >= dwMilliseconds ? 0 : (int)(dwMilliseconds - dwWaited);
        struct pollfd poll = { compat__descriptor_of(hHandle), POLLIN, 0 };
        int nReady = compat__sys::poll(&poll, 1, nTimeout);
        if (nReady > 0)
            return WAIT_OBJECT_0;
        if (nReady == 0)
            return WAIT_TIMEOUT;
        if (errno != EINTR)
        {
            compat__set_error_from_errno(errno);
            return WAIT_FAILED;
        }
    }
}
