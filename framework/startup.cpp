// Tavlen.exe's own start in place of the runtime's: only the steps the program relies on, in a fraction of the bytes.
#include <windows.h>

#include <stdlib.h>

extern "C" {

// msvcrt's own start-up calls, which only the runtime's sources declare.
void __cdecl __set_app_type(int nAppType);

// GNU ld lays each list out as -1, the functions, then 0.
extern void (*__CTOR_LIST__[])();
extern void (*__DTOR_LIST__[])();

// GCC registers each static object's destructor here as it constructs it. msvcrt's exit() runs what _onexit
// holds, last registered first.
int __cdecl atexit(void(__cdecl* pfnAtExit)())
{
    return _onexit(reinterpret_cast<_onexit_t>(pfnAtExit)) != NULL ? 0 : -1;
}

} // extern "C"

namespace {

// msvcrt's _GUI_APP: a run-time error is shown in a message box, as the program has no console to print it to.
const int kGuiApp = 2;

void __cdecl RunDestructorList()
{
    for (void (**ppfn)() = __DTOR_LIST__ + 1; *ppfn != NULL; ++ppfn)
        (*ppfn)();
}

// Last to first, as the runtime runs them; then the destructor list goes on the atexit list, where it puts it.
void RunConstructorList()
{
    void (**ppfn)() = __CTOR_LIST__ + 1;
    while (*ppfn != NULL)
        ++ppfn;
    while (--ppfn != __CTOR_LIST__)
        (*ppfn)();
    atexit(RunDestructorList);
}

// A byte past 0x7F belongs to a name (an accented folder in the program's path), so bytes compare unsigned.
bool IsBlank(char ch)
{
    return ch != 0 && static_cast<unsigned char>(ch) <= ' ';
}

// What WinMain gets: the line past the program's name, quoted or not, and past the blanks after it.
LPSTR CommandLineAfterProgramName()
{
    LPSTR pch = ::GetCommandLineA();
    bool bQuoted = false;
    for (; *pch != 0 && (bQuoted || !IsBlank(*pch)); ++pch)
    {
        if (*pch == '"')
            bQuoted = !bQuoted;
    }
    while (IsBlank(*pch))
        ++pch;
    return pch;
}

int ShowCommand()
{
    STARTUPINFOA startup;
    ::GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
}

} // namespace

// The linker's entry for a GUI program. The rest of the runtime's start serves what Tavlen does not do: the
// pseudo-relocations (data from a DLL without its import declaration fails to link instead), thread-local data
// and the runtime's initialiser tables (the image check finds none), the exception filter that turns faults into
// signals (no signal handler is set), the FPU reset (no floating point) and the stack realignment (the 32-bit
// build emits no SSE). exit() never returns: it runs the atexit list and flushes msvcrt's streams.
extern "C" void WinMainCRTStartup()
{
    __set_app_type(kGuiApp);
    RunConstructorList();
    exit(WinMain(::GetModuleHandleA(NULL), NULL, CommandLineAfterProgramName(), ShowCommand()));
}
