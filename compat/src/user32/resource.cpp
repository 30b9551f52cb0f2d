// String and icon resources of the program's module, and the help system this host does not have.
#include <windows.h>

#include <string.h>

#include "compat/user_probe.h"

#include <map>
#include <memory>
#include <string>

namespace {

// Icons are never drawn here, so an icon handle only names the icon group it was loaded from.
struct Icon
{
    HRSRC hGroup;
};

// A string table block holds 16 strings, each a 16-bit length and that many UTF-16 characters.
bool FindString(HINSTANCE hInstance, UINT uID, std::u16string& text)
{
    HRSRC hRes = FindResourceA(hInstance, MAKEINTRESOURCEA((uID >> 4) + 1), RT_STRING);
    if (hRes == NULL)
        return false;
    const BYTE* p = static_cast<const BYTE*>(LockResource(LoadResource(hInstance, hRes)));
    size_t cb = SizeofResource(hInstance, hRes), nPos = 0;
    for (UINT i = 0; i < 16 && nPos + 2 <= cb; i++)
    {
        size_t nLength = p[nPos] | p[nPos + 1] << 8;
        nPos += 2;
        if (nLength * 2 > cb - nPos)
            return false;
        if (i == (uID & 15))
        {
            for (size_t c = 0; c < nLength; c++)
                text.push_back((char16_t)(p[nPos + 2 * c] | p[nPos + 2 * c + 1] << 8));
            return nLength > 0;
        }
        nPos += nLength * 2;
    }
    return false;
}

} // namespace

// The text in the ANSI code page, cut off to the buffer; 0 and an empty buffer when there is no such string.
int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    if (lpBuffer == NULL || cchBufferMax <= 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpBuffer[0] = 0;
    std::u16string text;
    if (!FindString(hInstance, uID, text))
    {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    int nBytes = WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string narrow(nBytes, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), &narrow[0], nBytes, NULL, NULL);
    int nCopy = nBytes < cchBufferMax - 1 ? nBytes : cchBufferMax - 1;
    memcpy(lpBuffer, narrow.data(), nCopy);
    lpBuffer[nCopy] = 0;
    return nCopy;
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    // Icons of the system itself (a NULL module) do not exist on a headless host.
    if (hInstance == NULL)
    {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    HRSRC hGroup = FindResourceA(hInstance, lpIconName, RT_GROUP_ICON);
    if (hGroup == NULL)
        return NULL;
    // Icons from resources are shared, as in Windows: the same group gives the same handle every time.
    static std::map<HRSRC, std::unique_ptr<Icon>> s_icons;
    std::unique_ptr<Icon>& pIcon = s_icons[hGroup];
    if (pIcon == nullptr)
        pIcon.reset(new Icon{ hGroup });
    return reinterpret_cast<HICON>(pIcon.get());
}

namespace {

// The last help request, kept for the tests as Windows would hand it to its help program.
struct HelpRequest
{
    bool bMade;
    HWND hWnd;
    std::string file;
    UINT uCommand;
};
HelpRequest g_help;

} // namespace

// There is no help program to start: the request is kept for the tests, and the call fails.
BOOL WINAPI WinHelpA(HWND hWndMain, LPCSTR lpszHelp, UINT uCommand, ULONG_PTR)
{
    g_help = HelpRequest{ true, hWndMain, lpszHelp != NULL ? lpszHelp : "", uCommand };
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

LPCSTR compat_user_take_help_request(HWND* phWnd, UINT* puCommand)
{
    if (!g_help.bMade)
        return NULL;
    g_help.bMade = false;
    *phWnd = g_help.hWnd;
    *puCommand = g_help.uCommand;
    return g_help.file.c_str();
}
