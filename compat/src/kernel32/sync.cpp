// Events: a word in memory that waiters sleep on through futex(2), so an event costs no descriptor, and no call
// to the system until someone waits for it.
#include <windows.h>

#include <errno.h>
#include <linux/futex.h>
#include <stdint.h>
#include <sys/syscall.h>

#include <atomic>
#include <new>

#include "internal.h"
#include "seam.h"

namespace {

// Manual reset only: once set, an event stays set.
enum EventState : uint32_t { kUnset, kSet, kUnsetWithWaiters };

struct alignas(8) Event
{
    std::atomic<uint32_t> nState;
};

Event* EventOf(HANDLE h)
{
    return compat__is_event(h) ? reinterpret_cast<Event*>(reinterpret_cast<intptr_t>(h) & ~(intptr_t)3) : NULL;
}

long Futex(Event* pEvent, int nOp, uint32_t nValue, const struct timespec* pTimeout)
{
    return compat__sys::syscall(SYS_futex, (long)&pEvent->nState, nOp | FUTEX_PRIVATE_FLAG, (long)nValue,
                                (long)pTimeout);
}

} // namespace

bool compat__close_event(HANDLE h)
{
    Event* pEvent = EventOf(h);
    if (pEvent == NULL)
        return false;
    pEvent->~Event();
    ::operator delete(pEvent, std::nothrow);
    return true;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName)
{
    if (!bManualReset || lpName != NULL)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    void* pv = ::operator new(sizeof(Event), std::nothrow);
    if (pv == NULL)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    Event* pEvent = new (pv) Event{ { bInitialState ? (uint32_t)kSet : (uint32_t)kUnset } };
    return reinterpret_cast<HANDLE>(reinterpret_cast<intptr_t>(pEvent) | 2);
}

// Only where someone sleeps on the event is the system asked to wake them. A waiter that sees the event set may
// close it before the wake is made; the wake then reaches a word that no one sleeps on, or, where the memory is
// another event's by then, wakes its waiters early, and they wait again.
BOOL WINAPI SetEvent(HANDLE hEvent)
{
    Event* pEvent = EventOf(hEvent);
    if (pEvent == NULL)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (pEvent->nState.exchange(kSet) == kUnsetWithWaiters)
        Futex(pEvent, FUTEX_WAKE, INT32_MAX, NULL);
    return TRUE;
}

// A wait that a signal or a spurious wake ends early goes on for the time it has left by the clock.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    Event* pEvent = EventOf(hHandle);
    if (pEvent == NULL)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    DWORD dwStart = GetTickCount();
    for (;;)
    {
        uint32_t nState = kUnset;
        if (!pEvent->nState.compare_exchange_strong(nState, kUnsetWithWaiters) && nState == kSet)
            return WAIT_OBJECT_0;
        DWORD dwWaited = GetTickCount() - dwStart;
        if (dwMilliseconds != INFINITE && dwWaited >= dwMilliseconds)
            return WAIT_TIMEOUT;
        DWORD dwLeft = dwMilliseconds - dwWaited;
        struct timespec left = { (time_t)(dwLeft / 1000), (long)(dwLeft % 1000) * 1000000 };
        if (Futex(pEvent, FUTEX_WAIT, kUnsetWithWaiters, dwMilliseconds == INFINITE ? NULL : &left) != 0 &&
            errno != EAGAIN && errno != EINTR && errno != ETIMEDOUT)
        {
            compat__set_error_from_errno(errno);
            return WAIT_FAILED;
        }
    }
}
