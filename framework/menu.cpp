// Menus: an owning wrapper, and the borrowed wrappers handed out for menus the system owns.
#include "framework/afxwin.h"

#include <new>

namespace {

// A borrowed wrapper lives as long as the process, as callers may keep what FromHandle gave them, and is never
// destroyed, so it never destroys its menu. It is found by the menu it holds now.
struct AFX_BORROWED_MENU
{
    CMenu menu;
    AFX_BORROWED_MENU* pNext;
};

AFX_BORROWED_MENU* afx_pBorrowedMenus = NULL;

} // namespace

CMenu::CMenu()
    : m_hMenu(NULL)
{
}

CMenu::~CMenu()
{
    DestroyMenu();
}

// NULL also when no wrapper can be made for want of memory: the caller then goes without the menu.
CMenu* CMenu::FromHandle(HMENU hMenu)
{
    if (hMenu == NULL)
        return NULL;
    for (AFX_BORROWED_MENU* pBorrowed = afx_pBorrowedMenus; pBorrowed != NULL; pBorrowed = pBorrowed->pNext)
        if (pBorrowed->menu.m_hMenu == hMenu)
            return &pBorrowed->menu;
    void* pMemory = AfxAlloc(sizeof(AFX_BORROWED_MENU));
    if (pMemory == NULL)
        return NULL;
    AFX_BORROWED_MENU* pBorrowed = new (pMemory) AFX_BORROWED_MENU;
    pBorrowed->menu.m_hMenu = hMenu;
    pBorrowed->pNext = afx_pBorrowedMenus;
    afx_pBorrowedMenus = pBorrowed;
    return &pBorrowed->menu;
}

// Fails when the object already holds a menu or is given none.
BOOL CMenu::Attach(HMENU hNewMenu)
{
    if (m_hMenu != NULL || hNewMenu == NULL)
        return FALSE;
    m_hMenu = hNewMenu;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU hMenu = m_hMenu;
    m_hMenu = NULL;
    return hMenu;
}

BOOL CMenu::DestroyMenu()
{
    if (m_hMenu == NULL)
        return FALSE;
    return ::DestroyMenu(Detach());
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}
