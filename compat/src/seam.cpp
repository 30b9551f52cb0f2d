// The one seam the stand-in's system calls pass: each asks it first, so that tests can make any of them fail.
#include "internal.h"

#include "compat/sys_probe.h"

#include <errno.h>
#include <string.h>

namespace {

struct Request
{
    char szName[16];
    int nCallsLeft;
    int nErrno;
    void (*pfnBefore)(void*);
    void* pv;
};

Request s_request;

} // namespace

void compat_sys_inject(const char* pszName, int nCall, int nErrno, void (*pfnBefore)(void*), void* pv)
{
    compat_sys_clear();
    if (pszName == NULL || nCall < 1 || strlen(pszName) >= sizeof(s_request.szName))
        return;
    strcpy(s_request.szName, pszName);
    s_request.nCallsLeft = nCall;
    s_request.nErrno = nErrno;
    s_request.pfnBefore = pfnBefore;
    s_request.pv = pv;
}

void compat_sys_clear()
{
    s_request = Request();
}

bool compat__sys_fails(const char* pszName)
{
    if (s_request.nCallsLeft == 0 || strcmp(s_request.szName, pszName) != 0 || --s_request.nCallsLeft > 0)
        return false;
    Request request = s_request;
    compat_sys_clear();
    if (request.pfnBefore != NULL)
        request.pfnBefore(request.pv);
    if (request.nErrno == 0)
        return false;
    errno = request.nErrno;
    return true;
}
