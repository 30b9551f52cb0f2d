// CString::Format, apart from the rest of CString: the runtime's formatting it needs is linked only where it is used.
#include "framework/afxwin.h"

#include <stdarg.h>
#include <stdio.h>

// The runtime counts the text first, so it is formatted once, into a buffer of its exact size.
void CString::Format(LPCSTR lpszFormat, ...)
{
    va_list args;
    va_start(args, lpszFormat);
    int nLength = _vscprintf(lpszFormat, args);
    va_end(args);
    char* pch = nLength > 0 ? AllocBuffer(nLength) : NULL;
    if (pch != NULL)
    {
        va_start(args, lpszFormat);
        int nWritten = _vsnprintf(pch, (size_t)nLength + 1, lpszFormat, args);
        va_end(args);
        if (nWritten != nLength)
        {
            AfxFree(reinterpret_cast<CStringData*>(pch) - 1);
            pch = NULL;
        }
    }
    Release();
    if (pch != NULL)
        m_pchData = pch;
}
