// BSTRs: a 32-bit byte count, then the UTF-16 text and a terminator, counted so tests can see leaks.
#include <windows.h>
#include <oleauto.h>

#include <string.h>

#include <atomic>
#include <string>

#include "compat/oleaut_probe.h"
#include "internal.h"

namespace {

std::atomic<long> g_nLiveBstrs(0);

DWORD* PrefixOf(BSTR bstr)
{
    return reinterpret_cast<DWORD*>(bstr) - 1;
}

} // namespace

long compat_live_bstrs()
{
    return g_nLiveBstrs;
}

BSTR WINAPI SysAllocStringLen(const OLECHAR* psz, UINT ui)
{
    // The byte count must fit its 32 bits, with room for the prefix and the terminator.
    if (ui > (0xFFFFFFFFu - sizeof(DWORD) - sizeof(OLECHAR)) / sizeof(OLECHAR) / 2)
        return NULL;
    size_t cbText = (size_t)ui * sizeof(OLECHAR);
    DWORD* pBlock = static_cast<DWORD*>(compat__task_alloc(sizeof(DWORD) + cbText + sizeof(OLECHAR)));
    if (pBlock == NULL)
        return NULL;
    pBlock[0] = (DWORD)cbText;
    BSTR bstr = reinterpret_cast<BSTR>(pBlock + 1);
    if (psz != NULL)
        memcpy(bstr, psz, cbText);
    else
        memset(bstr, 0, cbText);
    bstr[ui] = 0;
    ++g_nLiveBstrs;
    return bstr;
}

BSTR WINAPI SysAllocString(const OLECHAR* psz)
{
    if (psz == NULL)
        return NULL;
    return SysAllocStringLen(psz, (UINT)std::char_traits<OLECHAR>::length(psz));
}

void WINAPI SysFreeString(BSTR bstr)
{
    if (bstr == NULL)
        return;
    --g_nLiveBstrs;
    compat__task_free(PrefixOf(bstr));
}

UINT WINAPI SysStringLen(BSTR bstr)
{
    return bstr != NULL ? *PrefixOf(bstr) / sizeof(OLECHAR) : 0;
}
