// Code pages. The ANSI code page of this build is the host's bytes: UTF-8 where they are, and each byte that is not
// carried as U+DC80 to U+DCFF, so that any file name converts back to its own bytes. UTF-8 itself is strict, as
// Windows' is: what does not convert becomes U+FFFD.
#pragma once

#include "windef.h"

#define CP_ACP 0
#define CP_UTF8 65001
// UTF-8 holds every character, so there is no best fit to refuse.
#define WC_NO_BEST_FIT_CHARS 0x00000400

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar);
