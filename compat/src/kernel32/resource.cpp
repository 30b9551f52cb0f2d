// Resources: the compiled resource script (.res) linked into the program, found by type and name.
#include <windows.h>

#include <vector>

#include "internal.h"

// The resource data, placed by the build beside the program; a program built without resources has none.
extern "C" const unsigned char compat__resources_begin[] __attribute__((weak));
extern "C" const unsigned char compat__resources_end[] __attribute__((weak));

namespace {

// Types and names are numbers: the program's resources have no text names, and it asks for none.
struct Entry
{
    WORD wType;
    WORD wName;
    const unsigned char* pData;
    DWORD dwSize;
};

DWORD ReadDword(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | (DWORD)p[3] << 24; }
WORD ReadWord(const unsigned char* p) { return (WORD)(p[0] | p[1] << 8); }

// Reads a type or name field at nPos, moving nPos past it; a text name reads as 0, which nothing asks for.
// False when it runs past nEnd.
bool ReadId(const unsigned char* p, size_t& nPos, size_t nEnd, WORD& wId)
{
    if (nPos + 2 > nEnd)
        return false;
    wId = 0;
    if (ReadWord(p + nPos) == 0xFFFF)
    {
        if (nPos + 4 > nEnd)
            return false;
        wId = ReadWord(p + nPos + 2);
        nPos += 4;
        return true;
    }
    for (; nPos + 2 <= nEnd; nPos += 2)
    {
        if (ReadWord(p + nPos) == 0)
        {
            nPos += 2;
            return true;
        }
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
        if (!ReadId(p, nField, nHeaderEnd, entry.wType) || !ReadId(p, nField, nHeaderEnd, entry.wName))
            break;
        entry.pData = p + nPos + dwHeaderSize;
        entry.dwSize = dwDataSize;
        if (entry.wType != 0)
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

} // namespace

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    if (!compat__is_main_module(hModule) || lpName == NULL || lpType == NULL || !IS_INTRESOURCE(lpName) ||
        !IS_INTRESOURCE(lpType))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    WORD wType = (WORD)(ULONG_PTR)lpType, wName = (WORD)(ULONG_PTR)lpName;
    bool bTypeFound = false;
    for (const Entry& entry : Resources())
    {
        if (entry.wType != wType)
            continue;
        bTypeFound = true;
        if (entry.wName == wName)
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
