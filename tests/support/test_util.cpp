// Helpers shared by the tests: scratch folders, whole-file reads and writes, and running the real program.
#include "test_util.h"

#include <stdio.h>

namespace tavlen_test {

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

std::vector<std::string> TempDir::List() const
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((m_path + "\\*").c_str(), &fd);
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

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    FILE* pFile = fopen(path.c_str(), "rb");
    if (pFile == NULL)
        return bytes;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pFile)) > 0)
        bytes.append(buf, n);
    fclose(pFile);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    FILE* pFile = fopen(path.c_str(), "wb");
    if (pFile == NULL)
        return;
    fwrite(bytes.data(), 1, bytes.size(), pFile);
    fclose(pFile);
}

std::vector<std::string> SplitCrlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(text.substr(start, pos - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string LocalStamp()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    char sz[32];
    snprintf(sz, sizeof(sz), "%04d/%02d/%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
             st.wSecond);
    return sz;
}

bool MatchesStampLayout(const std::string& line)
{
    const std::string layout = "####/##/## ##:##:##";
    if (line.size() != layout.size())
        return false;
    for (size_t i = 0; i < layout.size(); i++)
    {
        bool bDigit = line[i] >= '0' && line[i] <= '9';
        if (layout[i] == '#' ? !bDigit : line[i] != layout[i])
            return false;
    }
    return true;
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

DWORD RunProcess(const std::string& commandLine, const std::string& workDir, std::string* pStdout)
{
    SECURITY_ATTRIBUTES sa = { sizeof(sa), NULL, TRUE };
    HANDLE hRead = NULL, hWrite = NULL;
    if (pStdout != NULL && !::CreatePipe(&hRead, &hWrite, &sa, 0))
        return (DWORD)-1;
    if (hRead != NULL)
        ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (hWrite != NULL)
    {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = hWrite;
        si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION pi = {};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(0);
    BOOL bStarted = ::CreateProcessA(NULL, cmd.data(), NULL, NULL, hWrite != NULL, 0, NULL,
                                     workDir.empty() ? NULL : workDir.c_str(), &si, &pi);
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

bool IsWine()
{
    HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    return hNtdll != NULL && ::GetProcAddress(hNtdll, "wine_get_version") != NULL;
}

std::string Utf16ToUtf8(const WString& text)
{
    if (text.empty())
        return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string out(n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], n, NULL, NULL);
    return out;
}

WString Utf8ToUtf16(const std::string& text)
{
    if (text.empty())
        return WString();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0);
    WString out(n, 0);
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], n);
    return out;
}

} // namespace tavlen_test
