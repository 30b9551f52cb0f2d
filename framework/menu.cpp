// Menus: an owning wrapper, and the borrowed wrappers handed out for menus the system owns.
#include "framework/afxwin.h"

#include <new>

namespace {

// A borrowed wrapper is made for one menu and never destroys it. It stands for that menu while the menu exists
// and the wrapper still holds it; once the menu is destroyed, or the wrapper detached or attached, it expires,
// and the next menu borrowed takes its place, so the wrappers never outnumber the menus borrowed at once.
struct AFX_BORROWED_MENU
{
    CMenu menu;
    HMENU hMenu;  // the menu it was made for
    AFX_BORROWED_MENU* pNext;

    bool IsLive() const { return menu.m_hMenu == hMenu && ::IsMenu(hMenu); }
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
    AFX_BORROWED_MENU* pExpired = NULL;
    for (AFX_BORROWED_MENU* pBorrowed = afx_pBorrowedMenus; pBorrowed != NULL; pBorrowed = pBorrowed->pNext)
    {
        bool bLive = pBorrowed->IsLive();
        if (bLive && pBorrowed->hMenu == hMenu)
            return &pBorrowed->menu;
        if (!bLive && pExpired == NULL)
            pExpired = pBorrowed;
    }
    AFX_BORROWED_MENU* pBorrowed = pExpired;
    if (pBorrowed == NULL)
    {
        void* pMemory = AfxAlloc(sizeof(AFX_BORROWED_MENU));
        if (pMemory == NULL)
            return NULL;
        pBorrowed = new (pMemory) AFX_BORROWED_MENU;
        pBorrowed->pNext = afx_pBorrowedMenus;
        afx_pBorrowedMenus = pBorrowed;
    }
    pBorrowed->hMenu = pBorrowed->menu.m_hMenu = hMenu;
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
