// BSTRs: a 32-bit byte count, then the UTF-16 text and a terminator, in task-allocator blocks that its spy sees.
#include <windows.h>
#include <oleauto.h>

#include <string.h>

#include <string>

#include "internal.h"

namespace {

DWORD* PrefixOf(BSTR bstr)
{
    return reinterpret_cast<DWORD*>(bstr) - 1;
}

} // namespace

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
    compat__task_free(PrefixOf(bstr));
}

UINT WINAPI SysStringLen(BSTR bstr)
{
    return bstr != NULL ? *PrefixOf(bstr) / sizeof(OLECHAR) : 0;
}
