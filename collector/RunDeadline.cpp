// The run's deadline: a watchdog thread that sleeps until it, and a claim that decides who writes the report.
#include "collector/RunDeadline.h"

#include "collector/ReportFile.h"

#include <new>
#include <process.h>

namespace {

enum Claim { kRunning, kClaimedByRun, kClaimedByWatchdog, kWrittenByWatchdog };
const int kValues = 5;

// Ends the process as TerminateProcess does, without the exit that would run what the abandoned run may hold.
void EndProcess()
{
    ::TerminateProcess(::GetCurrentProcess(), 0);
}

LONG Read(LONG volatile& nValue)
{
    return ::InterlockedCompareExchange(&nValue, 0, 0);
}

} // namespace

// Freed by whichever of its two holders lets go last. The values are copies of their own, made by the run before
// it publishes each, so the watchdog shares no text with the run.
struct RunState
{
    LONG volatile nRefs;
    LONG volatile nClaim;
    LONG volatile nPublished;  // -1 until the connection is open, then the number of values published
    DWORD dwDeadline;
    HANDLE hFinished;          // set once the run has claimed its report, so the watchdog need wait no longer
    CString strPath;
    LPCWSTR pszPathW;
    CString astrValues[kValues];
};

namespace {

void Release(RunState* pState)
{
    if (pState != NULL && ::InterlockedDecrement(&pState->nRefs) == 0)
    {
        if (pState->hFinished != NULL)
            ::CloseHandle(pState->hFinished);
        pState->~RunState();
        AfxFree(pState);
    }
}

// At the deadline, unless the run has claimed its report, the report is written with what was published: a value
// not read by then is empty, and no connection by then means no report.
void Watch(void* pv)
{
    RunState* pState = static_cast<RunState*>(pv);
    // A wait may end early, so the clock says when the deadline has come. A run that has claimed its report ends
    // the wait: a watchdog still waiting when the process ends would cost every healthy run the time it takes the
    // system to stop it.
    for (LONG nLeft; (nLeft = (LONG)(pState->dwDeadline - ::GetTickCount())) > 0;)
    {
        DWORD dwWait = pState->hFinished != NULL ? ::WaitForSingleObject(pState->hFinished, (DWORD)nLeft) : WAIT_FAILED;
        if (dwWait == WAIT_OBJECT_0)
            break;
        if (dwWait == WAIT_FAILED)
            ::Sleep((DWORD)nLeft);
    }
    if (::InterlockedCompareExchange(&pState->nClaim, kClaimedByWatchdog, kRunning) == kRunning)
    {
        LONG nPublished = Read(pState->nPublished);
        CString astrValues[kValues];
        for (LONG i = 0; i < nPublished; i++)
            astrValues[i] = pState->astrValues[i];
        if (nPublished >= 0)
            WriteInventoryReport(pState->strPath, pState->pszPathW, astrValues);
        ::InterlockedExchange(&pState->nClaim, kWrittenByWatchdog);
        CRunDeadline::s_pfnEndProcess();
    }
    Release(pState);
}

} // namespace

void (*CRunDeadline::s_pfnEndProcess)() = &EndProcess;

CRunDeadline::CRunDeadline()
    : m_pState(NULL)
{
}

CRunDeadline::~CRunDeadline()
{
    Release(m_pState);
}

bool CRunDeadline::Start(const CString& strPath, LPCWSTR pszPathW, DWORD nMilliseconds)
{
    void* pv = AfxAlloc(sizeof(RunState));
    if (pv == NULL)
        return false;
    m_pState = new (pv) RunState();
    m_pState->nRefs = 2;
    m_pState->nClaim = kRunning;
    m_pState->nPublished = -1;
    m_pState->dwDeadline = ::GetTickCount() + nMilliseconds;
    m_pState->strPath = CString((LPCSTR)strPath, strPath.GetLength());
    m_pState->pszPathW = pszPathW;
    m_pState->hFinished = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    if (_beginthread(Watch, 0, m_pState) != (uintptr_t)-1)
        return true;
    m_pState->nRefs = 1;
    return false;
}

DWORD CRunDeadline::GetDeadline() const
{
    return m_pState != NULL ? m_pState->dwDeadline : ::GetTickCount() + kRunDeadline;
}

void CRunDeadline::PublishOpen()
{
    if (m_pState != NULL)
        ::InterlockedExchange(&m_pState->nPublished, 0);
}

void CRunDeadline::PublishValue(const CString& strValue)
{
    LONG nPublished = m_pState != NULL ? Read(m_pState->nPublished) : -1;
    if (nPublished < 0 || nPublished >= kValues)
        return;
    m_pState->astrValues[nPublished] = CString((LPCSTR)strValue, strValue.GetLength());
    ::InterlockedIncrement(&m_pState->nPublished);
}

// Where the watchdog has claimed the report, the run waits until it is written: the process ends there, or, in a
// test, goes on with the report in place.
bool CRunDeadline::Finish()
{
    if (m_pState == NULL)
        return true;
    if (::InterlockedCompareExchange(&m_pState->nClaim, kClaimedByRun, kRunning) == kRunning)
    {
        if (m_pState->hFinished != NULL)
            ::SetEvent(m_pState->hFinished);
        return true;
    }
    while (Read(m_pState->nClaim) != kWrittenByWatchdog)
        ::Sleep(10);
    return false;
}
