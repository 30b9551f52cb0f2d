// The Win32, COM and WMI behaviour the program relies on, checked against whichever system it is built for.
#include <windows.h>
#include <ole2.h>
#include <wbemcli.h>

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_wbem.h"
#include "res/resource.h"
#include "test_util.h"

using tavlen_test::Utf8ToUtf16;
using tavlen_test::WString;

namespace {

// In this test program's own resources: "0123456789", alone in its block of sixteen.
const UINT kTenDigits = 0x7A50;

BSTR MakeBstr(const std::string& text)
{
    WString wide = Utf8ToUtf16(text);
    return ::SysAllocStringLen(wide.data(), (UINT)wide.size());
}

TEST(Bstr, LengthIsCountedInCharactersAndKeptBeforeTheText)
{
    const WCHAR withNul[] = { 'a', 0, 'b' };
    BSTR bstr = ::SysAllocStringLen(withNul, 3);
    ASSERT_NE(nullptr, bstr);
    EXPECT_EQ(3u, ::SysStringLen(bstr)) << "an inner NUL does not end a BSTR";
    EXPECT_EQ(0, bstr[3]) << "a BSTR is terminated all the same";
    EXPECT_EQ(6u, reinterpret_cast<const DWORD*>(bstr)[-1]) << "the prefix counts bytes";
    ::SysFreeString(bstr);

    BSTR bstrText = MakeBstr("Win32_BIOS");
    BSTR bstrCopy = ::SysAllocString(bstrText);
    EXPECT_EQ(10u, ::SysStringLen(bstrCopy));
    ::SysFreeString(bstrText);
    ::SysFreeString(bstrCopy);

    BSTR bstrBlank = ::SysAllocStringLen(NULL, 4);
    ASSERT_NE(nullptr, bstrBlank);
    EXPECT_EQ(4u, ::SysStringLen(bstrBlank));
    EXPECT_EQ(0, bstrBlank[4]);
    ::SysFreeString(bstrBlank);

    EXPECT_EQ(nullptr, ::SysAllocString(NULL));
    EXPECT_EQ(0u, ::SysStringLen(NULL));
    ::SysFreeString(NULL);
}

TEST(Variant, ClearFreesItsStringAndTextConversionKeepsNothingBehind)
{
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(NULL)));
    fake_wbem::AllocationSpy::Install();
    long nLiveBefore = fake_wbem::AllocationSpy::Live();

    VARIANT var;
    ::VariantInit(&var);
    EXPECT_EQ(VT_EMPTY, V_VT(&var));
    V_VT(&var) = VT_BSTR;
    V_BSTR(&var) = MakeBstr("SN-0042");
    EXPECT_EQ(S_OK, ::VariantClear(&var));
    EXPECT_EQ(VT_EMPTY, V_VT(&var));
    EXPECT_EQ(nLiveBefore, fake_wbem::AllocationSpy::Live()) << "the string was freed";

    V_VT(&var) = VT_I4;
    V_I4(&var) = -42;
    ASSERT_EQ(S_OK, ::VariantChangeType(&var, &var, 0, VT_BSTR)) << "in place, as the client converts";
    ASSERT_EQ(VT_BSTR, V_VT(&var));
    EXPECT_EQ("-42", tavlen_test::Utf16ToUtf8(WString(V_BSTR(&var), ::SysStringLen(V_BSTR(&var)))));
    ::VariantClear(&var);

    V_VT(&var) = VT_NULL;
    EXPECT_TRUE(FAILED(::VariantChangeType(&var, &var, 0, VT_BSTR))) << "null has no text";
    EXPECT_EQ(VT_NULL, V_VT(&var)) << "a failed conversion leaves the value";
    EXPECT_EQ(nLiveBefore, fake_wbem::AllocationSpy::Live());
}

TEST(CodePage, Utf8AndUtf16ConvertWithReplacementCharacters)
{
    WCHAR wide[8] = {};
    EXPECT_EQ(3, ::MultiByteToWideChar(CP_UTF8, 0, "a\xff" "b", 3, wide, 8));
    EXPECT_EQ(WString({ 'a', 0xFFFD, 'b' }), WString(wide, 3)) << "an invalid byte becomes U+FFFD";
    EXPECT_EQ(4, ::MultiByteToWideChar(CP_UTF8, 0, "abc", -1, NULL, 0)) << "-1 counts the terminator";
    EXPECT_EQ(0, ::MultiByteToWideChar(CP_UTF8, 0, "abcdef", 6, wide, 2));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, ::GetLastError());

    const WCHAR loneSurrogate[] = { 'x', 0xD800, 'y' };
    char narrow[16] = {};
    EXPECT_EQ(5, ::WideCharToMultiByte(CP_UTF8, 0, loneSurrogate, 3, narrow, sizeof(narrow), NULL, NULL));
    EXPECT_EQ("x\xEF\xBF\xBDy", std::string(narrow, 5));
    const WCHAR pair[] = { 0xD83D, 0xDE00, 0 };
    EXPECT_EQ(5, ::WideCharToMultiByte(CP_UTF8, 0, pair, -1, narrow, sizeof(narrow), NULL, NULL));
    EXPECT_STREQ("\xF0\x9F\x98\x80", narrow);
    EXPECT_EQ(0, ::WideCharToMultiByte(CP_UTF8, 0, pair, -1, narrow, 2, NULL, NULL));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, ::GetLastError());
}

TEST(StringResource, LoadsWholeOrCutToTheBufferAndFailsWhenMissing)
{
    HINSTANCE hModule = ::GetModuleHandleA(NULL);
    char buf[32];
    EXPECT_EQ(10, ::LoadStringA(hModule, kTenDigits, buf, sizeof(buf)));
    EXPECT_STREQ("0123456789", buf);
    EXPECT_EQ(10, ::LoadStringA(hModule, kTenDigits, buf, 11)) << "just fits with its terminator";
    EXPECT_EQ(9, ::LoadStringA(hModule, kTenDigits, buf, 10)) << "cut off, and still terminated";
    EXPECT_STREQ("012345678", buf);
    EXPECT_EQ(0, ::LoadStringA(hModule, kTenDigits, buf, 1));
    EXPECT_STREQ("", buf);

    EXPECT_EQ(0, ::LoadStringA(hModule, kTenDigits + 1, buf, sizeof(buf))) << "missing from a block that exists";
    EXPECT_STREQ("", buf);
    EXPECT_EQ(0, ::LoadStringA(hModule, 0x6F00, buf, sizeof(buf))) << "missing with its whole block";
    EXPECT_STREQ("", buf);
    EXPECT_EQ(nullptr, ::FindResourceA(hModule, MAKEINTRESOURCEA(0x6F00 / 16 + 1), RT_STRING));
}

TEST(Resource, IsFoundOnlyUnderItsOwnType)
{
    HINSTANCE hModule = ::GetModuleHandleA(NULL);
    const UINT nTenDigitsBlock = kTenDigits / 16 + 1;
    ASSERT_NE(nullptr, ::FindResourceA(hModule, MAKEINTRESOURCEA(IDD_INVENTORY_DIALOG), RT_DIALOG));
    ASSERT_NE(nullptr, ::FindResourceA(hModule, MAKEINTRESOURCEA(nTenDigitsBlock), RT_STRING));
    EXPECT_EQ(nullptr, ::FindResourceA(hModule, MAKEINTRESOURCEA(IDD_INVENTORY_DIALOG), RT_STRING));
    EXPECT_EQ(nullptr, ::FindResourceA(hModule, MAKEINTRESOURCEA(nTenDigitsBlock), RT_DIALOG));

    // A string whose block has the dialog's number is missing, not read out of the dialog template.
    char buf[32] = "stale";
    EXPECT_EQ(0, ::LoadStringA(hModule, (IDD_INVENTORY_DIALOG - 1) * 16, buf, sizeof(buf)));
    EXPECT_STREQ("", buf);
}

TEST(CreateFile, CreatingNewRefusesAnExistingFileAndEachFileKeepsItsOwnIdentity)
{
    const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    tavlen_test::TempDir dir;
    std::string taken = dir.File("taken.tmp"), made = dir.File("made.tmp");
    tavlen_test::WriteFileBytes(taken, "kept");
    tavlen_test::WString takenW = tavlen_test::AnsiToUtf16(taken), madeW = tavlen_test::AnsiToUtf16(made);
    HANDLE hTaken = ::CreateFileW(takenW.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll, NULL,
                                  OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hTaken);
    EXPECT_EQ(FILE_TYPE_DISK, ::GetFileType(hTaken));

    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, ::CreateFileW(takenW.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                                                  FILE_ATTRIBUTE_NORMAL, NULL)) << "the name is taken";
    EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, ::GetLastError());
    EXPECT_EQ("kept", tavlen_test::ReadFileBytes(taken));

    // Only looked at, the file is still itself, and the new one is another.
    HANDLE hNew = ::CreateFileW(madeW.c_str(), GENERIC_WRITE | DELETE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    HANDLE hLook = ::CreateFileW(takenW.c_str(), FILE_READ_ATTRIBUTES, kShareAll, NULL, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hNew);
    ASSERT_NE(INVALID_HANDLE_VALUE, hLook);
    BY_HANDLE_FILE_INFORMATION info[3];
    ASSERT_TRUE(::GetFileInformationByHandle(hTaken, &info[0]) && ::GetFileInformationByHandle(hLook, &info[1]) &&
                ::GetFileInformationByHandle(hNew, &info[2]));
    EXPECT_EQ(info[0].dwVolumeSerialNumber, info[1].dwVolumeSerialNumber);
    EXPECT_EQ(info[0].dwVolumeSerialNumber, info[2].dwVolumeSerialNumber);
    EXPECT_TRUE(info[0].nFileIndexLow == info[1].nFileIndexLow && info[0].nFileIndexHigh == info[1].nFileIndexHigh);
    EXPECT_FALSE(info[0].nFileIndexLow == info[2].nFileIndexLow && info[0].nFileIndexHigh == info[2].nFileIndexHigh);
    ::CloseHandle(hLook);
    ::CloseHandle(hTaken);

    // The runtime closes a duplicate; the first handle outlives it.
    HANDLE hDuplicate = NULL;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), hNew, ::GetCurrentProcess(), &hDuplicate, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS));
    int fd = ::_open_osfhandle((intptr_t)hDuplicate, _O_TEXT | _O_WRONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(4, ::_write(fd, "new\n", 4)) << "the count is of the bytes given, whatever the line end became";
    EXPECT_EQ(0, ::_close(fd));
    EXPECT_TRUE(::GetFileInformationByHandle(hNew, &info[2]));
    EXPECT_TRUE(::CloseHandle(hNew));
    EXPECT_EQ(std::string("new") + tavlen_test::kReportLineEnd, tavlen_test::ReadFileBytes(made));
}

TEST(FullPathName, AsksForTheSizeItNeedsAndPointsAtTheName)
{
    using tavlen_test::Utf8ToUtf16;
    tavlen_test::TempDir dir;
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.path().c_str()));
    const tavlen_test::WString name = Utf8ToUtf16("report.txt");
    DWORD nNeeded = ::GetFullPathNameW(name.c_str(), 0, NULL, NULL);
    tavlen_test::WString expected = tavlen_test::AnsiToUtf16(dir.File("report.txt"));
    ASSERT_EQ(expected.size() + 1, nNeeded) << "the size with its terminator";

    std::vector<WCHAR> buf(nNeeded);
    WCHAR* pszName = NULL;
    EXPECT_EQ(nNeeded, ::GetFullPathNameW(name.c_str(), nNeeded - 1, buf.data(), &pszName)) << "one too small";
    EXPECT_EQ(nNeeded - 1, ::GetFullPathNameW(name.c_str(), nNeeded, buf.data(), &pszName));
    EXPECT_EQ(expected, tavlen_test::WString(buf.data()));
    ASSERT_NE(nullptr, pszName);
    EXPECT_EQ(name, tavlen_test::WString(pszName));

    tavlen_test::WString strDir = tavlen_test::AnsiToUtf16(dir.path() + tavlen_test::kPathSeparator);
    std::vector<WCHAR> dirBuf(strDir.size() + 16);
    pszName = buf.data();
    EXPECT_EQ(strDir.size(), ::GetFullPathNameW(strDir.c_str(), (DWORD)dirBuf.size(), dirBuf.data(), &pszName));
    EXPECT_EQ(nullptr, pszName) << "a folder's path names no file";
    EXPECT_EQ(0u, ::GetFullPathNameW(tavlen_test::WString().c_str(), (DWORD)buf.size(), buf.data(), &pszName));
}

namespace {

HANDLE g_hSetLater;

void SetLater(void*)
{
    ::Sleep(20);
    ::SetEvent(g_hSetLater);
}

void SetNow(void* pv)
{
    ::SetEvent(static_cast<HANDLE>(pv));
}

} // namespace

// A manual-reset event: a wait ends when its time has passed, or once another thread sets it, which then stays
// set for every wait after. No set is lost, however close it comes to the start of a wait.
TEST(Event, AWaitEndsAtItsTimeOrWhenAnotherThreadSetsTheEvent)
{
    g_hSetLater = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    ASSERT_NE(nullptr, g_hSetLater);
    DWORD dwStart = ::GetTickCount();
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, ::WaitForSingleObject(g_hSetLater, 50));
    EXPECT_GE(::GetTickCount() - dwStart, 40u);
    ASSERT_NE((uintptr_t)-1, _beginthread(SetLater, 0, NULL));
    dwStart = ::GetTickCount();
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, ::WaitForSingleObject(g_hSetLater, 5000));
    EXPECT_LT(::GetTickCount() - dwStart, 2000u);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, ::WaitForSingleObject(g_hSetLater, 0)) << "still set";
    EXPECT_TRUE(::CloseHandle(g_hSetLater));

    std::vector<HANDLE> events(200);
    for (HANDLE& hEvent : events)
    {
        hEvent = ::CreateEventA(NULL, TRUE, FALSE, NULL);
        ASSERT_NE((uintptr_t)-1, _beginthread(SetNow, 0, hEvent));
        ASSERT_EQ((DWORD)WAIT_OBJECT_0, ::WaitForSingleObject(hEvent, 10000));
    }
    ::Sleep(100);  // until the last setter has returned
    for (HANDLE hEvent : events)
        EXPECT_TRUE(::CloseHandle(hEvent));
}

TEST(Security, SecondCallInAProcessIsTooLate)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)));
    EXPECT_EQ(S_OK, ::CoInitializeSecurity(NULL, -1, NULL, NULL, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                           RPC_C_IMP_LEVEL_IMPERSONATE, NULL, EOAC_SECURE_REFS, NULL));
    // Wine takes the second call too.
    TODO_WINE_EXPECT_TRUE(RPC_E_TOO_LATE == ::CoInitializeSecurity(NULL, -1, NULL, NULL, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                                                   RPC_C_IMP_LEVEL_IMPERSONATE, NULL, EOAC_SECURE_REFS,
                                                                   NULL));
}

// The system's own management service, opened as the program opens it.
class WbemContract : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(NULL)));
        ASSERT_TRUE(SUCCEEDED(::CoInitializeSecurity(NULL, -1, NULL, NULL, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                                     RPC_C_IMP_LEVEL_IMPERSONATE, NULL, EOAC_SECURE_REFS, NULL)));
        IWbemLocator* pLocator = NULL;
        ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_WbemLocator, NULL, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                           reinterpret_cast<void**>(&pLocator)));
        BSTR bstrNamespace = MakeBstr("\\\\.\\root\\cimv2");
        HRESULT hr = pLocator->ConnectServer(bstrNamespace, NULL, NULL, NULL, 0, NULL, NULL, &m_pServices);
        ::SysFreeString(bstrNamespace);
        pLocator->Release();
        ASSERT_EQ(S_OK, hr);
    }

    void TearDown() override
    {
        if (m_pServices != NULL)
            m_pServices->Release();
    }

    HRESULT Enumerate(const std::string& strClass, IEnumWbemClassObject** ppEnum)
    {
        BSTR bstrClass = MakeBstr(strClass);
        HRESULT hr = m_pServices->CreateInstanceEnum(bstrClass, WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY,
                                                     NULL, ppEnum);
        ::SysFreeString(bstrClass);
        return hr;
    }

    HRESULT Get(IWbemClassObject* pObject, const std::string& strProperty, VARIANT* pVar)
    {
        WString name = Utf8ToUtf16(strProperty);
        ::VariantInit(pVar);
        return pObject->Get(name.c_str(), 0, pVar, NULL, NULL);
    }

    // An enumeration that has handed out every instance ends with a count of zero and no object.
    static void ExpectEnded(IEnumWbemClassObject* pEnum)
    {
        IWbemClassObject* pObject = NULL;
        ULONG uReturned = 7;
        EXPECT_EQ(WBEM_S_FALSE, pEnum->Next(WBEM_INFINITE, 1, &pObject, &uReturned));
        EXPECT_EQ(0u, uReturned);
        EXPECT_EQ(nullptr, pObject);
        pEnum->Release();
    }

    IWbemServices* m_pServices = NULL;
};

// The program asks for both: the flags that make an enumeration answer at once, and a proxy's own levels, which an
// in-process service takes as Wine's does, or refuses for want of a proxy as the stand-in's does.
TEST_F(WbemContract, AnEnumerationThatHasNoMoreInstancesReturnsACountOfZero)
{
    IEnumWbemClassObject* pEnum = NULL;
    ASSERT_EQ(S_OK, Enumerate("Win32_BIOS", &pEnum));
    HRESULT hr = ::CoSetProxyBlanket(pEnum, RPC_C_AUTHN_DEFAULT, RPC_C_AUTHZ_DEFAULT, COLE_DEFAULT_PRINCIPAL,
                                     RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE, COLE_DEFAULT_AUTHINFO,
                                     EOAC_DEFAULT);
    EXPECT_TRUE(hr == S_OK || hr == E_NOINTERFACE) << std::hex << hr;
    IWbemClassObject* pObject = NULL;
    ULONG uReturned = 0;
    EXPECT_EQ(WBEM_S_NO_ERROR, pEnum->Next(WBEM_INFINITE, 1, &pObject, &uReturned));
    ASSERT_EQ(1u, uReturned);
    pObject->Release();
    ExpectEnded(pEnum);
}

// A class the service holds no instance of gives the program none: Windows refuses to enumerate it, and Wine
// enumerates it and its first Next ends the enumeration. Either way, nothing is handed back.
TEST_F(WbemContract, AClassWithoutInstancesGivesNone)
{
    IEnumWbemClassObject* pEnum = NULL;
    HRESULT hr = Enumerate("Win32_NoSuchClass", &pEnum);
    EXPECT_EQ(FAILED(hr) ? (HRESULT)WBEM_E_INVALID_CLASS : S_OK, hr);
    ASSERT_EQ(FAILED(hr), pEnum == NULL) << "an enumerator exactly where the call succeeds";
    if (pEnum != NULL)
        ExpectEnded(pEnum);
}

TEST_F(WbemContract, GetOfAMissingPropertyFailsAndOfAKnownOneGivesTextOrNull)
{
    IEnumWbemClassObject* pEnum = NULL;
    ASSERT_EQ(S_OK, Enumerate("Win32_OperatingSystem", &pEnum));
    IWbemClassObject* pObject = NULL;
    ULONG uReturned = 0;
    pEnum->Next(WBEM_INFINITE, 1, &pObject, &uReturned);
    pEnum->Release();
    ASSERT_EQ(1u, uReturned);

    VARIANT var;
    EXPECT_EQ(WBEM_E_NOT_FOUND, Get(pObject, "NoSuchProperty", &var));
    ::VariantClear(&var);
    ASSERT_EQ(WBEM_S_NO_ERROR, Get(pObject, "caption", &var)) << "property names ignore case";
    EXPECT_EQ(VT_BSTR, V_VT(&var));
    EXPECT_GT(::SysStringLen(V_BSTR(&var)), 0u);
    ::VariantClear(&var);
    ASSERT_EQ(WBEM_S_NO_ERROR, Get(pObject, "CSDVersion", &var));
    EXPECT_TRUE(V_VT(&var) == VT_BSTR || V_VT(&var) == VT_NULL);
    ::VariantClear(&var);
    pObject->Release();
}

// A dialog procedure that writes down, in order, what reached it.
struct DialogLog
{
    explicit DialogLog(UINT nPost) : nPostAtInit(nPost) {}
    UINT nPostAtInit;
    std::vector<UINT> messages;
    bool bVisibleAtInit = true, bVisibleAtEnd = true;
    HWND hWnd = NULL;
};

INT_PTR CALLBACK LoggingDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    static DialogLog* s_pLog = NULL;
    if (message == WM_INITDIALOG)
    {
        s_pLog = reinterpret_cast<DialogLog*>(lParam);
        s_pLog->bVisibleAtInit = ::IsWindowVisible(hWnd) != FALSE;
        s_pLog->hWnd = hWnd;
        tavlen_test::StartWatchdog(hWnd);
        ::PostMessageA(hWnd, s_pLog->nPostAtInit, 0, 0);
    }
    if (message == WM_INITDIALOG || message == WM_USER || message == WM_COMMAND)
        s_pLog->messages.push_back(message == WM_COMMAND ? LOWORD(wParam) : message);
    if (message == WM_USER)
        ::EndDialog(hWnd, 7);
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        s_pLog->bVisibleAtEnd = ::IsWindowVisible(hWnd) != FALSE;
        ::EndDialog(hWnd, LOWORD(wParam));
    }
    return message == WM_INITDIALOG || message == WM_USER || message == WM_COMMAND;
}

INT_PTR RunLoggedDialog(DialogLog& log, UINT nTemplate = IDD_INVENTORY_DIALOG)
{
    return ::DialogBoxParamA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(nTemplate), NULL, &LoggingDialogProc,
                             reinterpret_cast<LPARAM>(&log));
}

TEST(ModalDialog, InitDialogArrivesBeforeTheLoopTakesAPostedMessage)
{
    DialogLog log{ WM_USER };
    EXPECT_EQ(7, RunLoggedDialog(log));
    EXPECT_EQ(std::vector<UINT>({ WM_INITDIALOG, WM_USER }), log.messages);
    EXPECT_FALSE(log.bVisibleAtInit);
}

TEST(ModalDialog, APostedCloseEndsTheDialogAsCancelled)
{
    DialogLog log{ WM_CLOSE };
    EXPECT_EQ(IDCANCEL, RunLoggedDialog(log));
    EXPECT_EQ(std::vector<UINT>({ WM_INITDIALOG, IDCANCEL }), log.messages);
    // The program relies on a close queued during initialisation ending the dialog before it is shown.
    EXPECT_FALSE(log.bVisibleAtEnd);
    EXPECT_FALSE(::IsWindow(log.hWnd));
}

TEST(ModalDialog, AMissingTemplateFailsWithoutCallingTheProcedure)
{
    DialogLog log{ WM_USER };
    EXPECT_EQ(-1, RunLoggedDialog(log, 0x7A5A));
    EXPECT_TRUE(log.messages.empty());
}

TEST(Menu, ItemsReadBackByCommandAndPositionAndTextCutToTheBuffer)
{
    HMENU hMenu = ::CreatePopupMenu();
    ASSERT_NE(nullptr, hMenu);
    EXPECT_EQ(0, ::GetMenuItemCount(hMenu));
    ASSERT_TRUE(::AppendMenuA(hMenu, MF_STRING, 0x10, "&About..."));
    ASSERT_TRUE(::AppendMenuA(hMenu, MF_SEPARATOR, 0, NULL));
    EXPECT_EQ(2, ::GetMenuItemCount(hMenu));
    EXPECT_EQ(0x10u, ::GetMenuItemID(hMenu, 0));
    EXPECT_EQ(UINT(-1), ::GetMenuItemID(hMenu, 2));
    EXPECT_TRUE(::GetMenuState(hMenu, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(0u, ::GetMenuState(hMenu, 0x10, MF_BYCOMMAND) & MF_SEPARATOR);
    EXPECT_EQ(UINT(-1), ::GetMenuState(hMenu, 0x20, MF_BYCOMMAND));

    char szText[16];
    EXPECT_EQ(9, ::GetMenuStringA(hMenu, 0x10, szText, sizeof(szText), MF_BYCOMMAND));
    EXPECT_STREQ("&About...", szText);
    EXPECT_EQ(9, ::GetMenuStringA(hMenu, 0x10, NULL, 0, MF_BYCOMMAND)) << "without a buffer, the length";
    EXPECT_EQ(3, ::GetMenuStringA(hMenu, 0, szText, 4, MF_BYPOSITION)) << "cut to the buffer";
    EXPECT_EQ(0, ::GetMenuStringA(hMenu, 0x20, szText, sizeof(szText), MF_BYCOMMAND));

    EXPECT_TRUE(::DestroyMenu(hMenu));
    EXPECT_FALSE(::IsMenu(hMenu));
    EXPECT_EQ(-1, ::GetMenuItemCount(hMenu));
    EXPECT_FALSE(::AppendMenuA(hMenu, MF_STRING, 0x10, "x"));
}

// Checks a window's system menu and icons from inside its dialog, where the window exists.
INT_PTR CALLBACK SystemMenuDialogProc(HWND hWnd, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    HMENU hMenu = ::GetSystemMenu(hWnd, FALSE);
    EXPECT_NE(nullptr, hMenu);
    EXPECT_EQ(hMenu, ::GetSystemMenu(hWnd, FALSE)) << "the window keeps its copy";
    int nItems = ::GetMenuItemCount(hMenu);
    EXPECT_NE(UINT(-1), ::GetMenuState(hMenu, SC_CLOSE, MF_BYCOMMAND));
    ::AppendMenuA(hMenu, MF_STRING, 0x10, "&About...");
    EXPECT_EQ(nItems + 1, ::GetMenuItemCount(::GetSystemMenu(hWnd, FALSE)));
    EXPECT_EQ(nullptr, ::GetSystemMenu(hWnd, TRUE)) << "reverting gives no menu";
    EXPECT_EQ(nItems, ::GetMenuItemCount(::GetSystemMenu(hWnd, FALSE)));

    HICON hIcon = ::LoadIconA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDR_MAINFRAME));
    EXPECT_NE(nullptr, hIcon);
    EXPECT_EQ(0, ::SendMessageA(hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon)));
    EXPECT_EQ(reinterpret_cast<LRESULT>(hIcon), ::SendMessageA(hWnd, WM_SETICON, ICON_BIG, 0)) << "the old one";
    EXPECT_EQ(0, ::SendMessageA(hWnd, WM_GETICON, ICON_BIG, 0));

    EXPECT_FALSE(::IsIconic(hWnd));
    ::ShowWindow(hWnd, SW_MINIMIZE);
    EXPECT_TRUE(::IsIconic(hWnd));
    ::EndDialog(hWnd, IDOK);
    return TRUE;
}

TEST(SystemMenu, EachWindowHasItsOwnCopyUntilRevertedAndKeepsItsIcons)
{
    EXPECT_EQ(IDOK, ::DialogBoxParamA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_INVENTORY_DIALOG), NULL,
                                      &SystemMenuDialogProc, 0));
}

} // namespace
