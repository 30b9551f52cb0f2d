// Message-map dispatch, windows and modal dialogs over dialog-template resources.
#include "framework/afxwin.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY _messageEntries[] = { { 0, 0, 0, 0, AfxSig_end, (AFX_PMSG)0 } };
    static const AFX_MSGMAP messageMap = { NULL, &_messageEntries[0] };
    return &messageMap;
}

namespace {

bool EntryMatches(const AFX_MSGMAP_ENTRY* pEntry, UINT message, WPARAM wParam)
{
    if (pEntry->nMessage != message)
        return false;
    if (message != WM_COMMAND)
        return true;
    // Commands come from menus (code 0), accelerators (1) and button clicks (BN_CLICKED, 0).
    UINT nID = LOWORD(wParam);
    return HIWORD(wParam) <= 1 && nID >= pEntry->nID && nID <= pEntry->nLastID;
}

} // namespace

BOOL CCmdTarget::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != NULL;
         pMap = pMap->pfnGetBaseMap != NULL ? pMap->pfnGetBaseMap() : NULL)
    {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nSig != AfxSig_end; ++pEntry)
        {
            if (!EntryMatches(pEntry, message, wParam))
                continue;
            *pResult = 0;
            switch (pEntry->nSig)
            {
            case AfxSig_vv:
                (this->*pEntry->pfn)();
                break;
            case AfxSig_vwl:
                (this->*AfxCastPmsg<AFX_PMSG_VWL>(pEntry->pfn))((UINT)wParam, lParam);
                break;
            case AfxSig_hv:
                *pResult = reinterpret_cast<LRESULT>((this->*AfxCastPmsg<AFX_PMSG_HV>(pEntry->pfn))());
                break;
            case AfxSig_lwl:
                *pResult = (this->*AfxCastPmsg<AFX_PMSG_LWL>(pEntry->pfn))(wParam, lParam);
                break;
            }
            return TRUE;
        }
    }
    return FALSE;
}

CWnd::CWnd()
    : m_hWnd(NULL), m_pbDefault(NULL)
{
}

CWnd::~CWnd()
{
    // The application must not keep pointing at a main window that no longer exists.
    CWinApp* pApp = AfxGetApp();
    if (pApp != NULL && pApp->m_pMainWnd == this)
        pApp->m_pMainWnd = NULL;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

// Gives the icon the window had for that size before.
HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                               reinterpret_cast<LPARAM>(hIcon)));
}

LRESULT CWnd::Default()
{
    if (m_pbDefault != NULL)
        *m_pbDefault = TRUE;
    return 0;
}

CPaintDC::CPaintDC(CWnd* pWnd)
    : m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, CDialog::OnOK)
    ON_COMMAND(IDCANCEL, CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_pParentWnd(pParentWnd)
{
}

CDialog::~CDialog()
{
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HWND hWndParent = m_pParentWnd != NULL ? m_pParentWnd->m_hWnd : NULL;
    // A dialog without a parent belongs to the application's main window, which it keeps disabled meanwhile.
    CWinApp* pApp = AfxGetApp();
    if (m_pParentWnd == NULL && pApp != NULL && pApp->m_pMainWnd != NULL && pApp->m_pMainWnd != this)
        hWndParent = pApp->m_pMainWnd->m_hWnd;
    return ::DialogBoxParamA(hInst, m_lpszTemplateName, hWndParent, &CDialog::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog()
{
    CDataExchange dx(this, FALSE);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

void CDialog::EndDialog(int nResult)
{
    ::EndDialog(m_hWnd, nResult);
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

namespace {

// For these messages a dialog procedure returns the result itself instead of TRUE.
bool ReturnsResultDirectly(UINT message)
{
    return message == WM_QUERYDRAGICON || message == WM_COMPAREITEM || message == WM_VKEYTOITEM ||
           message == WM_CHARTOITEM || (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

} // namespace

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        pDlg->m_hWnd = hWnd;
        return pDlg->OnInitDialog();
    }
    CDialog* pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (pDlg == NULL)
        return FALSE;
    if (message == WM_NCDESTROY)
    {
        ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        pDlg->m_hWnd = NULL;
        return FALSE;
    }

    BOOL bDefault = FALSE;
    BOOL* pbOuter = pDlg->m_pbDefault;
    pDlg->m_pbDefault = &bDefault;
    LRESULT lResult = 0;
    BOOL bHandled = pDlg->OnWndMsg(message, wParam, lParam, &lResult);
    // A command the dialog has no handler for goes on to the application object, whose map has the help command.
    CWinApp* pApp = AfxGetApp();
    if (!bHandled && message == WM_COMMAND && pApp != NULL)
        bHandled = pApp->OnWndMsg(message, wParam, lParam, &lResult);
    pDlg->m_pbDefault = pbOuter;
    if (!bHandled || bDefault)
        return FALSE;
    if (ReturnsResultDirectly(message))
        return (INT_PTR)lResult;
    ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, lResult);
    return TRUE;
}
