// Menus: an owning wrapper, and the borrowed wrappers handed out for menus the system owns.
#include "afxwin.h"

#include <map>
#include <memory>

namespace {

// Borrowed wrappers live as long as the process and let go of their menus before they are deleted.
class CBorrowedMenus
{
public:
    ~CBorrowedMenus()
    {
        for (auto& entry : m_menus)
            entry.second->Detach();
    }

    CMenu* Lend(HMENU hMenu)
    {
        std::unique_ptr<CMenu>& pMenu = m_menus[hMenu];
        if (pMenu == nullptr)
        {
            pMenu.reset(new CMenu);
            pMenu->m_hMenu = hMenu;
        }
        return pMenu.get();
    }

private:
    std::map<HMENU, std::unique_ptr<CMenu>> m_menus;
};

} // namespace

CMenu::CMenu()
    : m_hMenu(NULL)
{
}

CMenu::~CMenu()
{
    DestroyMenu();
}

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    if (hMenu == NULL)
        return NULL;
    static CBorrowedMenus s_borrowed;
    return s_borrowed.Lend(hMenu);
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
