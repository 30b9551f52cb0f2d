// The collector dialog's window furniture: the About entry of its system menu, its icons and its minimised look.
#include "ui/InventoryChrome.h"

#include "res/resource.h"
#include "ui/AboutDlg.h"

// Without a text for the entry the system menu stays as the system made it.
void SetUpInventoryChrome(CWnd& wnd, HICON hIcon)
{
    CMenu* pSysMenu = wnd.GetSystemMenu(FALSE);
    if (pSysMenu != NULL)
    {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty())
        {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    wnd.SetIcon(hIcon, TRUE);
    wnd.SetIcon(hIcon, FALSE);
}

// The system keeps flags of its own in a command's low four bits.
BOOL RunAboutCommand(UINT nID)
{
    if ((nID & 0xFFF0) != IDM_ABOUTBOX)
        return FALSE;
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
    return TRUE;
}

// A minimised dialog has no class icon to show, so it draws its own.
BOOL PaintMinimisedIcon(CWnd& wnd, HICON hIcon)
{
    if (!wnd.IsIconic())
        return FALSE;

    CPaintDC dc(&wnd);
    wnd.SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    CRect rect;
    wnd.GetClientRect(&rect);
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;

    dc.DrawIcon(x, y, hIcon);
    return TRUE;
}
