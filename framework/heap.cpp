// The framework's heap: the one place the program takes memory from, which tests can make run out.
#include "framework/afxwin.h"

#include <stdlib.h>

namespace {

int afx_nAllocationsBeforeFailure = -1;
bool afx_bAllocationFailed = false;

} // namespace

void* AfxAlloc(size_t nBytes)
{
    if (afx_nAllocationsBeforeFailure >= 0 && afx_nAllocationsBeforeFailure-- == 0)
    {
        afx_bAllocationFailed = true;
        return NULL;
    }
    return malloc(nBytes);
}

void AfxFree(void* p)
{
    free(p);
}

bool AfxFailAllocation(int nSucceedFirst)
{
    bool bFailed = afx_bAllocationFailed;
    afx_bAllocationFailed = false;
    afx_nAllocationsBeforeFailure = nSucceedFirst;
    return bFailed;
}
