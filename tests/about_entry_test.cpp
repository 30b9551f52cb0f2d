// The collector dialog's own initialisation: it adds the About entry only when there is a text for it, and
// sets the icons either way. Built once with each resource set: TAVLEN_ABOUT_TEXT says whether it has the text.
#include "collector/InventoryDlg.h"

#include <gtest/gtest.h>

#include <string.h>

#include "fake_wbem.h"

namespace {

// What the full initialisation left on the window, read before its queued close ends it.
class CInitialisedDlg : public CInventoryDlg
{
public:
    using CInventoryDlg::m_hIcon;
    int m_nItems = -1, m_nDefaultItems = -1;
    UINT m_nSeparatorState = 0, m_nLastId = 0, m_nAboutState = 0;
    CString m_strAboutText;
    LRESULT m_lBigIcon = 0, m_lSmallIcon = 0, m_lDragIcon = 0;

protected:
    BOOL OnInitDialog() override
    {
        BOOL bResult = CInventoryDlg::OnInitDialog();
        HMENU hMenu = ::GetSystemMenu(m_hWnd, FALSE);
        m_nItems = ::GetMenuItemCount(hMenu);
        if (m_nItems >= 2)
        {
            m_nSeparatorState = ::GetMenuState(hMenu, m_nItems - 2, MF_BYPOSITION);
            m_nLastId = ::GetMenuItemID(hMenu, m_nItems - 1);
        }
        m_nAboutState = ::GetMenuState(hMenu, IDM_ABOUTBOX, MF_BYCOMMAND);
        char szText[256] = "";
        ::GetMenuStringA(hMenu, IDM_ABOUTBOX, szText, sizeof(szText), MF_BYCOMMAND);
        m_strAboutText = szText;
        // Reverting gives the menu as the system makes it, to count what was added.
        ::GetSystemMenu(m_hWnd, TRUE);
        m_nDefaultItems = ::GetMenuItemCount(::GetSystemMenu(m_hWnd, FALSE));
        m_lBigIcon = SendMessage(WM_GETICON, ICON_BIG);
        m_lSmallIcon = SendMessage(WM_GETICON, ICON_SMALL);
        m_lDragIcon = SendMessage(WM_QUERYDRAGICON);
        return bResult;
    }
};

TEST(AboutEntry, InitialisationSetsUpTheSystemMenuAndTheIcons)
{
    fake_wbem::FillTypicalMachine(fake_wbem::Install());
    CInitialisedDlg dlg;
    EXPECT_EQ(IDCANCEL, dlg.DoModal()) << "the chrome must not keep the run from ending";
    fake_wbem::Uninstall();

    ASSERT_GT(dlg.m_nDefaultItems, 0) << "the dialog has a system menu of its own";
    CString strText;
    if (TAVLEN_ABOUT_TEXT)
    {
        ASSERT_TRUE(strText.LoadString(IDS_ABOUTBOX));
        EXPECT_NE(nullptr, strstr(strText, "(&A)...")) << "the entry keeps its access key";
        EXPECT_EQ(dlg.m_nDefaultItems + 2, dlg.m_nItems);
        EXPECT_TRUE(dlg.m_nSeparatorState & MF_SEPARATOR);
        EXPECT_EQ(UINT(IDM_ABOUTBOX), dlg.m_nLastId);
        EXPECT_STREQ(strText, dlg.m_strAboutText);
    }
    else
    {
        EXPECT_FALSE(strText.LoadString(IDS_ABOUTBOX));
        EXPECT_EQ(dlg.m_nDefaultItems, dlg.m_nItems) << "neither a separator nor an entry";
        EXPECT_EQ(UINT(-1), dlg.m_nAboutState);
    }

    ASSERT_NE(nullptr, dlg.m_hIcon) << "the program's icon must load";
    EXPECT_EQ(reinterpret_cast<LRESULT>(dlg.m_hIcon), dlg.m_lBigIcon);
    EXPECT_EQ(reinterpret_cast<LRESULT>(dlg.m_hIcon), dlg.m_lSmallIcon);
    EXPECT_EQ(reinterpret_cast<LRESULT>(dlg.m_hIcon), dlg.m_lDragIcon);
}

} // namespace
