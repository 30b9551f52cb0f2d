// Stepping through multi-byte text in the ANSI code page, which is UTF-8 here.
#include <windows.h>

// A malformed sequence is stepped over a byte at a time, as its bytes are no one character.
LPSTR WINAPI CharNextA(LPCSTR lpsz)
{
    if (*lpsz == 0)
        return const_cast<LPSTR>(lpsz);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(lpsz) + 1;
    while ((*p & 0xC0) == 0x80 && (unsigned char)*lpsz >= 0xC0)
        ++p;
    return reinterpret_cast<LPSTR>(const_cast<unsigned char*>(p));
}
