// What msvcrt exports that mingw-w64's public headers leave undeclared; elsewhere compat's header of this name has it.
#pragma once

#include <windows.h>

extern "C" {

typedef struct
{
    int newmode;
} _startupinfo;

// The runtime's split of the UTF-16 command line, by the rules it splits the ANSI one by.
int __cdecl __wgetmainargs(int* pArgc, WCHAR*** pWargv, WCHAR*** pWenv, int nDoWildCard, _startupinfo* pStartInfo);

}
