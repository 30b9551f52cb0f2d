// The application object, its command-line parsing and start-up, and the framework's OLE and resource helpers.
#include "framework/afxwin.h"

#include <crt_compat.h>
#include <string.h>

namespace {

CWinApp* afx_pApp = NULL;
bool afx_bOleInit = false;

// The ANSI text of a UTF-16 argument, each character the code page lacks its default character: best fit would
// turn a look-alike into the character it resembles, a fullwidth solidus into '/', in code page 932 the yen sign
// into a backslash. A UTF-8 code page takes no such flag, and has no best fit to refuse. False where memory ran out.
bool AnsiOf(const WCHAR* pszWide, CString& strAnsi)
{
    if (*pszWide == 0)
        return true;
    DWORD dwFlags = WC_NO_BEST_FIT_CHARS;
    int nBytes = ::WideCharToMultiByte(CP_ACP, dwFlags, pszWide, -1, NULL, 0, NULL, NULL);
    if (nBytes == 0)
        nBytes = ::WideCharToMultiByte(CP_ACP, dwFlags = 0, pszWide, -1, NULL, 0, NULL, NULL);
    char* pch = nBytes > 1 ? strAnsi.GetBufferSetLength(nBytes - 1) : NULL;
    return pch != NULL && ::WideCharToMultiByte(CP_ACP, dwFlags, pszWide, -1, pch, nBytes, NULL, NULL) == nBytes;
}

} // namespace

CWinApp* AfxGetApp()
{
    return afx_pApp;
}

// Every resource lives in the program's own module.
HINSTANCE AfxGetResourceHandle()
{
    if (afx_pApp != NULL && afx_pApp->m_hInstance != NULL)
        return afx_pApp->m_hInstance;
    return ::GetModuleHandleA(NULL);
}

// Every resource lives in the program's own module, so that module is where any one is found, and no
// lookup is needed to say so; the loader that takes the resource finds it there.
HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR)
{
    return AfxGetResourceHandle();
}

BOOL AfxOleInit()
{
    if (afx_bOleInit)
        return TRUE;
    if (FAILED(::OleInitialize(NULL)))
        return FALSE;
    afx_bOleInit = true;
    return TRUE;
}

// No OLE controls are hosted, so there is no container state to set up.
void AfxEnableControlContainer(COccManager*)
{
}

CCommandLineInfo::~CCommandLineInfo()
{
}

CWinApp::CWinApp()
    : m_hInstance(NULL), m_pMainWnd(NULL)
{
    afx_pApp = this;
}

CWinApp::~CWinApp()
{
    if (afx_pApp == this)
        afx_pApp = NULL;
}

int CWinApp::ExitInstance()
{
    return 0;
}

// Uses the runtime's own splitting of the caller's UTF-16 command line, so quoting follows its usual rules. The
// build names the characters that begin a switch: '-' and '/' on Windows, only '-' where '/' begins absolute paths.
// A switch is told by its first UTF-16 character, so no look-alike of '-' or '/' begins one, and its ANSI text
// holds no look-alike of a letter; a path goes on in UTF-16 too, exactly as the caller named the file.
BOOL CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo)
{
    int nArgs = -1;
    WCHAR** ppszArgs = NULL;
    WCHAR** ppszEnv = NULL;
    _startupinfo startInfo = { 0 };
    // What it gave, not its result, tells whether it worked: the result differs between versions of the runtime.
    __wgetmainargs(&nArgs, &ppszArgs, &ppszEnv, 0, &startInfo);
    if (ppszArgs == NULL || nArgs < 1)
        return FALSE;
    for (int i = 1; i < nArgs; i++)
    {
        const WCHAR* pszParam = ppszArgs[i];
        BOOL bFlag = pszParam[0] > 0 && pszParam[0] < 0x80 && strchr(AFX_SWITCH_CHARS, (char)pszParam[0]) != NULL;
        if (bFlag)
            ++pszParam;
        CString strParam;
        if (!AnsiOf(pszParam, strParam))
            return FALSE;
        rCmdInfo.m_pszParamW = pszParam;
        rCmdInfo.ParseParam(strParam, bFlag, i + 1 == nArgs);
    }
    rCmdInfo.m_pszParamW = NULL;
    return TRUE;
}

// Three-dimensional controls are the system's own look on every 32-bit Windows.
BOOL CWinApp::Enable3dControls()
{
    return TRUE;
}

// Characters are stepped over whole: a double-byte character's trail byte may be the value of a backslash.
LPSTR AfxFindExtension(LPSTR pszPath)
{
    LPSTR pszExt = NULL;
    LPSTR pch = pszPath;
    for (; *pch != 0; pch = ::CharNextA(pch))
    {
        if (*pch == '\\' || *pch == '/')
            pszExt = NULL;
        else if (*pch == '.')
            pszExt = pch;
    }
    return pszExt != NULL ? pszExt : pch;
}

void CWinApp::OnHelp()
{
    char szHelpFile[MAX_PATH + 4];
    DWORD nLength = ::GetModuleFileNameA(m_hInstance, szHelpFile, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return;
    strcpy(AfxFindExtension(szHelpFile), ".HLP");
    ::WinHelpA(m_pMainWnd != NULL ? m_pMainWnd->m_hWnd : NULL, szHelpFile, HELP_FINDER, 0);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL)
        return 0;
    pApp->m_hInstance = hInstance;

    // The exit status carries no result, whatever InitInstance did; nor does what it returns change anything,
    // as no message loop would follow it.
    pApp->InitInstance();
    pApp->ExitInstance();
    if (afx_bOleInit)
        ::OleUninitialize();
    return 0;
}
