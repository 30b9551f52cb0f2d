// The collector dialog's furniture: its system menu's About entry, the About box, its icons and its minimised look.
#include "ui/AboutDlg.h"
#include "collector/InventoryDlg.h"

#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <vector>

#include "test_util.h"

namespace {

const UINT WM_RUN_SCENARIO = WM_APP + 1;
const UINT_PTR kAboutWatchTimer = 2;  // timer 1 is the watchdog's
// The solid magenta icon of this test program's own resources.
const UINT kSolidIconId = 0x7A60;

// Each system command of the scenarios below is sent while the collector dialog is running, enabled.
class CChromeDlg : public CInventoryDlg
{
public:
    typedef std::function<void(CChromeDlg&)> Scenario;

    INT_PTR Run(Scenario scenario)
    {
        m_scenario = scenario;
        // The program's application object is linked in: the About box belongs to its main window, and the
        // commands the dialog leaves go on to it.
        AfxGetApp()->m_pMainWnd = this;
        INT_PTR nResult = DoModal();
        AfxGetApp()->m_pMainWnd = NULL;
        return nResult;
    }

    using CInventoryDlg::m_hIcon;
    int m_nCancels = 0, m_nIconErases = 0;
    HDC m_hEraseDc = NULL;
    LPARAM m_lEraseParam = -1;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetUpChrome();
        tavlen_test::StartWatchdog(m_hWnd);
        ::EnableWindow(m_hWnd, TRUE);
        PostMessage(WM_RUN_SCENARIO);
        return TRUE;
    }

    LRESULT OnRunScenario(WPARAM, LPARAM)
    {
        m_scenario(*this);
        // Queued, so that whatever the scenario queued comes first and may end the dialog otherwise.
        PostMessage(WM_COMMAND, IDOK);
        return 0;
    }

    LRESULT OnIconEraseBkgnd(WPARAM wParam, LPARAM lParam)
    {
        ++m_nIconErases;
        m_hEraseDc = reinterpret_cast<HDC>(wParam);
        m_lEraseParam = lParam;
        return Default();
    }

    // Windows gives a minimised window no client area; here it keeps the whole window, so that painting
    // it minimised has room to show where the icon goes.
    LRESULT OnNcCalcSize(WPARAM, LPARAM)
    {
        if (!IsIconic())
            Default();
        return 0;
    }

    void OnCancel() override { ++m_nCancels; CInventoryDlg::OnCancel(); }

private:
    Scenario m_scenario;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CChromeDlg, CInventoryDlg)
    ON_MESSAGE(WM_RUN_SCENARIO, CChromeDlg::OnRunScenario)
    ON_MESSAGE(WM_ICONERASEBKGND, CChromeDlg::OnIconEraseBkgnd)
    ON_MESSAGE(WM_NCCALCSIZE, CChromeDlg::OnNcCalcSize)
END_MESSAGE_MAP()

// Ends the About box from inside its modal loop, noting what it found on the way.
struct AboutWatch
{
    HWND hCollector = NULL;
    std::vector<HWND> seen;
    HWND hOwner = NULL;
    bool bCollectorEnabled = true;
};
AboutWatch g_watch;

// The About box is the only other window of the thread with an OK and no Cancel button.
BOOL CALLBACK FindAboutBox(HWND hWnd, LPARAM lParam)
{
    if (hWnd == g_watch.hCollector || ::GetDlgItem(hWnd, IDOK) == NULL || ::GetDlgItem(hWnd, IDCANCEL) != NULL)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

void CALLBACK CloseAboutBox(HWND hWnd, UINT, UINT_PTR, DWORD)
{
    HWND hAbout = NULL;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindAboutBox, reinterpret_cast<LPARAM>(&hAbout));
    if (hAbout == NULL)
        return;
    ::KillTimer(hWnd, kAboutWatchTimer);
    g_watch.seen.push_back(hAbout);
    g_watch.hOwner = ::GetWindow(hAbout, GW_OWNER);
    g_watch.bCollectorEnabled = ::IsWindowEnabled(g_watch.hCollector) != FALSE;
    ::PostMessageA(hAbout, WM_COMMAND, IDOK, 0);
}

// Sends a system command with the watch running; true when it opened an About box that has closed again.
bool SysCommandOpenedAbout(CChromeDlg& dlg, UINT nID)
{
    g_watch = AboutWatch();
    g_watch.hCollector = dlg.m_hWnd;
    ::SetTimer(dlg.m_hWnd, kAboutWatchTimer, 20, &CloseAboutBox);
    dlg.SendMessage(WM_SYSCOMMAND, nID);
    ::KillTimer(dlg.m_hWnd, kAboutWatchTimer);
    return g_watch.seen.size() == 1 && !::IsWindow(g_watch.seen[0]);
}

TEST(Chrome, AboutCommandsOpenTheAboutBoxModallyAndReturn)
{
    CChromeDlg dlg;
    INT_PTR nResult = dlg.Run([](CChromeDlg& self) {
        for (UINT nID = 0x10; nID <= 0x1F; nID++)
        {
            EXPECT_TRUE(SysCommandOpenedAbout(self, nID)) << "command " << nID;
            EXPECT_EQ(self.m_hWnd, g_watch.hOwner) << "command " << nID;
            EXPECT_FALSE(g_watch.bCollectorEnabled) << "the About box is modal";
            EXPECT_TRUE(::IsWindowEnabled(self.m_hWnd)) << "closing it gives the collector dialog back";
        }
    });
    EXPECT_EQ(IDOK, nResult) << "the collector dialog runs on after each About box";
}

TEST(Chrome, OtherSystemCommandsGetDefaultProcessing)
{
    CChromeDlg dlg;
    INT_PTR nResult = dlg.Run([](CChromeDlg& self) {
        // The neighbours of the About range, and commands whose low bits would match it.
        for (UINT nID : { 0x0Fu, 0x20u, 0x110u, 0xF010u + 0x10u })
            EXPECT_FALSE(SysCommandOpenedAbout(self, nID)) << "command " << nID;
        EXPECT_FALSE(SysCommandOpenedAbout(self, SC_MINIMIZE));
        EXPECT_TRUE(self.IsIconic());
        EXPECT_FALSE(SysCommandOpenedAbout(self, SC_RESTORE));
        EXPECT_FALSE(self.IsIconic());
        EXPECT_EQ(0, self.m_nCancels);
        EXPECT_FALSE(SysCommandOpenedAbout(self, SC_CLOSE));
    });
    EXPECT_EQ(IDCANCEL, nResult) << "the system's Close cancels the dialog";
    EXPECT_EQ(1, dlg.m_nCancels);
}

// The help command, which the collector dialog leaves, reaches the application's help: the program's help file
// beside it, on the dialog's behalf. A command no one handles reaches no help.
TEST(Chrome, TheHelpCommandReachesTheApplication)
{
    char szHelpFile[MAX_PATH];
    ASSERT_NE(0u, ::GetModuleFileNameA(NULL, szHelpFile, MAX_PATH));
    strcpy(AfxFindExtension(szHelpFile), ".HLP");
    HWND hWnd = NULL;
    UINT uCommand = 0;
    ASSERT_EQ("", tavlen_test::TakeHelpRequest(&hWnd, &uCommand));
    CChromeDlg dlg;
    INT_PTR nResult = dlg.Run([&](CChromeDlg& self) {
        self.SendMessage(WM_COMMAND, ID_HELP + 1);
        EXPECT_EQ("", tavlen_test::TakeHelpRequest(&hWnd, &uCommand));
        self.SendMessage(WM_COMMAND, ID_HELP);
        EXPECT_EQ(szHelpFile, tavlen_test::TakeHelpRequest(&hWnd, &uCommand));
        EXPECT_EQ(self.m_hWnd, hWnd);
        EXPECT_EQ(static_cast<UINT>(HELP_FINDER), uCommand);
    });
    EXPECT_EQ(IDOK, nResult) << "the dialog runs on after help";
}

// Sized while restored, then minimised in style only: the system would give a minimised window a size of
// its own choosing, and the client area is to keep the size the test chooses.
void PaintAs(CChromeDlg& dlg, bool bMinimised, int cx, int cy)
{
    const UINT uFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW;
    ::SetWindowPos(dlg.m_hWnd, NULL, 0, 0, cx, cy, uFlags);
    if (bMinimised)
    {
        ::SetWindowLongPtrA(dlg.m_hWnd, GWL_STYLE, ::GetWindowLongPtrA(dlg.m_hWnd, GWL_STYLE) | WS_MINIMIZE);
        ::SetWindowPos(dlg.m_hWnd, NULL, 0, 0, 0, 0, uFlags | SWP_NOSIZE);
        RECT rc;
        ::GetClientRect(dlg.m_hWnd, &rc);
        ASSERT_EQ(cx, rc.right);
        ASSERT_EQ(cy, rc.bottom);
    }
    tavlen_test::FindDrawnIcon(dlg.m_hWnd, dlg.m_hIcon);  // forget earlier drawing
    ::InvalidateRect(dlg.m_hWnd, NULL, TRUE);
    ::UpdateWindow(dlg.m_hWnd);
}

std::string Describe(const RECT& rc)
{
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "-" + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
}

TEST(Chrome, MinimisedPaintingCentresTheIcon)
{
    struct Case { int cx, cy; RECT drawn; };
    // Centred with (client - icon + 1) / 2, truncated toward zero also where the icon is larger.
    const Case cases[] = {
        { 101, 77, { 35, 23, 67, 55 } },
        { 100, 76, { 34, 22, 66, 54 } },
        { 33, 32, { 1, 0, 33, 32 } },
        { 20, 21, { 0, 0, 20, 21 } },
        { 9, 40, { 0, 4, 9, 36 } },
    };
    // A fresh window each time: once minimised, the system keeps sizing it as it likes.
    for (const Case& c : cases)
    {
        CChromeDlg dlg;
        dlg.Run([&](CChromeDlg& self) {
            self.m_hIcon = ::LoadIconA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(kSolidIconId));
            ASSERT_NE(nullptr, self.m_hIcon);
            PaintAs(self, true, c.cx, c.cy);
            RECT drawn = tavlen_test::FindDrawnIcon(self.m_hWnd, self.m_hIcon);
            EXPECT_EQ(Describe(c.drawn), Describe(drawn)) << "client " << c.cx << "x" << c.cy;
            EXPECT_EQ(1, self.m_nIconErases) << "the background is erased as an icon's";
            EXPECT_NE(nullptr, self.m_hEraseDc);
            EXPECT_EQ(0, self.m_lEraseParam);
            EXPECT_FALSE(::GetUpdateRect(self.m_hWnd, NULL, FALSE));
        });
    }
}

TEST(Chrome, PaintingWhileNotMinimisedIsLeftToTheDialog)
{
    CChromeDlg dlg;
    dlg.Run([](CChromeDlg& self) {
        self.m_hIcon = ::LoadIconA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(kSolidIconId));
        PaintAs(self, false, 101, 77);
        EXPECT_EQ(Describe(RECT{ 0, 0, 0, 0 }), Describe(tavlen_test::FindDrawnIcon(self.m_hWnd, self.m_hIcon)));
        EXPECT_EQ(0, self.m_nIconErases);
        EXPECT_FALSE(::GetUpdateRect(self.m_hWnd, NULL, FALSE)) << "default painting still validates";
    });
}

} // namespace
