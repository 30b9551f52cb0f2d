// Test helpers for Windows: scratch folders, the program's path, processes, attributes and share locks.
#include "test_util.h"

#include <stdio.h>
#include <stdlib.h>

namespace tavlen_test {

const char kPathSeparator = '\\';
const char* const kReportLineEnd = "\r\n";
const char* const kNullDevice = "NUL";

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        std::string name = fd.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
    return names;
}

namespace {

// A full path with a drive in the long form, which no call cuts at MAX_PATH; others as they are.
WString LongForm(const std::string& path)
{
    WString wide = Utf8ToUtf16(path);
    return wide.size() > 2 && wide[1] == ':' && wide[2] == '\\' ? Utf8ToUtf16("\\\\?\\") + wide : wide;
}

// By UTF-16 names, as the tests make files that the ANSI code page cannot name, and folders past MAX_PATH.
void RemoveTree(const std::string& path)
{
    for (const std::string& name : ListFolderUtf8(path))
    {
        WString child = LongForm(path + "\\" + name);
        DWORD dwAttributes = ::GetFileAttributesW(child.c_str());
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
            RemoveTree(path + "\\" + name);
        else
            ::DeleteFileW(child.c_str());
    }
    ::RemoveDirectoryW(LongForm(path).c_str());
}

} // namespace

std::vector<std::string> ListFolderUtf8(const std::string& path)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW(LongForm(path + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        std::string name = Utf16ToUtf8(fd.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
    return names;
}

std::string ReadFileBytesUtf8(const std::string& path)
{
    std::string bytes;
    HANDLE hFile = ::CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                 OPEN_EXISTING, 0, NULL);
    char buf[4096];
    DWORD n;
    while (hFile != INVALID_HANDLE_VALUE && ::ReadFile(hFile, buf, sizeof(buf), &n, NULL) && n > 0)
        bytes.append(buf, n);
    if (hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(hFile);
    return bytes;
}

void WriteFileBytesUtf8(const std::string& path, const std::string& bytes)
{
    HANDLE hFile = ::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD n;
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    ::WriteFile(hFile, bytes.data(), (DWORD)bytes.size(), &n, NULL);
    ::CloseHandle(hFile);
}

bool MakeFolderUtf8(const std::string& path)
{
    return ::CreateDirectoryW(LongForm(path).c_str(), NULL) != FALSE;
}

TempDir::TempDir()
{
    char szBase[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szBase);
    for (unsigned n = ::GetTickCount() ^ ::GetCurrentProcessId();; ++n)
    {
        char szName[MAX_PATH + 32];
        snprintf(szName, sizeof(szName), "%stavlen-test-%08x", szBase, n);
        if (::CreateDirectoryA(szName, NULL))
        {
            m_path = szName;
            break;
        }
    }
}

TempDir::~TempDir()
{
    RemoveTree(AnsiToUtf8(m_path));
}

Terminal::Terminal() : m_path(kNullDevice) {}

Terminal::~Terminal() {}

std::string Terminal::Take()
{
    return std::string();
}

std::string TavlenExe()
{
    std::string path = TAVLEN_EXE;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& ch : path)
        if (ch == '/')
            ch = '\\';
    return path;
}

DWORD RunProcess(const WString& commandLine, const std::string& workDir, std::string* pStdout)
{
    SECURITY_ATTRIBUTES sa = { sizeof(sa), NULL, TRUE };
    HANDLE hRead = NULL, hWrite = NULL;
    if (pStdout != NULL && !::CreatePipe(&hRead, &hWrite, &sa, 0))
        return (DWORD)-1;
    if (hRead != NULL)
        ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (hWrite != NULL)
    {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = hWrite;
        si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION pi = {};
    WString cmd = commandLine, dir = AnsiToUtf16(workDir);
    BOOL bStarted = ::CreateProcessW(NULL, &cmd[0], NULL, NULL, hWrite != NULL, 0, NULL,
                                     dir.empty() ? NULL : dir.c_str(), &si, &pi);
    if (hWrite != NULL)
        ::CloseHandle(hWrite);
    if (!bStarted)
    {
        if (hRead != NULL)
            ::CloseHandle(hRead);
        return (DWORD)-1;
    }
    if (hRead != NULL)
    {
        char buf[4096];
        DWORD n;
        while (::ReadFile(hRead, buf, sizeof(buf), &n, NULL) && n > 0)
            pStdout->append(buf, n);
        ::CloseHandle(hRead);
    }
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD dwExit = 0;
    ::GetExitCodeProcess(pi.hProcess, &dwExit);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    return dwExit;
}

// As CreateProcessA would convert it.
DWORD RunProcess(const std::string& commandLine, const std::string& workDir, std::string* pStdout)
{
    return RunProcess(AnsiToUtf16(commandLine), workDir, pStdout);
}

UINT AnsiCodePage()
{
    return ::GetACP();
}

void MarkFile(const std::string& path)
{
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

bool IsMarked(const std::string& path)
{
    DWORD dwAttributes = ::GetFileAttributesA(path.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_HIDDEN);
}

bool MakeReadOnly(const std::string& path)
{
    return ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
}

void* LockExclusively(const std::string& path)
{
    HANDLE hLock = ::CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    return hLock != INVALID_HANDLE_VALUE ? hLock : NULL;
}

void* HoldAgainstDeletion(const std::string& path)
{
    HANDLE hHold = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                 OPEN_EXISTING, 0, NULL);
    return hHold != INVALID_HANDLE_VALUE ? hHold : NULL;
}

long long SizeWithoutOpening(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA(path.c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return -1;
    ::FindClose(hFind);
    return (long long)fd.nFileSizeHigh << 32 | fd.nFileSizeLow;
}

std::string ShortPathOf(const std::string& path)
{
    char szShort[MAX_PATH];
    DWORD nLength = ::GetShortPathNameA(path.c_str(), szShort, MAX_PATH);
    return nLength > 0 && nLength < MAX_PATH && path != szShort ? szShort : std::string();
}

// Wine starts a Linux program without waiting for it, so its status comes back in a file of its own, named
// anew each time and written in place, as the folder may let no file be renamed or removed.
int RunHostShell(const std::string& script, const std::string& workDir)
{
    static int s_nRuns = 0;
    if (!IsWine())
        return -1;
    const std::string name = ".host-status-" + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(++s_nRuns);
    RunProcess(Utf8ToUtf16("Z:\\bin\\sh -c \"(" + script + "); echo $? > " + name + "\""), workDir);
    const std::string status = JoinPath(workDir, name);
    std::string text;
    for (int nWaited = 0; nWaited < 10000 && (text.empty() || text.back() != '\n'); nWaited += 20)
    {
        ::Sleep(20);
        text = FileExists(status) ? ReadFileBytes(status) : std::string();
    }
    ::DeleteFileA(status.c_str());
    return !text.empty() && text.back() == '\n' ? atoi(text.c_str()) : -1;
}

void Unlock(void* lock)
{
    if (lock != NULL)
        ::CloseHandle(lock);
}

RECT FindDrawnIcon(HWND hWnd, HICON)
{
    RECT client, found = { 0, 0, 0, 0 };
    ::GetClientRect(hWnd, &client);
    HDC hDC = ::GetDC(hWnd);
    for (int y = 0; y < client.bottom; y++)
        for (int x = 0; x < client.right; x++)
        {
            if (::GetPixel(hDC, x, y) != RGB(255, 0, 255))
                continue;
            RECT pixel = { x, y, x + 1, y + 1 };
            ::UnionRect(&found, &found, &pixel);
        }
    ::ReleaseDC(hWnd, hDC);
    return found;
}

namespace {

HWND g_hHelpFor;
UINT g_uHelpCommand;
std::string g_helpFile;

// Stands for the help program, whose window the system's help call looks for by its class before starting it.
LRESULT CALLBACK HelpProgramProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    // The request: its size and command, two numbers, then where in it the help file's name is.
    const BYTE* pRequest = static_cast<const BYTE*>(reinterpret_cast<const COPYDATASTRUCT*>(lParam)->lpData);
    g_hHelpFor = reinterpret_cast<HWND>(wParam);
    g_uHelpCommand = *reinterpret_cast<const WORD*>(pRequest + 2);
    g_helpFile = reinterpret_cast<const char*>(pRequest + *reinterpret_cast<const WORD*>(pRequest + 12));
    return TRUE;
}

HWND MakeHelpProgram()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &HelpProgramProc;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.lpszClassName = "MS_WINHELP";
    ::RegisterClassA(&wc);
    return ::CreateWindowA("MS_WINHELP", "", 0, 0, 0, 0, 0, NULL, NULL, wc.hInstance, NULL);
}

} // namespace

std::string TakeHelpRequest(HWND* phWnd, UINT* puCommand)
{
    static const HWND s_hHelpProgram = MakeHelpProgram();
    *phWnd = g_hHelpFor;
    *puCommand = g_uHelpCommand;
    std::string file;
    file.swap(g_helpFile);
    return s_hHelpProgram != NULL ? file : "no window stands for the help program";
}

} // namespace tavlen_test
