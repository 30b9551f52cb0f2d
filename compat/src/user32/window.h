// Inside user32: the windows of this process, its one message queue, and dispatch to dialog procedures.
#pragma once

#include <windows.h>

#include <vector>

namespace compat_user {

struct Window
{
    HWND hWnd = NULL;
    HWND hParent = NULL;
    DWORD dwStyle = 0;
    int nId = 0;
    // Set for dialogs: their procedure, and the two values a dialog keeps for it.
    DLGPROC pfnDlgProc = NULL;
    LONG_PTR lMsgResult = 0;
    LONG_PTR lUser = 0;
    bool bEnded = false;
    INT_PTR nResult = 0;
    std::vector<HWND> children;
    // Headless windows have no frame: the client area is the whole window.
    int cx = 0, cy = 0;
    HICON hIconBig = NULL, hIconSmall = NULL;
    HMENU hSysMenu = NULL;
    bool bInvalid = false;
};

// NULL when the handle names no window (any more).
Window* Find(HWND hWnd);
// A child when the style says so; otherwise hParent is the owner.
HWND Create(HWND hParent, DWORD dwStyle, int nId);
// Sends WM_DESTROY and WM_NCDESTROY, then forgets the window, its children, timers and queued messages.
void Destroy(HWND hWnd);

bool QueueEmpty();

// The window's own copy of the system menu, made on first use; destroyed with the window.
HMENU SystemMenu(Window& wnd);
void DestroySystemMenu(Window& wnd);

// Takes the next message for the modal loop: a posted one, else a due timer's, waiting for it; false when
// nothing can ever arrive, as no window here gets input.
bool NextMessage(MSG& msg);

} // namespace compat_user
