// The runtime's multi-byte code page: this build's only one is the ANSI code page, UTF-8.
#pragma once

#define _MB_CP_ANSI (-3)

int _setmbcp(int codepage);
