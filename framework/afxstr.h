// CString: the framework's reference-counted string of multi-byte text in the ANSI code page.
#pragma once

#include <windows.h>
#include <oleauto.h>

class CString
{
public:
    CString();
    CString(const CString& stringSrc);
    CString(LPCSTR lpsz);
    CString(LPCSTR lpch, int nLength);
    // Converts UTF-16 text through the ANSI code page; characters it cannot hold become its default character.
    CString(const WCHAR* lpsz);
    CString(const WCHAR* lpch, int nLength);
    ~CString();

    const CString& operator=(const CString& stringSrc);
    const CString& operator=(LPCSTR lpsz);
    const CString& operator+=(const CString& string);
    const CString& operator+=(LPCSTR lpsz);

    int GetLength() const { return GetData()->nDataLength; }
    BOOL IsEmpty() const { return GetLength() == 0; }
    void Empty();
    operator LPCSTR() const { return m_pchData; }
    int Compare(LPCSTR lpsz) const;

    // Removes leading or trailing blanks, tabs, carriage returns, line feeds, vertical tabs and form feeds.
    void TrimLeft();
    void TrimRight();

    // Replaces every occurrence of one character; returns how many were replaced.
    int Replace(char chOld, char chNew);

    // Formats like sprintf, never cutting the text off; empty when there is no memory for it.
    void Format(LPCSTR lpszFormat, ...);

    // This string's own buffer of exactly nNewLength characters, its old text kept as far as it fits, for the
    // caller to fill; NULL, and the string as it was, when there is no memory for it.
    LPSTR GetBufferSetLength(int nNewLength);

    // Loads a string resource; FALSE (and an empty string) when it is missing or empty.
    BOOL LoadString(UINT nID);

    // A new BSTR of this text, or NULL when it cannot be made; the caller frees it.
    BSTR AllocSysString() const;

private:
    struct CStringData
    {
        long nRefs;
        int nDataLength;
        char* data() { return reinterpret_cast<char*>(this + 1); }
    };

    CStringData* GetData() const { return reinterpret_cast<CStringData*>(m_pchData) - 1; }
    void AssignCopy(LPCSTR lpch, int nLength);
    void Release();
    static char* AllocBuffer(int nLength);
    static char* NilText();

    char* m_pchData;
};

CString operator+(const CString& string1, const CString& string2);
CString operator+(const CString& string, LPCSTR lpsz);
CString operator+(LPCSTR lpsz, const CString& string);
inline bool operator==(const CString& s1, LPCSTR s2) { return s1.Compare(s2) == 0; }
inline bool operator!=(const CString& s1, LPCSTR s2) { return s1.Compare(s2) != 0; }
