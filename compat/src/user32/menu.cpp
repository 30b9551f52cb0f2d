// Menus: popup menus made by the program, and each window's own copy of the system menu.
#include "window.h"

#include <string.h>

#include <map>
#include <memory>
#include <string>

namespace {

#define ERROR_INVALID_MENU_HANDLE 1401

struct MenuItem
{
    UINT uFlags;
    UINT_PTR uId;
    std::string text;
};

struct Menu
{
    std::vector<MenuItem> items;
};

std::map<HMENU, std::unique_ptr<Menu>> g_menus;
uintptr_t g_nNextMenu = 0x20000;

Menu* FindMenu(HMENU hMenu)
{
    auto it = g_menus.find(hMenu);
    if (it != g_menus.end())
        return it->second.get();
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return NULL;
}

// The item a position or a command names; NULL when there is none.
MenuItem* FindItem(HMENU hMenu, UINT uItem, UINT uFlags)
{
    Menu* pMenu = FindMenu(hMenu);
    if (pMenu == NULL)
        return NULL;
    if (uFlags & MF_BYPOSITION)
        return uItem < pMenu->items.size() ? &pMenu->items[uItem] : NULL;
    for (MenuItem& item : pMenu->items)
        if (!(item.uFlags & MF_SEPARATOR) && item.uId == uItem)
            return &item;
    return NULL;
}

// What the system puts in every window's system menu.
void AddSystemItems(HMENU hMenu)
{
    AppendMenuA(hMenu, MF_STRING, SC_RESTORE, "&Restore");
    AppendMenuA(hMenu, MF_STRING, SC_MOVE, "&Move");
    AppendMenuA(hMenu, MF_STRING, SC_SIZE, "&Size");
    AppendMenuA(hMenu, MF_STRING, SC_MINIMIZE, "Mi&nimize");
    AppendMenuA(hMenu, MF_STRING, SC_MAXIMIZE, "Ma&ximize");
    AppendMenuA(hMenu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(hMenu, MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
}

} // namespace

namespace compat_user {

HMENU SystemMenu(Window& wnd)
{
    if (wnd.hSysMenu == NULL)
    {
        wnd.hSysMenu = CreatePopupMenu();
        AddSystemItems(wnd.hSysMenu);
    }
    return wnd.hSysMenu;
}

void DestroySystemMenu(Window& wnd)
{
    if (wnd.hSysMenu != NULL)
        DestroyMenu(wnd.hSysMenu);
    wnd.hSysMenu = NULL;
}

} // namespace compat_user

HMENU WINAPI CreatePopupMenu()
{
    HMENU hMenu = reinterpret_cast<HMENU>(g_nNextMenu);
    g_nNextMenu += 4;
    g_menus[hMenu].reset(new Menu);
    return hMenu;
}

BOOL WINAPI DestroyMenu(HMENU hMenu)
{
    if (FindMenu(hMenu) == NULL)
        return FALSE;
    g_menus.erase(hMenu);
    return TRUE;
}

BOOL WINAPI IsMenu(HMENU hMenu)
{
    return g_menus.count(hMenu) != 0;
}

// Reverting throws the window's copy away and gives NULL; a window without the system-menu style has none.
HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert)
{
    compat_user::Window* pWnd = compat_user::Find(hWnd);
    if (pWnd == NULL)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    if (bRevert)
    {
        compat_user::DestroySystemMenu(*pWnd);
        return NULL;
    }
    return (pWnd->dwStyle & WS_SYSMENU) ? compat_user::SystemMenu(*pWnd) : NULL;
}

// Strings and separators only: this program builds no submenus or pictures.
BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem)
{
    Menu* pMenu = FindMenu(hMenu);
    if (pMenu == NULL)
        return FALSE;
    if (uFlags & (MF_POPUP | MF_BITMAP | MF_OWNERDRAW))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool bSeparator = (uFlags & MF_SEPARATOR) != 0;
    pMenu->items.push_back(MenuItem{ uFlags, bSeparator ? 0 : uIDNewItem,
                                     bSeparator || lpNewItem == NULL ? "" : lpNewItem });
    return TRUE;
}

int WINAPI GetMenuItemCount(HMENU hMenu)
{
    Menu* pMenu = FindMenu(hMenu);
    return pMenu != NULL ? (int)pMenu->items.size() : -1;
}

UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos)
{
    MenuItem* pItem = nPos >= 0 ? FindItem(hMenu, (UINT)nPos, MF_BYPOSITION) : NULL;
    return pItem != NULL ? (UINT)pItem->uId : (UINT)-1;
}

// The item's flags as they were given, or -1 when there is no such item.
UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags)
{
    MenuItem* pItem = FindItem(hMenu, uId, uFlags);
    return pItem != NULL ? pItem->uFlags & ~(UINT)MF_BYPOSITION : (UINT)-1;
}

// The length copied, cut to the buffer; without a buffer, the whole length.
int WINAPI GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags)
{
    MenuItem* pItem = FindItem(hMenu, uIDItem, flags);
    if (lpString != NULL && cchMax > 0)
        lpString[0] = 0;
    if (pItem == NULL)
        return 0;
    int nLength = (int)pItem->text.size();
    if (lpString == NULL)
        return nLength;
    if (cchMax <= 0)
        return 0;
    int nCopy = nLength < cchMax - 1 ? nLength : cchMax - 1;
    memcpy(lpString, pItem->text.data(), nCopy);
    lpString[nCopy] = 0;
    return nCopy;
}
