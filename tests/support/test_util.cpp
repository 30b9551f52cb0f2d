// Helpers shared by the tests that read the same on every system: files, lines, time stamps and UTF-16.
#include "test_util.h"

#include <stdio.h>

namespace tavlen_test {

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

std::string JoinPath(const std::string& dir, const std::string& name)
{
    return dir + kPathSeparator + name;
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& separator)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = text.find(separator, start)) != std::string::npos; start = pos + separator.size())
        lines.push_back(text.substr(start, pos - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string Trim(const std::string& text)
{
    const char* const kSpace = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(kSpace);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

std::string LocalStamp()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    char sz[64];
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

bool IsWine()
{
    HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    return hNtdll != NULL && ::GetProcAddress(hNtdll, "wine_get_version") != NULL;
}

std::string FromUtf16(const WString& text, UINT nCodePage)
{
    if (text.empty())
        return std::string();
    int n = ::WideCharToMultiByte(nCodePage, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string out(n, '\0');
    ::WideCharToMultiByte(nCodePage, 0, text.data(), (int)text.size(), &out[0], n, NULL, NULL);
    return out;
}

WString ToUtf16(const std::string& text, UINT nCodePage)
{
    if (text.empty())
        return WString();
    int n = ::MultiByteToWideChar(nCodePage, 0, text.data(), (int)text.size(), NULL, 0);
    WString out(n, 0);
    ::MultiByteToWideChar(nCodePage, 0, text.data(), (int)text.size(), &out[0], n);
    return out;
}

namespace {

void CALLBACK EndStuckDialog(HWND hWnd, UINT, UINT_PTR, DWORD)
{
    ::EndDialog(hWnd, kTimedOut);
}

} // namespace

void StartWatchdog(HWND hDlg)
{
    ::SetTimer(hDlg, 1, 10000, &EndStuckDialog);
}

} // namespace tavlen_test
