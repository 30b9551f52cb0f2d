// What tests may ask of the stand-in user interface, where Windows would show it on the screen instead.
#pragma once

#include <windows.h>

// The icon last drawn in the window and where, forgotten once taken; FALSE when none was drawn since.
BOOL compat_user_take_drawn_icon(HWND hWnd, HICON* phIcon, POINT* pPoint);

// The help file and command of the last help request and the window it was made for, forgotten once taken;
// NULL when none was made since. The text stays until the next request.
LPCSTR compat_user_take_help_request(HWND* phWnd, UINT* puCommand);
