// The one seam the stand-in's system calls pass: a table of them by name, so that tests can make any fail.
#include "seam.h"

#include "compat/sys_probe.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <unistd.h>

#include <type_traits>

namespace {

enum Index
{
#define COMPAT__INDEX(R, name, params, args) k_##name,
    COMPAT__SYSCALLS(COMPAT__INDEX)
#undef COMPAT__INDEX
    kCount
};

// Their names, in the table's order. Each call goes to the system's function by name rather than through a
// pointer kept here, as SQLite's aSyscall[] keeps them: a pointer makes the loader look up its function as the
// program starts, called or not, which for thirty of them costs a run a twelfth of its instructions.
const char* const s_apszName[] = {
#define COMPAT__NAME(R, name, params, args) #name,
    COMPAT__SYSCALLS(COMPAT__NAME)
#undef COMPAT__NAME
};

struct Request
{
    int nIndex = kCount;
    int nCallsLeft = 0;
    int nErrno = 0;
    void (*pfnBefore)(void*) = NULL;
    void* pv = NULL;
};

Request s_request;

bool Fails(int nIndex)
{
    if (s_request.nCallsLeft == 0 || s_request.nIndex != nIndex || --s_request.nCallsLeft > 0)
        return false;
    Request request = s_request;
    s_request = Request();
    if (request.pfnBefore != NULL)
        request.pfnBefore(request.pv);
    if (request.nErrno == 0)
        return false;
    errno = request.nErrno;
    return true;
}

template <typename R>
R Failed()
{
    if constexpr (std::is_pointer<R>::value)
        return NULL;
    else
        return (R)-1;
}

} // namespace

#define COMPAT__DEFINE(R, name, params, args) \
    R compat__sys::name params \
    { \
        return Fails(k_##name) ? Failed<R>() : ::name args; \
    }
COMPAT__SYSCALLS(COMPAT__DEFINE)
#undef COMPAT__DEFINE

namespace {

long s_nFsType = 0;

} // namespace

int compat__sys::statfs(const char* p, struct statfs* q)
{
    int nResult = ::statfs(p, q);
    if (nResult == 0 && s_nFsType != 0)
        q->f_type = s_nFsType;
    return nResult;
}

void compat_sys_set_fs_type(long nType)
{
    s_nFsType = nType;
}

const char* compat_sys_name(int nIndex)
{
    return nIndex >= 0 && nIndex < kCount ? s_apszName[nIndex] : NULL;
}

bool compat_sys_inject(const char* pszName, int nCall, int nErrno, void (*pfnBefore)(void*), void* pv)
{
    s_request = Request();
    for (int i = 0; i < kCount && pszName != NULL && nCall > 0; i++)
    {
        if (strcmp(s_apszName[i], pszName) == 0)
        {
            s_request = Request{ i, nCall, nErrno, pfnBefore, pv };
            return true;
        }
    }
    return false;
}

bool compat_sys_clear()
{
    bool bWaiting = s_request.nCallsLeft != 0;
    s_request = Request();
    return bWaiting;
}
