// The Microsoft C runtime's names that POSIX spells differently: formatting and the split command line.
#pragma once

#include <stdarg.h>
#include <stddef.h>

#include "windef.h"

// Like vsnprintf; the text is cut off, and the size it needs returned, when it does not fit.
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args);

// The length the text would have, without its terminator; -1 when it cannot be formatted.
int _vscprintf(const char* format, va_list args);

// The arguments of the program, as the runtime split them before WinMain.
extern int __argc;
extern char** __argv;

typedef struct
{
    int newmode;
} _startupinfo;

// The same arguments in UTF-16, each decoded as MultiByteToWideChar decodes ANSI text; the environment is
// given empty.
int __wgetmainargs(int* pArgc, WCHAR*** pWargv, WCHAR*** pWenv, int nDoWildCard, _startupinfo* pStartInfo);
