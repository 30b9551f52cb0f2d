// Resources: the compiled resource script (.res) linked into the program, found by type and name.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "internal.h"

// The resource data, placed by the build beside the program; a program built without resources has none.
extern "C" const unsigned char compat__resources_begin[] __attribute__((weak));
extern "C" const unsigned char compat__resources_end[] __attribute__((weak));

namespace {

// A type or name: a number, or upper-case text, which is how Windows compares names.
struct ResId
{
    WORD wOrdinal = 0;
    std::u16string text;
};

struct Entry
{
    ResId type;
    ResId name;
    WORD wLanguage;
    const unsigned char* pData;
    DWORD dwSize;
};

DWORD ReadDword(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | (DWORD)p[3] << 24; }
WORD ReadWord(const unsigned char* p) { return (WORD)(p[0] | p[1] << 8); }
char16_t Upper(char16_t ch) { return ch >= 'a' && ch <= 'z' ? (char16_t)(ch - 'a' + 'A') : ch; }

// Reads a type or name field at nPos, moving nPos past it; false when it runs past nEnd.
bool ReadId(const unsigned char* p, size_t& nPos, size_t nEnd, ResId& id)
{
    if (nPos + 2 > nEnd)
        return false;
    if (ReadWord(p + nPos) == 0xFFFF)
    {
        if (nPos + 4 > nEnd)
            return false;
        id.wOrdinal = ReadWord(p + nPos + 2);
        nPos += 4;
        return true;
    }
    for (; nPos + 2 <= nEnd; nPos += 2)
    {
        char16_t ch = ReadWord(p + nPos);
        if (ch == 0)
        {
            nPos += 2;
            return true;
        }
        id.text.push_back(Upper(ch));
    }
    return false;
}

// Each entry: data size, header size, type, name, then aligned version, flags and language, then the data.
std::vector<Entry> ParseResources(const unsigned char* p, size_t nSize)
{
    std::vector<Entry> entries;
    size_t nPos = 0;
    while (nPos + 8 <= nSize)
    {
        DWORD dwDataSize = ReadDword(p + nPos), dwHeaderSize = ReadDword(p + nPos + 4);
        if (dwHeaderSize < 8 || nPos + dwHeaderSize > nSize || dwDataSize > nSize - nPos - dwHeaderSize)
            break;
        Entry entry;
        size_t nField = nPos + 8, nHeaderEnd = nPos + dwHeaderSize;
        if (!ReadId(p, nField, nHeaderEnd, entry.type) || !ReadId(p, nField, nHeaderEnd, entry.name))
            break;
        nField = (nField + 3) & ~(size_t)3;
        entry.wLanguage = nField + 8 <= nHeaderEnd ? ReadWord(p + nField + 6) : 0;
        entry.pData = p + nPos + dwHeaderSize;
        entry.dwSize = dwDataSize;
        if (entry.type.wOrdinal != 0 || !entry.type.text.empty())
            entries.push_back(entry);
        nPos = (nPos + dwHeaderSize + dwDataSize + 3) & ~(size_t)3;
    }
    return entries;
}

const std::vector<Entry>& Resources()
{
    static const std::vector<Entry> s_entries =
        compat__resources_begin != NULL && compat__resources_end != NULL
            ? ParseResources(compat__resources_begin, (size_t)(compat__resources_end - compat__resources_begin))
            : std::vector<Entry>();
    return s_entries;
}

// "#123" names the number 123, as in Windows.
ResId IdOf(LPCSTR psz)
{
    ResId id;
    if (IS_INTRESOURCE(psz))
        id.wOrdinal = (WORD)(ULONG_PTR)psz;
    else if (psz[0] == '#')
        id.wOrdinal = (WORD)strtoul(psz + 1, NULL, 10);
    else
        for (; *psz != 0; ++psz)
            id.text.push_back(Upper((unsigned char)*psz));
    return id;
}

bool Matches(const ResId& a, const ResId& b)
{
    return a.wOrdinal == b.wOrdinal && a.text == b.text;
}

} // namespace

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    if (!compat__is_main_module(hModule) || lpName == NULL || lpType == NULL)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    ResId type = IdOf(lpType), name = IdOf(lpName);
    bool bTypeFound = false;
    for (const Entry& entry : Resources())
    {
        if (!Matches(entry.type, type))
            continue;
        bTypeFound = true;
        if (Matches(entry.name, name))
            return reinterpret_cast<HRSRC>(const_cast<Entry*>(&entry));
    }
    SetLastError(bTypeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return NULL;
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo)
{
    if (hResInfo == NULL)
        return NULL;
    return const_cast<unsigned char*>(reinterpret_cast<const Entry*>(hResInfo)->pData);
}

LPVOID WINAPI LockResource(HGLOBAL hResData)
{
    return hResData;
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo)
{
    return hResInfo != NULL ? reinterpret_cast<const Entry*>(hResInfo)->dwSize : 0;
}
