// Painting and geometry of headless windows: nothing reaches a screen, but tests can see what was drawn.
#include "window.h"

#include "compat/user_probe.h"

#include <map>

namespace {

struct PaintDc
{
    HWND hWnd;
};

std::map<HDC, PaintDc> g_paintDcs;
uintptr_t g_nNextDc = 0x30000;
// The last icon drawn in each window, for tests to read back.
std::map<HWND, std::pair<HICON, POINT>> g_lastIcons;

RECT ClientRect(const compat_user::Window& wnd)
{
    return RECT{ 0, 0, wnd.cx, wnd.cy };
}

} // namespace

int WINAPI GetSystemMetrics(int nIndex)
{
    switch (nIndex)
    {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    }
    return 0;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    compat_user::Window* pWnd = compat_user::Find(hWnd);
    if (pWnd == NULL || lpRect == NULL)
    {
        SetLastError(pWnd == NULL ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpRect = ClientRect(*pWnd);
    return TRUE;
}

// Only size and visibility are kept: a headless window has no place on a screen.
BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int, int, int cx, int cy, UINT uFlags)
{
    compat_user::Window* pWnd = compat_user::Find(hWnd);
    if (pWnd == NULL)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!(uFlags & SWP_NOSIZE))
    {
        pWnd->cx = cx > 0 ? cx : 0;
        pWnd->cy = cy > 0 ? cy : 0;
    }
    if (uFlags & SWP_SHOWWINDOW)
        pWnd->dwStyle |= WS_VISIBLE;
    if (uFlags & SWP_HIDEWINDOW)
        pWnd->dwStyle &= ~(DWORD)WS_VISIBLE;
    return TRUE;
}

// The whole window or nothing: there are no partial update regions here.
BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL)
{
    compat_user::Window* pWnd = compat_user::Find(hWnd);
    if (pWnd == NULL)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    pWnd->bInvalid = true;
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL)
{
    compat_user::Window* pWnd = compat_user::Find(hWnd);
    bool bInvalid = pWnd != NULL && pWnd->bInvalid;
    if (lpRect != NULL)
        *lpRect = bInvalid ? ClientRect(*pWnd) : RECT{ 0, 0, 0, 0 };
    return bInvalid;
}

// Paints the window at once if it needs painting.
BOOL WINAPI UpdateWindow(HWND hWnd)
{
    compat_user::Window* pWnd = compat_user::Find(hWnd);
    if (pWnd == NULL)
        return FALSE;
    if (pWnd->bInvalid)
        SendMessageA(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    compat_user::Window* pWnd = compat_user::Find(hWnd);
    if (pWnd == NULL || lpPaint == NULL)
    {
        SetLastError(pWnd == NULL ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return NULL;
    }
    *lpPaint = PAINTSTRUCT();
    lpPaint->rcPaint = pWnd->bInvalid ? ClientRect(*pWnd) : RECT{ 0, 0, 0, 0 };
    lpPaint->fErase = pWnd->bInvalid;
    pWnd->bInvalid = false;
    HDC hDC = reinterpret_cast<HDC>(g_nNextDc);
    g_nNextDc += 4;
    g_paintDcs[hDC] = PaintDc{ hWnd };
    lpPaint->hdc = hDC;
    return hDC;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* lpPaint)
{
    if (lpPaint == NULL)
        return FALSE;
    g_paintDcs.erase(lpPaint->hdc);
    return TRUE;
}

BOOL WINAPI DrawIcon(HDC hDC, int x, int y, HICON hIcon)
{
    auto it = g_paintDcs.find(hDC);
    if (it == g_paintDcs.end() || hIcon == NULL)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    g_lastIcons[it->second.hWnd] = std::make_pair(hIcon, POINT{ x, y });
    return TRUE;
}

BOOL compat_user_take_drawn_icon(HWND hWnd, HICON* phIcon, POINT* pPoint)
{
    auto it = g_lastIcons.find(hWnd);
    if (it == g_lastIcons.end())
        return FALSE;
    *phIcon = it->second.first;
    *pPoint = it->second.second;
    g_lastIcons.erase(it);
    return TRUE;
}
