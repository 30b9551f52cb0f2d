// The application object, its command-line parsing and start-up, and the framework's OLE and resource helpers.
#include "framework/afxwin.h"

#include <stdlib.h>
#include <string.h>

namespace {

CWinApp* afx_pApp = NULL;
bool afx_bOleInit = false;

} // namespace

CWinApp* AfxGetApp()
{
    return afx_pApp;
}

HINSTANCE AfxGetResourceHandle()
{
    if (afx_pApp != NULL && afx_pApp->m_hInstance != NULL)
        return afx_pApp->m_hInstance;
    return ::GetModuleHandleA(NULL);
}

// Every resource lives in the program's own module; FindResource only confirms it is there.
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    ::FindResourceA(hInst, lpszName, lpszType);
    return hInst;
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

CCommandLineInfo::CCommandLineInfo()
    : m_bShowSplash(TRUE), m_nShellCommand(FileNew)
{
}

CCommandLineInfo::~CCommandLineInfo()
{
}

void CCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL)
{
    if (bFlag)
    {
        if (strcmp(pszParam, "nologo") == 0)
            m_bShowSplash = FALSE;
    }
    else if (m_strFileName.IsEmpty())
    {
        m_strFileName = pszParam;
        m_nShellCommand = FileOpen;
    }
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_hInstance(NULL), m_lpCmdLine(NULL), m_nCmdShow(SW_SHOWNORMAL), m_pszAppName(lpszAppName), m_pMainWnd(NULL)
{
    afx_pApp = this;
}

CWinApp::~CWinApp()
{
    if (afx_pApp == this)
        afx_pApp = NULL;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, NULL, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return 0;
}

// Uses the runtime's own splitting of the command line, so quoting follows its usual rules. The build names
// the characters that begin a switch: '-' and '/' on Windows, only '-' where '/' begins absolute paths.
void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo)
{
    for (int i = 1; i < __argc; i++)
    {
        const char* pszParam = __argv[i];
        BOOL bFlag = pszParam[0] != 0 && strchr(AFX_SWITCH_CHARS, pszParam[0]) != NULL;
        if (bFlag)
            ++pszParam;
        rCmdInfo.ParseParam(pszParam, bFlag, i + 1 == __argc);
    }
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

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL)
        return 0;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;

    // The exit status carries no result, whatever InitInstance or the message loop did.
    if (pApp->InitInstance())
        pApp->Run();
    else
        pApp->ExitInstance();
    if (afx_bOleInit)
        ::OleUninitialize();
    return 0;
}
