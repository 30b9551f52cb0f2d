// Puts the collector dialog and then its About box on screen, one after the other, for tools/screenshots.sh.
#include "framework/afxwin.h"

#include <stdio.h>

#include "collector/InventoryDlg.h"

namespace {

const UINT_PTR kTimerId = 1;
const UINT kTickMs = 100;
// A window just shown gets this long to be painted and to reach the display before it is announced.
const DWORD kSettleMs = 700;
// Whatever the script does, the harness never outlives this.
const DWORD kTimeoutMs = 60000;

} // namespace

// The collector dialog as a user would see it: its furniture is set up, but it runs no collection and asks
// for no close, so it stays up until the script has captured it and the About box.
//
// Each window is announced in a file, "NAME LEFT TOP WIDTH HEIGHT" in screen pixels, once it is on screen;
// the script deletes the file when it has its screenshot, and the harness goes on to the next window.
class CShowDialogsDlg : public CInventoryDlg
{
public:
    CShowDialogsDlg();
    virtual ~CShowDialogsDlg();

    CString m_strReadyPath;

protected:
    virtual BOOL OnInitDialog();
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);

    HWND FindAboutBox() const;
    BOOL Announce(LPCSTR pszName, HWND hWnd);
    BOOL IsCaptured() const;
    void CloseAll();

    enum { ShowingDialog, DialogAnnounced, OpeningAbout, AboutAnnounced, ClosingAbout };
    int m_nState;
    DWORD m_dwStart;
    // When the window of the current step was first seen visible; 0 until then.
    DWORD m_dwVisibleSince;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CShowDialogsDlg, CInventoryDlg)
    ON_MESSAGE(WM_TIMER, CShowDialogsDlg::OnTimer)
END_MESSAGE_MAP()

CShowDialogsDlg::CShowDialogsDlg()
    : CInventoryDlg(NULL), m_nState(ShowingDialog), m_dwStart(0), m_dwVisibleSince(0)
{
}

CShowDialogsDlg::~CShowDialogsDlg()
{
}

BOOL CShowDialogsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetUpChrome();

    // The template keeps the window disabled and hidden, as the program wants it.
    ::EnableWindow(m_hWnd, TRUE);
    ::ShowWindow(m_hWnd, SW_SHOW);

    m_dwStart = ::GetTickCount();
    m_dwVisibleSince = m_dwStart;
    ::SetTimer(m_hWnd, kTimerId, kTickMs, NULL);
    return TRUE;
}

// The About box's own modal loop keeps delivering this dialog's timer, so the steps go on while it is open.
LRESULT CShowDialogsDlg::OnTimer(WPARAM wParam, LPARAM)
{
    if (wParam != kTimerId)
        return 0;
    DWORD dwNow = ::GetTickCount();
    if (dwNow - m_dwStart >= kTimeoutMs)
    {
        CloseAll();
        return 0;
    }

    switch (m_nState)
    {
    case ShowingDialog:
        if (dwNow - m_dwVisibleSince >= kSettleMs && Announce("collector", m_hWnd))
            m_nState = DialogAnnounced;
        break;
    case DialogAnnounced:
        if (IsCaptured())
        {
            // As the system menu's entry does it; posted, so that this handler is not inside the About box's loop.
            PostMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            m_dwVisibleSince = 0;
            m_nState = OpeningAbout;
        }
        break;
    case OpeningAbout:
    {
        HWND hAbout = FindAboutBox();
        if (hAbout == NULL)
            break;
        if (m_dwVisibleSince == 0)
            m_dwVisibleSince = dwNow;
        else if (dwNow - m_dwVisibleSince >= kSettleMs && Announce("about", hAbout))
            m_nState = AboutAnnounced;
        break;
    }
    case AboutAnnounced:
        if (IsCaptured())
        {
            HWND hAbout = FindAboutBox();
            if (hAbout != NULL)
                ::PostMessageA(hAbout, WM_COMMAND, IDOK, 0);
            m_nState = ClosingAbout;
        }
        break;
    case ClosingAbout:
        if (FindAboutBox() == NULL)
            CloseAll();
        break;
    }
    return 0;
}

namespace {

BOOL CALLBACK FindVisibleOwned(HWND hWnd, LPARAM lParam)
{
    HWND* phFound = reinterpret_cast<HWND*>(lParam);
    if (::GetWindow(hWnd, GW_OWNER) != *phFound || !::IsWindowVisible(hWnd))
        return TRUE;
    *phFound = hWnd;
    return FALSE;
}

} // namespace

// The About box has no parent of its own: it belongs to the application's main window, this one.
HWND CShowDialogsDlg::FindAboutBox() const
{
    HWND hFound = m_hWnd;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindVisibleOwned, reinterpret_cast<LPARAM>(&hFound));
    return hFound != m_hWnd ? hFound : NULL;
}

// Written beside the file and renamed onto it, so the script never reads half a line; in binary mode, so the
// line ends as the shell expects.
BOOL CShowDialogsDlg::Announce(LPCSTR pszName, HWND hWnd)
{
    RECT rect;
    if (!::GetWindowRect(hWnd, &rect))
        return FALSE;
    CString strTemp = m_strReadyPath + ".part";
    FILE* pFile = fopen(strTemp, "wb");
    if (pFile == NULL)
        return FALSE;
    int nWritten = fprintf(pFile, "%s %ld %ld %ld %ld\n", pszName, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top);
    if (fclose(pFile) != 0 || nWritten < 0)
        return FALSE;
    return ::MoveFileExA(strTemp, m_strReadyPath, MOVEFILE_REPLACE_EXISTING);
}

BOOL CShowDialogsDlg::IsCaptured() const
{
    return ::GetFileAttributesA(m_strReadyPath) == INVALID_FILE_ATTRIBUTES;
}

// Ends the About box first, if it is open, so that both modal loops unwind.
void CShowDialogsDlg::CloseAll()
{
    ::KillTimer(m_hWnd, kTimerId);
    HWND hAbout = FindAboutBox();
    if (hAbout != NULL)
        ::EndDialog(hAbout, IDCANCEL);
    EndDialog(IDCANCEL);
}

// The one argument is the file that announces each window.
class CShowDialogsCommandLineInfo : public CCommandLineInfo
{
public:
    virtual void ParseParam(const char* pszParam, BOOL bFlag, BOOL)
    {
        if (!bFlag && m_strFileName.IsEmpty())
            m_strFileName = pszParam;
    }

    CString m_strFileName;
};

class CShowDialogsApp : public CWinApp
{
public:
    CShowDialogsApp();
    virtual ~CShowDialogsApp();

    virtual BOOL InitInstance();

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CShowDialogsApp, CWinApp)
END_MESSAGE_MAP()

CShowDialogsApp::CShowDialogsApp()
{
}

CShowDialogsApp::~CShowDialogsApp()
{
}

CShowDialogsApp theApp;

BOOL CShowDialogsApp::InitInstance()
{
    CShowDialogsCommandLineInfo cmdInfo;
    if (!ParseCommandLine(cmdInfo) || cmdInfo.m_strFileName.IsEmpty())
        return FALSE;

    CShowDialogsDlg dlg;
    dlg.m_strReadyPath = cmdInfo.m_strFileName;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}
