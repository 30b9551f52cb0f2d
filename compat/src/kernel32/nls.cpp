// UTF-8 and UTF-16: the ANSI code page of this build is UTF-8, and anything malformed becomes U+FFFD.
#include <windows.h>

#include <string.h>

#include <new>
#include <string>

namespace {

const char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at p (n bytes left) and returns its length; overlong forms, surrogates and
// truncated sequences read as one U+FFFD for their first byte.
int DecodeUtf8(const unsigned char* p, int n, char32_t& ch)
{
    ch = kReplacement;
    int nLength = p[0] < 0x80 ? 1 : p[0] >= 0xC2 && p[0] < 0xE0 ? 2 : p[0] >= 0xE0 && p[0] < 0xF0 ? 3
                : p[0] >= 0xF0 && p[0] < 0xF5 ? 4 : 0;
    if (nLength == 0 || nLength > n)
        return 1;
    if (nLength == 1)
    {
        ch = p[0];
        return 1;
    }
    char32_t value = p[0] & (0x7F >> nLength);
    for (int i = 1; i < nLength; i++)
    {
        if ((p[i] & 0xC0) != 0x80)
            return 1;
        value = value << 6 | (p[i] & 0x3F);
    }
    static const char32_t kMinimum[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (value < kMinimum[nLength] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 1;
    ch = value;
    return nLength;
}

// Decodes one UTF-16 code point; a lone surrogate reads as U+FFFD.
int DecodeUtf16(const WCHAR* p, int n, char32_t& ch)
{
    if (p[0] >= 0xD800 && p[0] <= 0xDBFF && n > 1 && p[1] >= 0xDC00 && p[1] <= 0xDFFF)
    {
        ch = 0x10000 + ((char32_t)(p[0] - 0xD800) << 10) + (p[1] - 0xDC00);
        return 2;
    }
    ch = p[0] >= 0xD800 && p[0] <= 0xDFFF ? kReplacement : p[0];
    return 1;
}

void AppendUtf8(std::string& out, char32_t ch)
{
    if (ch < 0x80)
        out += (char)ch;
    else if (ch < 0x800)
        out += { (char)(0xC0 | ch >> 6), (char)(0x80 | (ch & 0x3F)) };
    else if (ch < 0x10000)
        out += { (char)(0xE0 | ch >> 12), (char)(0x80 | (ch >> 6 & 0x3F)), (char)(0x80 | (ch & 0x3F)) };
    else
        out += { (char)(0xF0 | ch >> 18), (char)(0x80 | (ch >> 12 & 0x3F)), (char)(0x80 | (ch >> 6 & 0x3F)),
                 (char)(0x80 | (ch & 0x3F)) };
}

void AppendUtf16(std::u16string& out, char32_t ch)
{
    if (ch < 0x10000)
        out += (char16_t)ch;
    else
        out += { (char16_t)(0xD800 + ((ch - 0x10000) >> 10)), (char16_t)(0xDC00 + ((ch - 0x10000) & 0x3FF)) };
}

bool IsSupported(UINT codePage)
{
    if (codePage == CP_ACP || codePage == CP_UTF8)
        return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

// Copies the converted text out as Windows does: the size needed when there is no buffer, 0 when it is too small.
template <class Text, class Char>
int CopyOut(const Text& text, Char* pOut, int nOut)
{
    if (nOut == 0)
        return (int)text.size();
    if ((int)text.size() > nOut)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(pOut, text.data(), text.size() * sizeof(Char));
    return (int)text.size();
}

// Decodes the whole input and copies the text out. The text is built in the library's strings, which throw
// when memory runs out; the call then fails instead.
template <class Text, class In, class Char>
int Convert(const In* p, int nIn, int (*pfnDecode)(const In*, int, char32_t&), void (*pfnAppend)(Text&, char32_t),
            Char* pOut, int nOut)
{
    try
    {
        Text text;
        for (int i = 0; i < nIn;)
        {
            char32_t ch;
            i += pfnDecode(p + i, nIn - i, ch);
            pfnAppend(text, ch);
        }
        return CopyOut(text, pOut, nOut);
    }
    catch (const std::bad_alloc&)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

} // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                               int cchWideChar)
{
    if (!IsSupported(CodePage))
        return 0;
    if (lpMultiByteStr == NULL || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == NULL))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // -1 converts through the terminator, which is then counted too.
    int nIn = cbMultiByte < 0 ? (int)strlen(lpMultiByteStr) + 1 : cbMultiByte;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    return Convert<std::u16string>(p, nIn, DecodeUtf8, AppendUtf16, lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                               int cbMultiByte, LPCSTR, LPBOOL lpUsedDefaultChar)
{
    if (!IsSupported(CodePage))
        return 0;
    if (lpWideCharStr == NULL || cchWideChar == 0 || cbMultiByte < 0 || (cbMultiByte > 0 && lpMultiByteStr == NULL))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // UTF-8 holds every character, so no default character is ever used.
    if (lpUsedDefaultChar != NULL)
        *lpUsedDefaultChar = FALSE;
    int nIn = cchWideChar < 0 ? (int)std::char_traits<WCHAR>::length(lpWideCharStr) + 1 : cchWideChar;
    return Convert<std::string>(lpWideCharStr, nIn, DecodeUtf16, AppendUtf8, lpMultiByteStr, cbMultiByte);
}
