// CString: storage, conversion from UTF-16, trimming and resource loading.
#include "framework/afxwin.h"

#include <string.h>

namespace {

int WideLength(const WCHAR* lpsz)
{
    int nLength = 0;
    while (lpsz != NULL && lpsz[nLength] != 0)
        ++nLength;
    return nLength;
}

bool IsTrimSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

} // namespace

// The shared empty string: its negative count marks it as never freed. Its text follows its header directly,
// whatever padding the header has on this system.
char* CString::NilText()
{
    static struct
    {
        CStringData header;
        char chNil;
    } s_nil = { { -1, 0 }, 0 };
    return s_nil.header.data();
}

CString::CString()
    : m_pchData(NilText())
{
}

CString::CString(const CString& stringSrc)
    : m_pchData(stringSrc.m_pchData)
{
    if (GetData()->nRefs >= 0)
        ++GetData()->nRefs;
}

CString::CString(LPCSTR lpsz)
    : m_pchData(NilText())
{
    if (lpsz != NULL)
        AssignCopy(lpsz, (int)strlen(lpsz));
}

CString::CString(LPCSTR lpch, int nLength)
    : m_pchData(NilText())
{
    if (lpch != NULL && nLength > 0)
        AssignCopy(lpch, nLength);
}

CString::CString(const WCHAR* lpsz)
    : CString(lpsz, WideLength(lpsz))
{
}

CString::CString(const WCHAR* lpch, int nLength)
    : m_pchData(NilText())
{
    if (lpch == NULL || nLength <= 0)
        return;
    int nBytes = ::WideCharToMultiByte(CP_ACP, 0, lpch, nLength, NULL, 0, NULL, NULL);
    char* pch = nBytes > 0 ? AllocBuffer(nBytes) : NULL;
    if (pch == NULL)
        return;
    ::WideCharToMultiByte(CP_ACP, 0, lpch, nLength, pch, nBytes, NULL, NULL);
    m_pchData = pch;
}

CString::~CString()
{
    Release();
}

char* CString::AllocBuffer(int nLength)
{
    CStringData* pData = static_cast<CStringData*>(AfxAlloc(sizeof(CStringData) + nLength + 1));
    if (pData == NULL)
        return NULL;
    pData->nRefs = 1;
    pData->nDataLength = nLength;
    pData->data()[nLength] = 0;
    return pData->data();
}

void CString::Release()
{
    if (m_pchData != NilText() && --GetData()->nRefs == 0)
        AfxFree(GetData());
    m_pchData = NilText();
}

// Copies first, so that assigning a string a part of itself stays correct.
void CString::AssignCopy(LPCSTR lpch, int nLength)
{
    char* pch = nLength > 0 ? AllocBuffer(nLength) : NULL;
    if (pch != NULL)
        memcpy(pch, lpch, nLength);
    Release();
    if (pch != NULL)
        m_pchData = pch;
}

void CString::Empty()
{
    Release();
}

const CString& CString::operator=(const CString& stringSrc)
{
    if (m_pchData != stringSrc.m_pchData)
    {
        Release();
        m_pchData = stringSrc.m_pchData;
        if (GetData()->nRefs >= 0)
            ++GetData()->nRefs;
    }
    return *this;
}

const CString& CString::operator=(LPCSTR lpsz)
{
    AssignCopy(lpsz, lpsz != NULL ? (int)strlen(lpsz) : 0);
    return *this;
}

const CString& CString::operator+=(LPCSTR lpsz)
{
    int nAdd = lpsz != NULL ? (int)strlen(lpsz) : 0;
    if (nAdd == 0)
        return *this;
    int nOld = GetLength();
    char* pch = AllocBuffer(nOld + nAdd);
    if (pch == NULL)
        return *this;
    memcpy(pch, m_pchData, nOld);
    memcpy(pch + nOld, lpsz, nAdd);
    Release();
    m_pchData = pch;
    return *this;
}

const CString& CString::operator+=(const CString& string)
{
    // Holding a reference keeps the text alive when a string is appended to itself.
    CString strKeep(string);
    return *this += static_cast<LPCSTR>(strKeep);
}

int CString::Compare(LPCSTR lpsz) const
{
    return strcmp(m_pchData, lpsz != NULL ? lpsz : "");
}

void CString::TrimLeft()
{
    const char* pch = m_pchData;
    while (IsTrimSpace(*pch))
        ++pch;
    if (pch != m_pchData)
        AssignCopy(pch, GetLength() - (int)(pch - m_pchData));
}

void CString::TrimRight()
{
    int nLength = GetLength();
    while (nLength > 0 && IsTrimSpace(m_pchData[nLength - 1]))
        --nLength;
    if (nLength != GetLength())
        AssignCopy(m_pchData, nLength);
}

int CString::Replace(char chOld, char chNew)
{
    int nCount = 0;
    for (const char* pch = m_pchData; *pch != 0; ++pch)
        nCount += *pch == chOld;
    if (nCount == 0 || chOld == chNew)
        return nCount;
    // Shared text is copied first, so that other strings holding it keep their value.
    CString strOld(*this);
    AssignCopy(strOld.m_pchData, strOld.GetLength());
    for (char* pch = m_pchData; *pch != 0; ++pch)
        if (*pch == chOld)
            *pch = chNew;
    return nCount;
}

LPSTR CString::GetBufferSetLength(int nNewLength)
{
    if (nNewLength < 0)
        return NULL;
    char* pch = AllocBuffer(nNewLength);
    if (pch == NULL)
        return NULL;
    int nKeep = GetLength() < nNewLength ? GetLength() : nNewLength;
    memcpy(pch, m_pchData, nKeep);
    Release();
    m_pchData = pch;
    return pch;
}

BOOL CString::LoadString(UINT nID)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    for (int nSize = 256; nSize <= 0x10000 * 4; nSize *= 2)
    {
        char* pch = static_cast<char*>(AfxAlloc(nSize));
        if (pch == NULL)
            break;
        int nLength = ::LoadStringA(hInst, nID, pch, nSize);
        if (nLength < nSize - 1)
        {
            AssignCopy(pch, nLength);
            AfxFree(pch);
            return nLength > 0;
        }
        AfxFree(pch);
    }
    Empty();
    return FALSE;
}

BSTR CString::AllocSysString() const
{
    int nChars = ::MultiByteToWideChar(CP_ACP, 0, m_pchData, GetLength(), NULL, 0);
    BSTR bstr = ::SysAllocStringLen(NULL, nChars);
    if (bstr != NULL && nChars > 0)
        ::MultiByteToWideChar(CP_ACP, 0, m_pchData, GetLength(), bstr, nChars);
    return bstr;
}

CString operator+(const CString& string1, const CString& string2)
{
    CString s(string1);
    s += string2;
    return s;
}

CString operator+(const CString& string, LPCSTR lpsz)
{
    CString s(string);
    s += lpsz;
    return s;
}

CString operator+(LPCSTR lpsz, const CString& string)
{
    CString s(lpsz);
    s += string;
    return s;
}
