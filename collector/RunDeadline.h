// The run's deadline: where the management service has not answered in time, a watchdog writes the report with
// the values read so far and ends the process, so that a run always ends.
#pragma once

#include "framework/afxwin.h"

// How long a whole run may take from its start, in milliseconds.
const DWORD kRunDeadline = 60000;

// What the watchdog shares with the run: its own, so the run it may abandon writes only into what it still owns.
struct RunState;

class CRunDeadline
{
public:
    CRunDeadline();
    ~CRunDeadline();

    // Starts the watch over a run that writes its report to the path, which the watchdog may have to write itself.
    // False where no thread can be had: the run then waits only as long as the service's own limits make it.
    bool Start(const CString& strPath, LPCWSTR pszPathW, DWORD nMilliseconds);
    // The tick count at which the run ends.
    DWORD GetDeadline() const;
    // The connection came in time, so a report is due.
    void PublishOpen();
    // The next value, in the report's order, as the report is to hold it.
    void PublishValue(const CString& strValue);
    // True when the run is to write its report itself; false once the watchdog has written it instead.
    bool Finish();

    // How the watchdog ends the process once the report is written: at once, since the run it abandons may be
    // inside any call. Tests put their own in its place.
    static void (*s_pfnEndProcess)();

private:
    CRunDeadline(const CRunDeadline&);
    void operator=(const CRunDeadline&);

    RunState* m_pState;
};
