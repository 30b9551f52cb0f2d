// The collector dialog's window furniture: the About entry of its system menu, its icons and its minimised look.
#include "InventoryDlg.h"

#include "AboutDlg.h"

// Without a text for the entry the system menu stays as the system made it.
void CInventoryDlg::SetUpChrome()
{
    CMenu* pSysMenu = GetSystemMenu(FALSE);
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

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
}

void CInventoryDlg::OnSysCommand(UINT nID, LPARAM)
{
    // The system keeps flags of its own in a command's low four bits.
    if ((nID & 0xFFF0) == IDM_ABOUTBOX)
    {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    }
    else
    {
        Default();
    }
}

// A minimised dialog has no class icon to show, so it draws its own, centred.
void CInventoryDlg::OnPaint()
{
    if (!IsIconic())
    {
        Default();
        return;
    }

    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;

    dc.DrawIcon(x, y, m_hIcon);
}

// Dragging the minimised window shows its icon.
HCURSOR CInventoryDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
