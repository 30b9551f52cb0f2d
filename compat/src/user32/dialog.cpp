// Modal dialogs: built from a dialog template in the program's resources, then run until EndDialog.
#include "window.h"

#include <string.h>

#include <vector>

namespace {

// Reads a template, refusing anything that runs past its end.
class TemplateReader
{
public:
    TemplateReader(const BYTE* p, DWORD cb) : m_p(p), m_cb(cb) {}

    bool Ok() const { return m_bOk; }
    WORD Word() { return (WORD)Take(2); }
    DWORD Dword() { return (DWORD)Take(4); }
    void Align() { m_nPos = (m_nPos + 3) & ~(size_t)3; }
    void Skip(size_t cb) { m_nPos += cb; m_bOk = m_bOk && m_nPos <= m_cb; }

    // A number or a text naming a menu, a class or a caption; both are only passed over here.
    void SkipNameOrOrdinal()
    {
        WORD w = Word();
        if (w == 0xFFFF)
            Word();
        else
            while (m_bOk && w != 0)
                w = Word();
    }

    void SkipText()
    {
        while (m_bOk && Word() != 0)
        {
        }
    }

private:
    DWORD Take(size_t cb)
    {
        if (!m_bOk || m_nPos + cb > m_cb)
        {
            m_bOk = false;
            return 0;
        }
        DWORD value = 0;
        for (size_t i = 0; i < cb; i++)
            value |= (DWORD)m_p[m_nPos + i] << (8 * i);
        m_nPos += cb;
        return value;
    }

    const BYTE* m_p;
    size_t m_cb;
    size_t m_nPos = 0;
    bool m_bOk = true;
};

struct Control
{
    DWORD dwStyle;
    int nId;
};

struct DialogTemplate
{
    DWORD dwStyle = 0;
    int cx = 0, cy = 0;  // dialog units
    std::vector<Control> controls;
};

// Both layouts: the extended one (DIALOGEX, marked 1, 0xFFFF) and the plain one (DIALOG).
bool ParseTemplate(const BYTE* p, DWORD cb, DialogTemplate& dlg)
{
    TemplateReader in(p, cb);
    bool bEx = cb >= 4 && p[0] == 1 && p[1] == 0 && p[2] == 0xFF && p[3] == 0xFF;
    if (bEx)
        in.Skip(8);  // version, signature, help id
    DWORD dwFirst = in.Dword(), dwSecond = in.Dword();
    dlg.dwStyle = bEx ? dwSecond : dwFirst;
    WORD nItems = in.Word();
    in.Skip(4);  // position
    dlg.cx = (short)in.Word();
    dlg.cy = (short)in.Word();
    in.SkipNameOrOrdinal();  // menu
    in.SkipNameOrOrdinal();  // class
    in.SkipText();           // caption
    if (dlg.dwStyle & DS_SETFONT)
    {
        in.Skip(bEx ? 6 : 2);  // point size, and for DIALOGEX weight, italic and character set
        in.SkipText();
    }
    for (WORD i = 0; i < nItems && in.Ok(); i++)
    {
        in.Align();
        if (bEx)
            in.Skip(4);  // help id
        DWORD dwA = in.Dword(), dwB = in.Dword();
        in.Skip(8);
        int nId = bEx ? (int)in.Dword() : (int)(short)in.Word();
        in.SkipNameOrOrdinal();  // class
        in.SkipNameOrOrdinal();  // text
        in.Skip(in.Word());      // creation data
        dlg.controls.push_back(Control{ bEx ? dwB : dwA, nId });
    }
    return in.Ok();
}

HWND CreateDialogWindow(const DialogTemplate& dlg, HWND hWndParent, DLGPROC pfnDlgProc)
{
    HWND hWnd = compat_user::Create(hWndParent, dlg.dwStyle & ~(DWORD)WS_VISIBLE, 0);
    compat_user::Window* pWnd = compat_user::Find(hWnd);
    pWnd->pfnDlgProc = pfnDlgProc;
    // Dialog units as with a font of 8 by 16 pixels: a quarter of its width, an eighth of its height.
    pWnd->cx = dlg.cx * 2;
    pWnd->cy = dlg.cy * 2;
    for (const Control& control : dlg.controls)
        compat_user::Create(hWnd, control.dwStyle, control.nId);
    return hWnd;
}

// Runs until the dialog ends. As in Windows, a dialog that is still running once its queue is empty is shown.
void RunModalLoop(HWND hWnd)
{
    MSG msg;
    for (compat_user::Window* pWnd; (pWnd = compat_user::Find(hWnd)) != NULL && !pWnd->bEnded;)
    {
        if (compat_user::QueueEmpty())
            pWnd->dwStyle |= WS_VISIBLE;
        if (!compat_user::NextMessage(msg))
        {
            // Nothing is queued and no timer can fire: a headless dialog would wait for ever.
            pWnd->bEnded = true;
            pWnd->nResult = -1;
            return;
        }
        DispatchMessageA(&msg);
    }
}

} // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam)
{
    HRSRC hRes = FindResourceA(hInstance, lpTemplateName, RT_DIALOG);
    DialogTemplate dlg;
    if (hRes == NULL || lpDialogFunc == NULL ||
        !ParseTemplate(static_cast<const BYTE*>(LockResource(LoadResource(hInstance, hRes))),
                       SizeofResource(hInstance, hRes), dlg))
    {
        if (hRes != NULL)
            SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    HWND hWnd = CreateDialogWindow(dlg, hWndParent, lpDialogFunc);
    BOOL bParentWasDisabled = hWndParent != NULL && EnableWindow(hWndParent, FALSE);

    SendMessageA(hWnd, WM_INITDIALOG, 0, dwInitParam);
    compat_user::Window* pWnd = compat_user::Find(hWnd);
    if (pWnd != NULL && !pWnd->bEnded && (dlg.dwStyle & WS_VISIBLE))
        pWnd->dwStyle |= WS_VISIBLE;
    RunModalLoop(hWnd);

    pWnd = compat_user::Find(hWnd);
    INT_PTR nResult = pWnd != NULL ? pWnd->nResult : -1;
    if (hWndParent != NULL && !bParentWasDisabled)
        EnableWindow(hWndParent, TRUE);
    compat_user::Destroy(hWnd);
    return nResult;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    compat_user::Window* pWnd = compat_user::Find(hDlg);
    if (pWnd == NULL || pWnd->pfnDlgProc == NULL)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    pWnd->bEnded = true;
    pWnd->nResult = nResult;
    pWnd->dwStyle &= ~(DWORD)WS_VISIBLE;
    return TRUE;
}
