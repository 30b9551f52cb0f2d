// The task allocator and its spy: tests see every block made and freed, and can make an allocation fail.
#include <windows.h>
#include <ole2.h>

#include <stdlib.h>

#include <unordered_set>

#include "internal.h"

namespace {

#define CO_E_OBJISREG ((HRESULT)0x800401FC)

IMallocSpy* g_pSpy = NULL;
// Blocks made while the spy watched, which it is told about again when they are freed.
std::unordered_set<void*> g_spyed;

} // namespace

void* compat__task_alloc(size_t cb)
{
    size_t cbActual = cb;
    if (g_pSpy != NULL)
    {
        cbActual = g_pSpy->PreAlloc(cb);
        // A spy can make an allocation fail, except one of no bytes.
        if (cb != 0 && cbActual == 0)
            return NULL;
    }
    void* pv = malloc(cbActual != 0 ? cbActual : 1);
    if (g_pSpy == NULL)
        return pv;
    pv = g_pSpy->PostAlloc(pv);
    if (pv != NULL)
        g_spyed.insert(pv);
    return pv;
}

void compat__task_free(void* pv)
{
    if (pv == NULL)
        return;
    bool bSpyed = g_spyed.erase(pv) != 0;
    if (g_pSpy != NULL)
        pv = g_pSpy->PreFree(pv, bSpyed);
    free(pv);
    if (g_pSpy != NULL)
        g_pSpy->PostFree(bSpyed);
}

HRESULT WINAPI CoRegisterMallocSpy(IMallocSpy* pMallocSpy)
{
    if (pMallocSpy == NULL)
        return E_INVALIDARG;
    if (g_pSpy != NULL)
        return CO_E_OBJISREG;
    IMallocSpy* pSpy = NULL;
    if (FAILED(pMallocSpy->QueryInterface(IID_IMallocSpy, reinterpret_cast<void**>(&pSpy))) || pSpy == NULL)
        return E_INVALIDARG;
    g_pSpy = pSpy;
    return S_OK;
}
