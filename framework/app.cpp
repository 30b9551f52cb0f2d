// The application object, its command-line parsing and start-up, and the framework's OLE and resource helpers.
#include "framework/afxwin.h"

#include <crt_compat.h>
#include <stdlib.h>
#include <string.h>

namespace {

CWinApp* afx_pApp = NULL;
bool afx_bOleInit = false;

// Whether the ANSI text converts back to exactly the UTF-16 text, unit for unit; not when there is no memory to
// tell.
bool ConvertsBackTo(LPCSTR pszAnsi, const WCHAR* pszWide)
{
    int nWide = 1;
    while (pszWide[nWide - 1] != 0)
        ++nWide;
    if (::MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, NULL, 0) != nWide)
        return false;
    WCHAR* pchBack = static_cast<WCHAR*>(AfxAlloc(nWide * sizeof(WCHAR)));
    bool bSame = pchBack != NULL && ::MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, pchBack, nWide) == nWide &&
                 memcmp(pchBack, pszWide, nWide * sizeof(WCHAR)) == 0;
    AfxFree(pchBack);
    return bSame;
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

// Uses the runtime's own splitting of the command line, so quoting follows its usual rules. The build names
// the characters that begin a switch: '-' and '/' on Windows, only '-' where '/' begins absolute paths.
// The ANSI arguments are made from the caller's UTF-16 line with best-fit mapping, which turns a character the
// code page lacks into a look-alike: a fullwidth solidus into '/', in code page 932 the yen sign into '\'. So an
// argument goes on only if it converts back to exactly the caller's, as the system converts an ANSI path to open
// it; a look-alike never does, and a line the runtime split otherwise differs in count or text.
BOOL CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo)
{
    // Taken first: the runtime may set its count to that of the UTF-16 split.
    int nArgs = __argc;
    char** ppszArgs = __argv;
    int nWideArgs = -1;
    WCHAR** ppszWideArgs = NULL;
    WCHAR** ppszWideEnv = NULL;
    _startupinfo startInfo = { 0 };
    // What it gave, not its result, tells whether it worked: the result differs between versions of the runtime.
    __wgetmainargs(&nWideArgs, &ppszWideArgs, &ppszWideEnv, 0, &startInfo);
    if (ppszWideArgs == NULL || nWideArgs != nArgs)
        return FALSE;
    for (int i = 1; i < nArgs; i++)
        if (!ConvertsBackTo(ppszArgs[i], ppszWideArgs[i]))
            return FALSE;

    for (int i = 1; i < nArgs; i++)
    {
        const char* pszParam = ppszArgs[i];
        BOOL bFlag = pszParam[0] != 0 && strchr(AFX_SWITCH_CHARS, pszParam[0]) != NULL;
        if (bFlag)
            ++pszParam;
        rCmdInfo.ParseParam(pszParam, bFlag, i + 1 == nArgs);
    }
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
