// Windows and messages: a table of headless windows, one posted-message queue, timers and default processing.
#include "window.h"

#include "seam.h"

#include <map>
#include <memory>

namespace compat_user {

namespace {

#define ERROR_INVALID_INDEX 1413

struct Timer
{
    HWND hWnd;
    UINT_PTR nId;
    UINT uElapse;
    TIMERPROC pfn;
    unsigned long long ullDue;
};

std::map<HWND, std::unique_ptr<Window>> g_windows;
std::vector<MSG> g_queue;  // posted messages, oldest first; never more than a few
std::vector<Timer> g_timers;
uintptr_t g_nNextHandle = 0x10000;

unsigned long long NowMs()
{
    struct timespec ts;
    compat__sys::clock_gettime(CLOCK_MONOTONIC, &ts);
    return (unsigned long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

Window* FindOrFail(HWND hWnd)
{
    Window* pWnd = Find(hWnd);
    if (pWnd == NULL)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return pWnd;
}

// For these messages a dialog procedure's own return value is the result, rather than DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    return message == WM_INITDIALOG || message == WM_QUERYDRAGICON || message == WM_COMPAREITEM ||
           message == WM_VKEYTOITEM || message == WM_CHARTOITEM ||
           (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

// What a dialog does with a message its procedure leaves alone: a close request becomes Cancel.
LRESULT DefaultDialogProcessing(Window& wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_CLOSE)
        return DefWindowProcA(wnd.hWnd, message, wParam, lParam);
    HWND hCancel = GetDlgItem(wnd.hWnd, IDCANCEL);
    if (hCancel == NULL || IsWindowEnabled(hCancel))
        PostMessageA(wnd.hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)hCancel);
    return 0;
}

LRESULT SendToDialog(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* pWnd = Find(hWnd);
    pWnd->lMsgResult = 0;
    INT_PTR nHandled = pWnd->pfnDlgProc(hWnd, message, wParam, lParam);
    // The procedure may have ended, or been told to forget, its window.
    pWnd = Find(hWnd);
    if (pWnd == NULL)
        return 0;
    if (!nHandled)
        return DefaultDialogProcessing(*pWnd, message, wParam, lParam);
    return ReturnsResultDirectly(message) ? nHandled : pWnd->lMsgResult;
}

} // namespace

Window* Find(HWND hWnd)
{
    auto it = g_windows.find(hWnd);
    return it != g_windows.end() ? it->second.get() : NULL;
}

HWND Create(HWND hParent, DWORD dwStyle, int nId)
{
    HWND hWnd = reinterpret_cast<HWND>(g_nNextHandle);
    g_nNextHandle += 4;
    std::unique_ptr<Window> pWnd(new Window);
    pWnd->hWnd = hWnd;
    pWnd->hParent = hParent;
    pWnd->dwStyle = dwStyle;
    pWnd->nId = nId;
    g_windows[hWnd] = std::move(pWnd);
    Window* pParent = Find(hParent);
    if (pParent != NULL && (dwStyle & WS_CHILD))
        pParent->children.push_back(hWnd);
    return hWnd;
}

void Destroy(HWND hWnd)
{
    Window* pWnd = Find(hWnd);
    if (pWnd == NULL)
        return;
    pWnd->dwStyle &= ~(DWORD)WS_VISIBLE;
    SendMessageA(hWnd, WM_DESTROY, 0, 0);
    SendMessageA(hWnd, WM_NCDESTROY, 0, 0);
    pWnd = Find(hWnd);
    std::vector<HWND> children = pWnd != NULL ? pWnd->children : std::vector<HWND>();
    for (HWND hChild : children)
        g_windows.erase(hChild);
    if (pWnd != NULL)
        DestroySystemMenu(*pWnd);
    g_windows.erase(hWnd);
    for (size_t i = g_timers.size(); i-- > 0;)
        if (g_timers[i].hWnd == hWnd)
            g_timers.erase(g_timers.begin() + i);
}

bool QueueEmpty()
{
    return g_queue.empty();
}

bool NextMessage(MSG& msg)
{
    while (!g_queue.empty())
    {
        msg = g_queue.front();
        g_queue.erase(g_queue.begin());
        if (msg.hwnd == NULL || Find(msg.hwnd) != NULL)
            return true;
    }
    if (g_timers.empty())
        return false;
    size_t nDue = 0;
    for (size_t i = 1; i < g_timers.size(); i++)
        if (g_timers[i].ullDue < g_timers[nDue].ullDue)
            nDue = i;
    unsigned long long ullNow = NowMs();
    if (g_timers[nDue].ullDue > ullNow)
    {
        unsigned long long ullWait = g_timers[nDue].ullDue - ullNow;
        struct timespec ts = { (time_t)(ullWait / 1000), (long)(ullWait % 1000) * 1000000 };
        compat__sys::nanosleep(&ts, NULL);
    }
    Timer& timer = g_timers[nDue];
    timer.ullDue = NowMs() + timer.uElapse;
    msg = MSG{ timer.hWnd, WM_TIMER, timer.nId, reinterpret_cast<LPARAM>(timer.pfn), 0, { 0, 0 } };
    return true;
}

} // namespace compat_user

using compat_user::Find;
using compat_user::FindOrFail;
using compat_user::Window;

BOOL WINAPI IsWindow(HWND hWnd)
{
    return Find(hWnd) != NULL;
}

BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    Window* pWnd = Find(hWnd);
    return pWnd != NULL && (pWnd->dwStyle & WS_VISIBLE);
}

BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    Window* pWnd = Find(hWnd);
    return pWnd != NULL && !(pWnd->dwStyle & WS_DISABLED);
}

// TRUE when the window was disabled before.
BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    Window* pWnd = FindOrFail(hWnd);
    if (pWnd == NULL)
        return FALSE;
    BOOL bWasDisabled = (pWnd->dwStyle & WS_DISABLED) != 0;
    pWnd->dwStyle = bEnable ? pWnd->dwStyle & ~(DWORD)WS_DISABLED : pWnd->dwStyle | WS_DISABLED;
    return bWasDisabled;
}

BOOL WINAPI IsIconic(HWND hWnd)
{
    Window* pWnd = Find(hWnd);
    return pWnd != NULL && (pWnd->dwStyle & WS_MINIMIZE);
}

// Whether the window was visible before.
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    Window* pWnd = FindOrFail(hWnd);
    if (pWnd == NULL)
        return FALSE;
    BOOL bWasVisible = (pWnd->dwStyle & WS_VISIBLE) != 0;
    if (nCmdShow == SW_MINIMIZE)
        pWnd->dwStyle |= WS_MINIMIZE;
    else if (nCmdShow == SW_RESTORE || nCmdShow == SW_SHOWNORMAL)
        pWnd->dwStyle &= ~(DWORD)WS_MINIMIZE;
    if (nCmdShow == SW_HIDE)
        pWnd->dwStyle &= ~(DWORD)WS_VISIBLE;
    else
        pWnd->dwStyle |= WS_VISIBLE;
    return bWasVisible;
}

// Only the owner of a window is known here.
HWND WINAPI GetWindow(HWND hWnd, UINT uCmd)
{
    Window* pWnd = FindOrFail(hWnd);
    if (pWnd == NULL || uCmd != GW_OWNER || (pWnd->dwStyle & WS_CHILD))
        return NULL;
    return pWnd->hParent;
}

// There is one thread with windows: every window that is not a child. The callback may destroy windows, so
// it walks a copy of the list.
BOOL WINAPI EnumThreadWindows(DWORD, WNDENUMPROC lpfn, LPARAM lParam)
{
    std::vector<HWND> windows;
    for (auto& entry : compat_user::g_windows)
        windows.push_back(entry.first);
    for (HWND hWnd : windows)
    {
        Window* pWnd = Find(hWnd);
        if (pWnd != NULL && !(pWnd->dwStyle & WS_CHILD) && !lpfn(hWnd, lParam))
            return FALSE;
    }
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    Window* pWnd = FindOrFail(hDlg);
    if (pWnd == NULL)
        return NULL;
    for (HWND hChild : pWnd->children)
        if (Find(hChild) != NULL && Find(hChild)->nId == nIDDlgItem)
            return hChild;
    SetLastError(1421 /* ERROR_CONTROL_ID_NOT_FOUND */);
    return NULL;
}

namespace {

LONG_PTR* DialogSlot(Window& wnd, int nIndex)
{
    if (wnd.pfnDlgProc == NULL)
        return NULL;
    if (nIndex == (int)DWLP_MSGRESULT)
        return &wnd.lMsgResult;
    if (nIndex == (int)DWLP_USER)
        return &wnd.lUser;
    return NULL;
}

} // namespace

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex)
{
    Window* pWnd = FindOrFail(hWnd);
    if (pWnd != NULL && nIndex == GWL_STYLE)
        return (LONG_PTR)pWnd->dwStyle;
    LONG_PTR* pSlot = pWnd != NULL ? DialogSlot(*pWnd, nIndex) : NULL;
    if (pWnd != NULL && pSlot == NULL)
        SetLastError(ERROR_INVALID_INDEX);
    return pSlot != NULL ? *pSlot : 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    Window* pWnd = FindOrFail(hWnd);
    if (pWnd != NULL && nIndex == GWL_STYLE)
    {
        DWORD dwOld = pWnd->dwStyle;
        pWnd->dwStyle = (DWORD)dwNewLong;
        return (LONG_PTR)dwOld;
    }
    LONG_PTR* pSlot = pWnd != NULL ? DialogSlot(*pWnd, nIndex) : NULL;
    if (pSlot == NULL)
    {
        if (pWnd != NULL)
            SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR lOld = *pSlot;
    *pSlot = dwNewLong;
    return lOld;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (hWnd != NULL && FindOrFail(hWnd) == NULL)
        return FALSE;
    compat_user::g_queue.push_back(MSG{ hWnd, Msg, wParam, lParam, 0, { 0, 0 } });
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window* pWnd = FindOrFail(hWnd);
    if (pWnd == NULL)
        return 0;
    if (pWnd->pfnDlgProc != NULL)
        return compat_user::SendToDialog(hWnd, Msg, wParam, lParam);
    return DefWindowProcA(hWnd, Msg, wParam, lParam);
}

namespace {

// A disabled window takes no system command, as in Windows; Close asks the window to close.
void DefaultSysCommand(HWND hWnd, WPARAM wParam)
{
    if (!IsWindowEnabled(hWnd))
        return;
    switch (wParam & 0xFFF0)
    {
    case SC_CLOSE:
        SendMessageA(hWnd, WM_CLOSE, 0, 0);
        break;
    case SC_MINIMIZE:
        ShowWindow(hWnd, SW_MINIMIZE);
        break;
    case SC_RESTORE:
        ShowWindow(hWnd, SW_RESTORE);
        break;
    }
}

// The previous icon of that size; ICON_SMALL2 asks for the small icon.
LRESULT SwapIcon(Window& wnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    HICON& hSlot = wParam == ICON_BIG ? wnd.hIconBig : wnd.hIconSmall;
    HICON hOld = hSlot;
    if (Msg == WM_SETICON && wParam != ICON_SMALL2)
        hSlot = reinterpret_cast<HICON>(lParam);
    return reinterpret_cast<LRESULT>(hOld);
}

} // namespace

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window* pWnd = FindOrFail(hWnd);
    if (pWnd == NULL)
        return 0;
    switch (Msg)
    {
    case WM_SYSCOMMAND:
        DefaultSysCommand(hWnd, wParam);
        return 0;
    case WM_SETICON:
    case WM_GETICON:
        return SwapIcon(*pWnd, Msg, wParam, lParam);
    case WM_PAINT:
    {
        // Nothing is drawn, but the window no longer needs painting.
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_ICONERASEBKGND:
        return 1;
    }
    return 0;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg)
{
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0)
    {
        TIMERPROC pfn = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        pfn(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, (DWORD)compat_user::NowMs());
        return 0;
    }
    return lpMsg->hwnd != NULL ? SendMessageA(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam) : 0;
}

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    if (hWnd != NULL && FindOrFail(hWnd) == NULL)
        return 0;
    KillTimer(hWnd, nIDEvent);
    compat_user::g_timers.push_back(
        compat_user::Timer{ hWnd, nIDEvent, uElapse, lpTimerFunc, compat_user::NowMs() + uElapse });
    return nIDEvent != 0 ? nIDEvent : 1;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    auto& timers = compat_user::g_timers;
    for (size_t i = 0; i < timers.size(); i++)
    {
        if (timers[i].hWnd == hWnd && timers[i].nId == uIDEvent)
        {
            timers.erase(timers.begin() + i);
            return TRUE;
        }
    }
    return FALSE;
}
