// The application framework: application object, command line, message maps, windows and dialogs.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string.h>

#include "framework/afxstr.h"

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

class CCmdTarget;
class CWnd;
class COccManager;

// What DoDataExchange is given: the dialog and the direction of the exchange.
class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Message maps: a static table per class, searched from the most derived class to its bases.
typedef void (CCmdTarget::*AFX_PMSG)();

enum AfxSig
{
    AfxSig_end = 0,
    AfxSig_vv,   // void ()
    AfxSig_vwl,  // void (UINT, LPARAM)
    AfxSig_hv,   // HANDLE ()
    AfxSig_lwl,  // LRESULT (WPARAM, LPARAM)
};

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    UINT_PTR nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    virtual const AFX_MSGMAP* GetMessageMap() const;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() \
    { \
        using ThisClass [[maybe_unused]] = theClass; \
        using TheBaseClass = baseClass; \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP() \
            { 0, 0, 0, 0, AfxSig_end, (AFX_PMSG)0 } \
        }; \
        static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, &_messageEntries[0] }; \
        return &messageMap; \
    }

#define ON_COMMAND(id, memberFxn) \
    { WM_COMMAND, 0, (UINT)(id), (UINT)(id), AfxSig_vv, \
      static_cast<AFX_PMSG>(static_cast<void (ThisClass::*)()>(&memberFxn)) },

// Handlers of other signatures pass through AFX_PMSG and are cast back to their own type on dispatch.
typedef void (CCmdTarget::*AFX_PMSG_VWL)(UINT, LPARAM);
typedef HCURSOR (CCmdTarget::*AFX_PMSG_HV)();
typedef LRESULT (CCmdTarget::*AFX_PMSG_LWL)(WPARAM, LPARAM);

template <typename To, typename From>
inline To AfxCastPmsg(From pfn)
{
    static_assert(sizeof(To) == sizeof(From), "handler pointers must all have one size");
    To to;
    memcpy(&to, &pfn, sizeof(to));
    return to;
}

#define ON_WM_SYSCOMMAND() \
    { WM_SYSCOMMAND, 0, 0, 0, AfxSig_vwl, AfxCastPmsg<AFX_PMSG>(static_cast<AFX_PMSG_VWL>( \
      static_cast<void (ThisClass::*)(UINT, LPARAM)>(&ThisClass::OnSysCommand))) },

#define ON_WM_PAINT() \
    { WM_PAINT, 0, 0, 0, AfxSig_vv, \
      static_cast<AFX_PMSG>(static_cast<void (ThisClass::*)()>(&ThisClass::OnPaint)) },

#define ON_WM_QUERYDRAGICON() \
    { WM_QUERYDRAGICON, 0, 0, 0, AfxSig_hv, AfxCastPmsg<AFX_PMSG>(static_cast<AFX_PMSG_HV>( \
      static_cast<HCURSOR (ThisClass::*)()>(&ThisClass::OnQueryDragIcon))) },

// Any message, handled by a member that gets both parameters and gives the message result.
#define ON_MESSAGE(message, memberFxn) \
    { (UINT)(message), 0, 0, 0, AfxSig_lwl, AfxCastPmsg<AFX_PMSG>(static_cast<AFX_PMSG_LWL>( \
      static_cast<LRESULT (ThisClass::*)(WPARAM, LPARAM)>(&memberFxn))) },

// A menu that owns its handle once attached; FromHandle lends a wrapper that never destroys the menu.
class CMenu
{
public:
    CMenu();
    virtual ~CMenu();

    static CMenu* FromHandle(HMENU hMenu);
    BOOL Attach(HMENU hNewMenu);
    HMENU Detach();
    BOOL DestroyMenu();
    HMENU GetSafeHmenu() const { return m_hMenu; }

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = NULL);

    HMENU m_hMenu;

private:
    CMenu(const CMenu&);
    void operator=(const CMenu&);
};

class CRect : public RECT
{
public:
    CRect() { left = top = right = bottom = 0; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }
};

// A device context the object does not create; derived classes obtain and give back their own.
class CDC
{
public:
    CDC() : m_hDC(NULL) {}
    virtual ~CDC() {}

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC;

private:
    CDC(const CDC&);
    void operator=(const CDC&);
};

class CCmdTarget
{
public:
    CCmdTarget() {}
    virtual ~CCmdTarget() {}

    // Runs the handler the map has for this message; FALSE when it has none.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // The empty map that ends every chain of base maps; each class that dispatches has a map of its own.
    static const AFX_MSGMAP* GetThisMessageMap();
protected:
    virtual const AFX_MSGMAP* GetMessageMap() const = 0;

private:
    CCmdTarget(const CCmdTarget&);
    void operator=(const CCmdTarget&);
};

class CWnd : public CCmdTarget
{
public:
    CWnd();
    virtual ~CWnd();

    HWND GetSafeHwnd() const { return m_hWnd; }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    CMenu* GetSystemMenu(BOOL bRevert) const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }

    // Leaves the message being handled to the system's default processing.
    LRESULT Default();

    HWND m_hWnd;

protected:
    // Set while a message is dispatched; Default() marks it as left to the system.
    BOOL* m_pbDefault;
};

// Painting of a window for one WM_PAINT: begun on construction, ended on destruction.
class CPaintDC : public CDC
{
public:
    explicit CPaintDC(CWnd* pWnd);
    virtual ~CPaintDC();

    PAINTSTRUCT m_ps;

protected:
    HWND m_hWnd;
};

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    virtual ~CDialog();

    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    void EndDialog(int nResult);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();

    LPCSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// What the application makes of its arguments; ParseCommandLine gives it each in turn.
class CCommandLineInfo
{
public:
    CCommandLineInfo() : m_pszParamW(NULL) {}
    virtual ~CCommandLineInfo();

    // Called once per argument after the program name; a switch arrives without its '-' or '/'. The ANSI text
    // holds the code page's default character for each character the code page lacks.
    virtual void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast) = 0;

    // While ParseParam runs, the same argument exactly as the caller gave it, in UTF-16, as a file name needs it.
    // The runtime keeps it for the life of the process.
    LPCWSTR m_pszParamW;
};

// The one application object. There is no message loop: the application does its whole work in InitInstance,
// where a modal dialog runs the loop of its own, and the process ends when InitInstance returns.
class CWinApp : public CCmdTarget
{
public:
    CWinApp();
    virtual ~CWinApp();

    virtual BOOL InitInstance() = 0;
    virtual int ExitInstance();

    // FALSE when the arguments could not be had or made, which the caller takes for a rejected line.
    BOOL ParseCommandLine(CCommandLineInfo& rCmdInfo);
    BOOL Enable3dControls();
    void OnHelp();

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd;
};

// The framework's heap, the one place the program takes memory from; NULL when there is none.
void* AfxAlloc(size_t nBytes);
void AfxFree(void* p);
// For tests: the allocation after the next nSucceedFirst fails, once; -1 fails none. Returns whether the
// allocation that the previous call chose has failed.
bool AfxFailAllocation(int nSucceedFirst);

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
// The module that holds the named resource.
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
// Where the file name's extension begins in a path, or the path's end where the name has none; a dot in a
// folder's name begins no extension. The help file is the module's path with this replaced.
LPSTR AfxFindExtension(LPSTR pszPath);
BOOL AfxOleInit();
void AfxEnableControlContainer(COccManager* pManager = NULL);
