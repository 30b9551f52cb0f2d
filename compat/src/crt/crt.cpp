// The Microsoft C runtime's file and formatting calls over their POSIX equivalents, and the split command line.
#include <windows.h>

#include <errno.h>
#include <io.h>
#include <mbctype.h>
#include <process.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <string>
#include <vector>

#include "internal.h"
#include "seam.h"

int __argc = 0;
char** __argv = NULL;

namespace {

// Made once, as the runtime makes them, and kept to the end: one block holds the pointers, a null one last, and
// then the texts they point to.
WCHAR** s_ppszWideArgv = NULL;
WCHAR* s_noEnvironment[] = { NULL };

WCHAR** MakeWideArgv()
{
    size_t nUnits = 0;
    for (int i = 0; i < __argc; i++)
        nUnits += (size_t)MultiByteToWideChar(CP_ACP, 0, __argv[i], -1, NULL, 0);
    size_t cbPointers = ((size_t)__argc + 1) * sizeof(WCHAR*);
    WCHAR** ppszArgv = static_cast<WCHAR**>(malloc(cbPointers + nUnits * sizeof(WCHAR)));
    if (ppszArgv == NULL)
        return NULL;
    WCHAR* pch = reinterpret_cast<WCHAR*>(reinterpret_cast<char*>(ppszArgv) + cbPointers);
    for (int i = 0; i < __argc; i++)
    {
        ppszArgv[i] = pch;
        pch += MultiByteToWideChar(CP_ACP, 0, __argv[i], -1, pch, (int)nUnits);
    }
    ppszArgv[__argc] = NULL;
    return ppszArgv;
}

} // namespace

// Decoded by the ANSI code page's own conversion, so that any bytes, invalid UTF-8 too, convert back to what
// the program was given. Nothing here reads the environment through it. Fails, as the runtime's does, where
// there is no memory for the arguments.
int __wgetmainargs(int* pArgc, WCHAR*** pWargv, WCHAR*** pWenv, int, _startupinfo*)
{
    if (s_ppszWideArgv == NULL && (s_ppszWideArgv = MakeWideArgv()) == NULL)
        return -1;
    *pArgc = __argc;
    *pWargv = s_ppszWideArgv;
    *pWenv = s_noEnvironment;
    return 0;
}

namespace {

// Each start waits in a slot until its thread has taken it. Nothing is allocated for it, so a thread that only
// sleeps, as a watchdog does, never sets up an allocator's arena of its own.
struct ThreadStart
{
    std::atomic<bool> bTaken;
    void (*pfnStart)(void*);
    void* pv;
};
ThreadStart s_aStarts[4];

void* RunThread(void* pv)
{
    ThreadStart* pStart = static_cast<ThreadStart*>(pv);
    void (*pfnStart)(void*) = pStart->pfnStart;
    void* pvArg = pStart->pv;
    pStart->bTaken.store(false);
    pfnStart(pvArg);
    return NULL;
}

} // namespace

// pthread_create reports its failure as its result, not in errno. No more threads start at once than there are
// slots, which no program here comes near.
uintptr_t _beginthread(void (*start_address)(void*), unsigned, void* arglist)
{
    for (ThreadStart& start : s_aStarts)
    {
        if (start.bTaken.exchange(true))
            continue;
        start.pfnStart = start_address;
        start.pv = arglist;
        pthread_t thread;
        if (compat__sys::pthread_create(&thread, NULL, RunThread, &start) != 0)
        {
            start.bTaken.store(false);
            return (uintptr_t)-1;
        }
        compat__sys::pthread_detach(thread);
        return (uintptr_t)thread;
    }
    return (uintptr_t)-1;
}

int _vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    return vsnprintf(buffer, count, format, args);
}

int _vscprintf(const char* format, va_list args)
{
    return vsnprintf(NULL, 0, format, args);
}

namespace {

// Windows has neither signal: a write past the file-size limit or into a pipe nobody reads fails with an
// error that the caller handles. Set at a process's first write, the only call that could raise either.
bool IgnoreSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    return compat__sys::sigaction(SIGPIPE, &action, NULL) == 0 && compat__sys::sigaction(SIGXFSZ, &action, NULL) == 0;
}

} // namespace

int _open_osfhandle(intptr_t osfhandle, int)
{
    HANDLE hFile = reinterpret_cast<HANDLE>(osfhandle);
    if (hFile == INVALID_HANDLE_VALUE || hFile == NULL)
    {
        errno = EBADF;
        return -1;
    }
    return compat__descriptor_of(hFile);
}

// There is no text translation here: a line feed is stored as it is, the usual line end on this system.
int _write(int fd, const void* buffer, unsigned int count)
{
    static const bool s_bSignalsIgnored = IgnoreSignals();
    (void)s_bSignalsIgnored;
    const char* p = static_cast<const char*>(buffer);
    for (unsigned int nDone = 0; nDone < count;)
    {
        ssize_t cb = compat__sys::write(fd, p + nDone, count - nDone);
        if (cb < 0 && errno == EINTR)
            continue;
        if (cb <= 0)
            return -1;
        nDone += (unsigned int)cb;
    }
    return (int)count;
}

int _close(int fd)
{
    return compat__sys::close(fd);
}

int _commit(int fd)
{
    return compat__sys::fsync(fd);
}

int _setmbcp(int codepage)
{
    return codepage == _MB_CP_ANSI || codepage == CP_UTF8 ? 0 : -1;
}
