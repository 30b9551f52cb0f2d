// The program's entry point: multi-byte text follows the ANSI code page, then the framework takes over.
#include "framework/afxwin.h"

#include <mbctype.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    _setmbcp(_MB_CP_ANSI);
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
