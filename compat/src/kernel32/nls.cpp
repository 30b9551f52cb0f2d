// UTF-8 and UTF-16: strict UTF-8, and the ANSI code page, which is the host's bytes and carries any byte through.
#include <windows.h>

#include <stdint.h>
#include <string.h>

#include <algorithm>


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

int EncodeUtf8(char32_t ch, char* p)
{
    if (ch < 0x80)
        return p[0] = (char)ch, 1;
    if (ch < 0x800)
        return p[0] = (char)(0xC0 | ch >> 6), p[1] = (char)(0x80 | (ch & 0x3F)), 2;
    if (ch < 0x10000)
        return p[0] = (char)(0xE0 | ch >> 12), p[1] = (char)(0x80 | (ch >> 6 & 0x3F)),
               p[2] = (char)(0x80 | (ch & 0x3F)), 3;
    p[0] = (char)(0xF0 | ch >> 18), p[1] = (char)(0x80 | (ch >> 12 & 0x3F));
    p[2] = (char)(0x80 | (ch >> 6 & 0x3F)), p[3] = (char)(0x80 | (ch & 0x3F));
    return 4;
}

int EncodeUtf16(char32_t ch, WCHAR* p)
{
    if (ch < 0x10000)
        return p[0] = (WCHAR)ch, 1;
    p[0] = (WCHAR)(0xD800 + ((ch - 0x10000) >> 10)), p[1] = (WCHAR)(0xDC00 + ((ch - 0x10000) & 0x3FF));
    return 2;
}

// A byte that begins no UTF-8 character is carried as U+DC80 to U+DCFF, which no valid text holds, as Python's
// surrogateescape carries it: file names are bytes here, and a name must convert back to the file it names.
const char32_t kEscapedByte = 0xDC00;

int DecodeHostBytes(const unsigned char* p, int n, char32_t& ch)
{
    int nUsed = DecodeUtf8(p, n, ch);
    if (nUsed == 1 && p[0] >= 0x80)
        ch = kEscapedByte + p[0];
    return nUsed;
}

int DecodeHostUtf16(const WCHAR* p, int n, char32_t& ch)
{
    int nUsed = DecodeUtf16(p, n, ch);
    if (p[0] >= kEscapedByte + 0x80 && p[0] <= kEscapedByte + 0xFF)
        ch = p[0];
    return nUsed;
}

int EncodeHostBytes(char32_t ch, char* p)
{
    if (ch >= kEscapedByte + 0x80 && ch <= kEscapedByte + 0xFF)
        return p[0] = (char)(ch - kEscapedByte), 1;
    return EncodeUtf8(ch, p);
}

bool IsSupported(UINT codePage)
{
    if (codePage == CP_ACP || codePage == CP_UTF8)
        return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

// Copies the ASCII units from p on, up to n, to pOut (where bCopy asks for it) and returns how many there were:
// a word of eight bytes, or of four UTF-16 units, at a time.
template <bool bCopy, class In, class Out>
int CopyAscii(const In* p, int n, Out* pOut)
{
    const uint64_t kHighBits = sizeof(In) == 1 ? 0x8080808080808080ull : 0xFF80FF80FF80FF80ull;
    const int kPerWord = (int)(sizeof(uint64_t) / sizeof(In));
    int i = 0;
    for (uint64_t word; i + kPerWord <= n; i += kPerWord)
    {
        memcpy(&word, p + i, sizeof(word));
        if ((word & kHighBits) != 0)
            break;
        for (int k = 0; bCopy && k < kPerWord; k++)
            pOut[i + k] = (Out)p[i + k];
    }
    for (; i < n && p[i] < 0x80; i++)
        if (bCopy)
            pOut[i] = (Out)p[i];
    return i;
}

// Converts straight into the caller's buffer, as Windows does: with no buffer it only counts the size needed,
// and it fails when the buffer is too small. ASCII, most of any text, is copied in runs without decoding; where
// the buffer is full, the next character finds no room.
template <class In, class Out>
int Convert(const In* p, int nIn, int (*pfnDecode)(const In*, int, char32_t&), int (*pfnEncode)(char32_t, Out*),
            Out* pOut, int nOut)
{
    int nLength = 0;
    int i = 0;
    while (i < nIn)
    {
        int nAscii = nOut > 0 ? CopyAscii<true>(p + i, std::min(nIn - i, nOut - nLength), pOut + nLength)
                              : CopyAscii<false>(p + i, nIn - i, pOut);
        nLength += nAscii, i += nAscii;
        if (i == nIn)
            break;
        char32_t ch;
        Out units[4];
        int nUsed = pfnDecode(p + i, nIn - i, ch);
        int nUnits = pfnEncode(ch, units);
        if (nOut > 0 && nUnits > nOut - nLength)
            break;
        if (nOut > 0)
            std::copy(units, units + nUnits, pOut + nLength);
        nLength += nUnits, i += nUsed;
    }
    if (i == nIn)
        return nLength;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
}

int WideLength(LPCWSTR psz)
{
    int n = 0;
    while (psz[n] != 0)
        ++n;
    return n;
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
    return Convert(p, nIn, CodePage == CP_ACP ? DecodeHostBytes : DecodeUtf8, EncodeUtf16, lpWideCharStr, cchWideChar);
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
    int nIn = cchWideChar < 0 ? WideLength(lpWideCharStr) + 1 : cchWideChar;
    return Convert(lpWideCharStr, nIn, CodePage == CP_ACP ? DecodeHostUtf16 : DecodeUtf16,
                   CodePage == CP_ACP ? EncodeHostBytes : EncodeUtf8, lpMultiByteStr, cbMultiByte);
}
