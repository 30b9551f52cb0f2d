// The Microsoft C runtime's file and formatting calls over their POSIX equivalents, and the split command line.
#include <windows.h>

#include <errno.h>
#include <io.h>
#include <mbctype.h>
#include <process.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "internal.h"
#include "seam.h"

int __argc = 0;
char** __argv = NULL;

namespace {

// Made once, as the runtime makes them, and kept to the end with the pointers handed out, a null one last.
std::vector<std::u16string> s_wideArgs;
std::vector<WCHAR*> s_wideArgv;
WCHAR* s_noEnvironment[] = { NULL };

} // namespace

// Decoded by the ANSI code page's own conversion, so that any bytes, invalid UTF-8 too, convert back to what
// the program was given. Nothing here reads the environment through it.
int __wgetmainargs(int* pArgc, WCHAR*** pWargv, WCHAR*** pWenv, int, _startupinfo*)
{
    if (s_wideArgv.empty())
    {
        for (int i = 0; i < __argc; i++)
        {
            std::u16string arg(MultiByteToWideChar(CP_ACP, 0, __argv[i], -1, NULL, 0), 0);
            MultiByteToWideChar(CP_ACP, 0, __argv[i], -1, &arg[0], (int)arg.size());
            s_wideArgs.push_back(arg);
        }
        for (std::u16string& arg : s_wideArgs)
            s_wideArgv.push_back(&arg[0]);
        s_wideArgv.push_back(NULL);
    }
    *pArgc = __argc;
    *pWargv = s_wideArgv.data();
    *pWenv = s_noEnvironment;
    return 0;
}

namespace {

struct ThreadStart
{
    void (*pfnStart)(void*);
    void* pv;
};

void* RunThread(void* pv)
{
    ThreadStart start = *static_cast<ThreadStart*>(pv);
    free(pv);
    start.pfnStart(start.pv);
    return NULL;
}

} // namespace

// pthread_create reports its failure as its result, not in errno.
uintptr_t _beginthread(void (*start_address)(void*), unsigned, void* arglist)
{
    ThreadStart* pStart = static_cast<ThreadStart*>(malloc(sizeof(ThreadStart)));
    pthread_t thread;
    if (pStart == NULL)
        return (uintptr_t)-1;
    *pStart = ThreadStart{ start_address, arglist };
    if (compat__sys::pthread_create(&thread, NULL, RunThread, pStart) != 0)
    {
        free(pStart);
        return (uintptr_t)-1;
    }
    compat__sys::pthread_detach(thread);
    return (uintptr_t)thread;
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
