// Test helpers for Windows: scratch folders, the program's path, processes, attributes and share locks.
#include "test_util.h"

#include <stdio.h>

namespace tavlen_test {

const char kPathSeparator = '\\';
const char* const kReportLineEnd = "\r\n";
const char* const kNullDevice = "NUL";

namespace {

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileA(child.c_str());
        } while (::FindNextFileA(hFind, &fd));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(path.c_str());
}

} // namespace

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
    RemoveTree(m_path);
}

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

void Unlock(void* lock)
{
    if (lock != NULL)
        ::CloseHandle(lock);
}

} // namespace tavlen_test

namespace tavlen_test {

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

} // namespace tavlen_test
