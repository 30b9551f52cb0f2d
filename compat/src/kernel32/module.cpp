// The program's own module and process: the only module there is, holding the resources linked into the program.
#include <windows.h>

#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "internal.h"
#include "seam.h"

namespace {

// Its address is the module handle: unique, and never a pointer anyone may follow.
const char s_mainModule = 0;

} // namespace

HMODULE compat__main_module()
{
    return reinterpret_cast<HMODULE>(const_cast<char*>(&s_mainModule));
}

bool compat__is_main_module(HMODULE hModule)
{
    return hModule == NULL || hModule == compat__main_module();
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (lpModuleName == NULL)
        return compat__main_module();
    SetLastError(126 /* ERROR_MOD_NOT_FOUND */);
    return NULL;
}

// Cut off to the buffer, with ERROR_INSUFFICIENT_BUFFER, as Windows does when the name does not fit.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    if (!compat__is_main_module(hModule) || lpFilename == NULL || nSize == 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    char szPath[4096];
    ssize_t nLength = compat__sys::readlink("/proc/self/exe", szPath, sizeof(szPath) - 1);
    if (nLength <= 0)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if ((DWORD)nLength >= nSize)
    {
        memcpy(lpFilename, szPath, nSize - 1);
        lpFilename[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    memcpy(lpFilename, szPath, nLength);
    lpFilename[nLength] = 0;
    return (DWORD)nLength;
}

FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR)
{
    SetLastError(127 /* ERROR_PROC_NOT_FOUND */);
    return NULL;
}

// exit_group, as _exit makes it: every thread ends at once, and nothing registered to run at exit runs, as on
// Windows.
BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode)
{
    if (hProcess != GetCurrentProcess())
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    compat__sys::syscall(SYS_exit_group, (long)uExitCode, 0, 0, 0);
    return FALSE;
}
