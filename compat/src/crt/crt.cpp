// The Microsoft C runtime's file and formatting calls, over their POSIX equivalents.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <mbctype.h>
#include <stdio.h>
#include <unistd.h>

int __argc = 0;
char** __argv = NULL;

int _vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    return vsnprintf(buffer, count, format, args);
}

// There is no text translation here: a line feed is stored as it is, the usual line end on this system.
int _open(const char* filename, int oflag, int pmode)
{
    static const struct
    {
        int nOurs;
        int nPosix;
    } kFlags[] = { { _O_WRONLY, O_WRONLY }, { _O_RDWR, O_RDWR }, { _O_APPEND, O_APPEND },
                   { _O_CREAT, O_CREAT },   { _O_TRUNC, O_TRUNC }, { _O_EXCL, O_EXCL } };
    int nPosix = O_CLOEXEC;
    for (const auto& flag : kFlags)
        if (oflag & flag.nOurs)
            nPosix |= flag.nPosix;
    return open(filename, nPosix, (mode_t)pmode);
}

int _close(int fd)
{
    return close(fd);
}

int _commit(int fd)
{
    return fsync(fd);
}

FILE* _fdopen(int fd, const char* mode)
{
    return fdopen(fd, mode);
}

int _fileno(FILE* stream)
{
    return fileno(stream);
}

int _setmbcp(int codepage)
{
    return codepage == _MB_CP_ANSI || codepage == CP_UTF8 ? 0 : -1;
}
