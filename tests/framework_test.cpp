// Contract tests of the framework: the string, dialog, message-map and start-up behaviour the program relies on.
#include "framework/afxwin.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>

#include "test_util.h"

namespace {

// Far from any identifier the program's resources use.
const UINT kMissingStringId = 0x7A5A;

// A dialog on the program's own template that records, in order, what happened to it.
class CProbeDlg : public CDialog
{
public:
    CProbeDlg(UINT nPost = 0, WPARAM wPost = 0) : CDialog(IDD_INVENTORY_DIALOG), m_nPost(nPost), m_wPost(wPost) {}

    UINT m_nPost;
    WPARAM m_wPost;
    int m_nEvents = 0, m_nInitAt = 0, m_nOkAt = 0, m_nCancelAt = 0;
    HWND m_hWndAtInit = NULL;
    bool m_bButtonsAtInit = false;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_nInitAt = ++m_nEvents;
        m_hWndAtInit = ::IsWindow(m_hWnd) ? m_hWnd : NULL;
        m_bButtonsAtInit = ::GetDlgItem(m_hWnd, IDOK) != NULL && ::GetDlgItem(m_hWnd, IDCANCEL) != NULL;
        tavlen_test::StartWatchdog(m_hWnd);
        Initialise();
        return TRUE;
    }

    virtual void Initialise()
    {
        if (m_nPost != 0)
            PostMessage(m_nPost, m_wPost);
    }

    void OnOK() override { m_nOkAt = ++m_nEvents; CDialog::OnOK(); }
    void OnCancel() override { m_nCancelAt = ++m_nEvents; CDialog::OnCancel(); }
};

INT_PTR RunModal(CDialog& dlg)
{
    INT_PTR nResult = dlg.DoModal();
    EXPECT_EQ(nullptr, dlg.GetSafeHwnd()) << "the object must not keep the destroyed window";
    return nResult;
}

// A notification from a button is no command: only the click after it may end the dialog.
class CNotifiedDlg : public CProbeDlg
{
protected:
    void Initialise() override
    {
        SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_SETFOCUS), (LPARAM)::GetDlgItem(m_hWnd, IDCANCEL));
        PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(m_hWnd, IDOK));
    }
};

HCURSOR const kDragIcon = reinterpret_cast<HCURSOR>(static_cast<INT_PTR>(0x5A5A0));

class CIconDlg : public CProbeDlg
{
public:
    using CProbeDlg::CProbeDlg;
    int m_nDragIconQueries = 0;
    LRESULT m_lDragIcon = 0;

protected:
    HCURSOR OnQueryDragIcon() { ++m_nDragIconQueries; return kDragIcon; }
    void Initialise() override { m_lDragIcon = SendMessage(WM_QUERYDRAGICON); CProbeDlg::Initialise(); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CIconDlg, CProbeDlg)
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

// Two maps above CDialog's: its own entry for IDOK must win, everything else falls through to the bases.
const UINT kMarkCommand = 0x4D2;
const INT_PTR kOwnOkResult = 0x4D3;

class CMarkedIconDlg : public CIconDlg
{
public:
    using CIconDlg::CIconDlg;
    int m_nMarks = 0;

protected:
    void OnMark() { ++m_nMarks; }
    void OnOwnOk() { EndDialog(kOwnOkResult); }
    void Initialise() override { SendMessage(WM_COMMAND, kMarkCommand); CIconDlg::Initialise(); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMarkedIconDlg, CIconDlg)
    ON_COMMAND(kMarkCommand, CMarkedIconDlg::OnMark)
    ON_COMMAND(IDOK, CMarkedIconDlg::OnOwnOk)
END_MESSAGE_MAP()

// Handles the system menu's Close itself, either leaving it to the system or swallowing it.
class CSysCloseDlg : public CProbeDlg
{
public:
    explicit CSysCloseDlg(bool bLeaveToDefault, bool bEnable = true)
        : m_bLeaveToDefault(bLeaveToDefault), m_bEnable(bEnable) {}
    bool m_bLeaveToDefault, m_bEnable;
    int m_nSysCloseAt = 0;

protected:
    void OnSysCommand(UINT nID, LPARAM)
    {
        // The system keeps its own flags in the low four bits.
        if ((nID & 0xFFF0) == SC_CLOSE)
        {
            m_nSysCloseAt = ++m_nEvents;
            if (!m_bLeaveToDefault)
                return;
        }
        Default();
    }

    void Initialise() override
    {
        // The template's window starts disabled, and the system ignores system commands to a disabled window.
        if (m_bEnable)
            ::EnableWindow(m_hWnd, TRUE);
        // Sent, so that any close it causes is under way before the IDOK below is queued.
        SendMessage(WM_SYSCOMMAND, SC_CLOSE);
        PostMessage(WM_COMMAND, IDOK);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSysCloseDlg, CProbeDlg)
    ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

} // namespace

TEST(CString, EmptyWhenDefaultOrFromNothing)
{
    CString strDefault;
    EXPECT_TRUE(strDefault.IsEmpty());
    EXPECT_EQ(0, strDefault.GetLength());
    // Callers hand the text straight to C functions, so even an empty string is a valid C string.
    ASSERT_NE(nullptr, static_cast<LPCSTR>(strDefault));
    EXPECT_STREQ("", strDefault);

    EXPECT_STREQ("", CString((LPCSTR)NULL));
    EXPECT_TRUE(CString((LPCSTR)NULL).IsEmpty());
    EXPECT_STREQ("", CString((const WCHAR*)NULL));
    EXPECT_TRUE(CString((const WCHAR*)NULL).IsEmpty());
    EXPECT_TRUE(CString("abc", 0).IsEmpty());

    EXPECT_EQ(5, CString("hello").GetLength());
    EXPECT_STREQ("abc", CString("abcdef", 3));
    EXPECT_EQ(3, CString("abcdef", 3).GetLength());
    // Multi-byte text is counted in bytes.
    EXPECT_EQ(4, CString("\x82\xa0\x82\xa2").GetLength());
}

TEST(CString, CopySharesTextButChangesStayApart)
{
    CString strOriginal("original");
    CString strCopy(strOriginal);
    EXPECT_EQ(static_cast<LPCSTR>(strOriginal), static_cast<LPCSTR>(strCopy));

    strCopy = "changed";
    EXPECT_STREQ("original", strOriginal);
    EXPECT_STREQ("changed", strCopy);

    CString strAssigned;
    strAssigned = strOriginal;
    strAssigned += "!";
    EXPECT_STREQ("original!", strAssigned);
    CString strEmptied(strOriginal);
    strEmptied.Empty();
    EXPECT_TRUE(strEmptied.IsEmpty());
    strOriginal = strOriginal;
    EXPECT_STREQ("original", strOriginal);

    CString strBuffer(strOriginal);
    char* pch = strBuffer.GetBufferSetLength(5);
    ASSERT_NE(nullptr, pch);
    pch[0] = 'O';
    EXPECT_STREQ("Origi", strBuffer) << "the old text is kept as far as it fits";
    EXPECT_STREQ("original", strOriginal) << "a buffer is never shared with a copy";
}

TEST(CString, TrimRemovesOnlyAsciiWhiteSpaceAtTheEnds)
{
    CString str(" \t\r\n\v\fA  B   C\xA0\f\v\n\r\t ");
    CString strShared(str);
    str.TrimLeft();
    EXPECT_STREQ("A  B   C\xA0\f\v\n\r\t ", str);
    str.TrimRight();
    EXPECT_STREQ("A  B   C\xA0", str);
    EXPECT_EQ(9, str.GetLength());
    EXPECT_STREQ(" \t\r\n\v\fA  B   C\xA0\f\v\n\r\t ", strShared);

    // A no-break space is not white space to trim, nor is any letter.
    CString strKept("\xA0" "x y\xA0");
    strKept.TrimLeft();
    strKept.TrimRight();
    EXPECT_STREQ("\xA0" "x y\xA0", strKept);

    CString strLeft(" \t\r\n\v\f "), strRight(strLeft), strNone;
    strLeft.TrimLeft();
    strRight.TrimRight();
    strNone.TrimLeft();
    strNone.TrimRight();
    EXPECT_TRUE(strLeft.IsEmpty());
    EXPECT_TRUE(strRight.IsEmpty());
    EXPECT_TRUE(strNone.IsEmpty());
}

TEST(CString, ConcatenatesAndCompares)
{
    CString strAbc("abc"), strDef("def");
    EXPECT_STREQ("abcdef", strAbc + strDef);
    EXPECT_STREQ("abc-", strAbc + "-");
    EXPECT_STREQ("-abc", "-" + strAbc);
    EXPECT_TRUE((CString() + CString()).IsEmpty());

    CString str(strAbc);
    str += strDef;
    str += "!";
    str += "";
    EXPECT_STREQ("abcdef!", str);
    EXPECT_STREQ("abc", strAbc);
    str += str;
    EXPECT_STREQ("abcdef!abcdef!", str);
    str += static_cast<LPCSTR>(str);
    EXPECT_STREQ("abcdef!abcdef!abcdef!abcdef!", str);
    EXPECT_EQ(28, str.GetLength());

    EXPECT_TRUE(strAbc == "abc");
    EXPECT_FALSE(strAbc != "abc");
    EXPECT_TRUE(strAbc != "abd");
    EXPECT_TRUE(strAbc != "ab");
    EXPECT_TRUE(strAbc != strDef);
    EXPECT_TRUE(CString() == "");
}

TEST(CString, ReplaceCountsAndLeavesSharedCopiesAlone)
{
    CString str("a\r\nb\rc\n");
    CString strShared(str);
    EXPECT_EQ(2, str.Replace('\r', ' '));
    EXPECT_EQ(2, str.Replace('\n', ' '));
    EXPECT_STREQ("a  b c ", str);
    EXPECT_STREQ("a\r\nb\rc\n", strShared);
    EXPECT_EQ(0, str.Replace('x', 'y'));
    CString strEmpty;
    EXPECT_EQ(0, strEmpty.Replace(' ', '_'));
}

TEST(CString, FormatNeverCutsTextOff)
{
    // Empty, around the sizes fixed buffers have, and far beyond them.
    for (size_t nLength : { 0u, 126u, 127u, 128u, 300u, 100000u })
    {
        std::string text(nLength, 'x');
        if (nLength > 0)
            text[nLength - 1] = 'E';
        CString str;
        str.Format("[%s]", text.c_str());
        EXPECT_EQ((int)nLength + 2, str.GetLength()) << "argument of " << nLength << " bytes";
        EXPECT_EQ("[" + text + "]", std::string(static_cast<LPCSTR>(str))) << "argument of " << nLength << " bytes";
    }
    CString strNumbers("stale");
    strNumbers.Format("%d/%02d %s%%", 2024, 7, "x");
    EXPECT_STREQ("2024/07 x%", strNumbers);
}

TEST(CString, ConvertsFromAndToUtf16)
{
    const std::string text = "Win32_BIOS SerialNumber 0123 ~!";
    CString str(tavlen_test::Utf8ToUtf16(text).c_str());
    EXPECT_STREQ(text.c_str(), str);

    BSTR bstr = str.AllocSysString();
    ASSERT_NE(nullptr, bstr);
    ASSERT_EQ(text.size(), ::SysStringLen(bstr));
    EXPECT_EQ(text, tavlen_test::Utf16ToUtf8(tavlen_test::WString(bstr, ::SysStringLen(bstr))));
    EXPECT_EQ(0, bstr[text.size()]);
    EXPECT_STREQ(text.c_str(), CString(bstr));
    ::SysFreeString(bstr);

    BSTR bstrEmpty = CString().AllocSysString();
    ASSERT_NE(nullptr, bstrEmpty) << "an empty text is still a BSTR";
    EXPECT_EQ(0u, ::SysStringLen(bstrEmpty));
    EXPECT_TRUE(CString(bstrEmpty).IsEmpty());
    ::SysFreeString(bstrEmpty);
}

TEST(CString, LoadStringOfMissingIdFailsAndEmpties)
{
    CString str("stale");
    EXPECT_FALSE(str.LoadString(kMissingStringId));
    EXPECT_TRUE(str.IsEmpty());
}

// That the window stays hidden and is gone at the end is the system's part, checked with its dialog contract.
TEST(Dialog, InitialisesBeforeTheLoopAndEndsCancelledOnClose)
{
    CProbeDlg dlg(WM_CLOSE);
    EXPECT_EQ(IDCANCEL, RunModal(dlg));
    EXPECT_EQ(1, dlg.m_nInitAt);
    EXPECT_NE(nullptr, dlg.m_hWndAtInit);
    EXPECT_TRUE(dlg.m_bButtonsAtInit) << "the dialog must come from template " << IDD_INVENTORY_DIALOG;
    EXPECT_EQ(2, dlg.m_nCancelAt) << "the dialog's default processing turns the close into a cancel";
    EXPECT_EQ(0, dlg.m_nOkAt);
}

TEST(Dialog, OkCommandEndsWithIdOk)
{
    CProbeDlg dlgAccelerator(WM_COMMAND, MAKEWPARAM(IDOK, 1));
    EXPECT_EQ(IDOK, RunModal(dlgAccelerator));
    EXPECT_EQ(2, dlgAccelerator.m_nOkAt);
    EXPECT_EQ(0, dlgAccelerator.m_nCancelAt);

    CNotifiedDlg dlgButton;
    EXPECT_EQ(IDOK, RunModal(dlgButton));
    EXPECT_EQ(2, dlgButton.m_nOkAt);
    EXPECT_EQ(0, dlgButton.m_nCancelAt) << "a focus notification from Cancel is not a click";
}

TEST(MessageMap, HandlerResultIsTheMessageResult)
{
    CIconDlg dlg(WM_COMMAND, IDOK);
    EXPECT_EQ(IDOK, RunModal(dlg));
    EXPECT_EQ(1, dlg.m_nDragIconQueries);
    EXPECT_EQ(reinterpret_cast<LRESULT>(kDragIcon), dlg.m_lDragIcon);
}

TEST(MessageMap, DerivedMapFallsBackToItsBases)
{
    CMarkedIconDlg dlgCancel(WM_COMMAND, IDCANCEL);
    EXPECT_EQ(IDCANCEL, RunModal(dlgCancel));
    EXPECT_EQ(1, dlgCancel.m_nMarks);
    EXPECT_EQ(reinterpret_cast<LRESULT>(kDragIcon), dlgCancel.m_lDragIcon);
    EXPECT_EQ(2, dlgCancel.m_nCancelAt);

    CMarkedIconDlg dlgOk(WM_COMMAND, IDOK);
    EXPECT_EQ(kOwnOkResult, RunModal(dlgOk)) << "the most derived map's entry comes first";
    EXPECT_EQ(0, dlgOk.m_nOkAt);
}

// The handler sees the close either way; only the system's own processing of it cancels an enabled dialog.
void ExpectSysClose(CSysCloseDlg&& dlg, INT_PTR nResult, int nCancelAt, int nOkAt)
{
    EXPECT_EQ(nResult, RunModal(dlg));
    EXPECT_EQ(2, dlg.m_nSysCloseAt);
    EXPECT_EQ(nCancelAt, dlg.m_nCancelAt);
    EXPECT_EQ(nOkAt, dlg.m_nOkAt);
}

TEST(MessageMap, SysCommandLeftToDefaultClosesTheDialog)
{
    ExpectSysClose(CSysCloseDlg(true), IDCANCEL, 3, 0);
}

TEST(MessageMap, SwallowedSysCommandKeepsTheDialogOpen)
{
    ExpectSysClose(CSysCloseDlg(false), IDOK, 0, 3);
}

TEST(MessageMap, SysCommandLeftToDefaultIsIgnoredWhileTheDialogIsDisabled)
{
    ExpectSysClose(CSysCloseDlg(true, false), IDOK, 0, 3);
}

TEST(Menu, AnOwnedMenuIsDestroyedWithItsObjectAndABorrowedOneIsNot)
{
    HMENU hOwned = ::CreatePopupMenu();
    {
        CMenu menu;
        ASSERT_TRUE(menu.Attach(hOwned));
        EXPECT_FALSE(menu.Attach(::CreatePopupMenu())) << "one menu per object";
        EXPECT_TRUE(menu.AppendMenu(MF_STRING, 0x10, "&About"));
        EXPECT_EQ(1, ::GetMenuItemCount(hOwned));
    }
    EXPECT_FALSE(::IsMenu(hOwned));

    HMENU hBorrowed = ::CreatePopupMenu();
    CMenu* pMenu = CMenu::FromHandle(hBorrowed);
    ASSERT_NE(nullptr, pMenu);
    EXPECT_EQ(pMenu, CMenu::FromHandle(hBorrowed)) << "one wrapper per handle";
    EXPECT_EQ(hBorrowed, pMenu->GetSafeHmenu());
    EXPECT_TRUE(pMenu->AppendMenu(MF_SEPARATOR));
    EXPECT_EQ(nullptr, CMenu::FromHandle(NULL));

    // A wrapper expires with its menu, or once detached; the next menu borrowed takes its place.
    HMENU hShortLived = ::CreatePopupMenu();
    CMenu* pShortLived = CMenu::FromHandle(hShortLived);
    ::DestroyMenu(hShortLived);
    HMENU hNext = ::CreatePopupMenu();
    EXPECT_EQ(pShortLived, CMenu::FromHandle(hNext));
    EXPECT_EQ(hNext, pShortLived->Detach());
    CMenu* pNext = CMenu::FromHandle(hNext);
    EXPECT_EQ(pShortLived, pNext);
    EXPECT_EQ(hNext, pNext->GetSafeHmenu()) << "a detached wrapper no longer stands for its menu";
    EXPECT_EQ(pMenu, CMenu::FromHandle(hBorrowed)) << "a live one is kept";
    ::DestroyMenu(hNext);

    CMenu detached;
    detached.Attach(hBorrowed);
    EXPECT_EQ(hBorrowed, detached.Detach());
    EXPECT_TRUE(::IsMenu(hBorrowed)) << "a detached menu outlives its object";
    EXPECT_EQ(1, ::GetMenuItemCount(hBorrowed));
    ::DestroyMenu(hBorrowed);
}

TEST(Framework, TheHelpFileReplacesOnlyTheFileNamesExtension)
{
    const struct { const char* pszPath; const char* pszExtension; } cases[] = {
        { "C:\\Program Files\\Tavlen\\Tavlen.exe", ".exe" },
        { "C:\\Tools.v2\\tavlen", "" },
        { "/opt/tavlen.d/tavlen", "" },
        { "/opt/tavlen.d/tavlen.tar.gz", ".gz" },
        { "tavlen.", "." },
        { "", "" },
    };
    for (const auto& c : cases)
    {
        std::string path = c.pszPath;
        EXPECT_STREQ(c.pszExtension, AfxFindExtension(&path[0])) << c.pszPath;
        EXPECT_EQ(path.c_str() + path.size() - strlen(c.pszExtension), AfxFindExtension(&path[0])) << c.pszPath;
    }
}

TEST(Framework, NoApplicationAndResourcesInTheModule)
{
    EXPECT_EQ(nullptr, AfxGetApp());
    HINSTANCE hModule = ::GetModuleHandleA(NULL);
    EXPECT_EQ(hModule, AfxGetResourceHandle());
    EXPECT_NE(nullptr, ::FindResourceA(hModule, MAKEINTRESOURCEA(IDD_INVENTORY_DIALOG), RT_DIALOG));
}

TEST(Framework, OleInitSucceedsTwice)
{
    EXPECT_TRUE(AfxOleInit());
    EXPECT_TRUE(AfxOleInit());
    // OLE needs a single-threaded apartment, which must now already exist on this thread.
    HRESULT hr = ::CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(S_FALSE, hr);
    if (SUCCEEDED(hr))
        ::CoUninitialize();
}
