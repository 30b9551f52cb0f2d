// The report file: what stands at the path is judged once, then replaced whole or, where renaming cannot
// replace it, written in place; a report is never left torn.
#include "collector/ReportFile.h"

#include <fcntl.h>
#include <io.h>
#include <stdint.h>
#include <string.h>

namespace {

// What a report may do to what stands at its path. Opening the path for writing, as a plain write of the
// file would, decides it: anything that open refuses is left as it is.
enum TargetKind
{
    kTargetUnusable,    // a folder, a file this user may not write, a locked file, or a path to nowhere
    kTargetNew,         // nothing there yet
    kTargetReplaceable, // a file: a new one takes its place whole, with its attributes
    kTargetInPlace,     // a device, a pipe, or a file mounted over another, which no rename can replace
};

struct Target
{
    TargetKind nKind;
    HANDLE hFile;     // open for writing, where the path names something
    CString strFull;  // the file the path reaches, for a new or replaceable target
    int nDirLength;   // the length of its folder, with the trailing separator
};

// Its attributes are read too: a new report is made with this file as its template.
HANDLE OpenForWriting(const CString& strPath)
{
    return ::CreateFileA(strPath, GENERIC_WRITE | FILE_READ_ATTRIBUTES | FILE_READ_EA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
}

// The full path of the file that the path reaches, and in nDirLength the length of its folder with the
// trailing separator; empty when the path names no file or leads nowhere. Most paths fit MAX_PATH, so the
// path is resolved once; a longer one is resolved again into a buffer of the size it reported.
CString FullPathOf(const CString& strPath, int& nDirLength)
{
    nDirLength = 0;
    CString strFull;
    DWORD nSize = MAX_PATH;
    for (int nAttempt = 0; nAttempt < 2; nAttempt++)
    {
        char* pszFilePart = NULL;
        char* pszFull = strFull.GetBufferSetLength((int)nSize - 1);
        DWORD nLength = pszFull != NULL ? ::GetFullPathNameA(strPath, nSize, pszFull, &pszFilePart) : 0;
        if (nLength == 0)
            return CString();
        if (nLength < nSize)
        {
            if (pszFilePart == NULL)
                return CString();
            nDirLength = (int)(pszFilePart - pszFull);
            return CString(pszFull, (int)nLength);
        }
        nSize = nLength;
    }
    return CString();
}

// A file bound over another, as a single file is bound into a container, is the root of its own mount.
bool IsMountPoint(const CString& strFull)
{
    int nSize = strFull.GetLength() + 2;
    char* pszVolume = static_cast<char*>(AfxAlloc(nSize));
    if (pszVolume == NULL)
        return false;
    bool bMountPoint = ::GetVolumePathNameA(strFull, pszVolume, nSize) &&
                       (int)strlen(pszVolume) == strFull.GetLength() + 1 &&
                       strncmp(pszVolume, strFull, strFull.GetLength()) == 0;
    AfxFree(pszVolume);
    return bMountPoint;
}

Target Classify(const CString& strPath)
{
    Target target = { kTargetUnusable, OpenForWriting(strPath), CString(), 0 };
    bool bExists = target.hFile != INVALID_HANDLE_VALUE;
    if (!bExists && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return target;
    if (bExists && ::GetFileType(target.hFile) != FILE_TYPE_DISK)
    {
        target.nKind = kTargetInPlace;
        return target;
    }
    target.strFull = FullPathOf(strPath, target.nDirLength);
    if (!target.strFull.IsEmpty())
        target.nKind = !bExists ? kTargetNew : IsMountPoint(target.strFull) ? kTargetInPlace : kTargetReplaceable;
    return target;
}

// Through the runtime's text mode, so that lines end as text files' do on this system. The handle is closed.
// A file is flushed to disk, and cut after the text where it had text before; devices and pipes take the
// text as it comes.
enum WriteMode { kWriteStream, kWriteNewFile, kWriteOverFile };

bool WriteText(HANDLE hFile, const CString& strText, WriteMode nMode)
{
    int fd = _open_osfhandle((intptr_t)hFile, _O_TEXT | _O_WRONLY);
    if (fd < 0)
    {
        ::CloseHandle(hFile);
        return false;
    }
    bool bWritten = _write(fd, strText, (unsigned int)strText.GetLength()) == strText.GetLength();
    if (bWritten && nMode == kWriteOverFile)
        bWritten = ::SetEndOfFile(hFile) != FALSE;
    if (bWritten && nMode != kWriteStream)
        bWritten = _commit(fd) == 0;
    bool bClosed = _close(fd) == 0;
    return bWritten && bClosed;
}

// The number's digits in the base, with leading zeros up to nMinDigits. The report's few numbers are made
// here rather than by the runtime's formatter, which would cost more than the rest of the report.
char* AppendNumber(char* pch, unsigned long nValue, unsigned long nBase, int nMinDigits)
{
    char szDigits[32];
    int nDigits = 0;
    do
    {
        szDigits[nDigits++] = "0123456789ABCDEF"[nValue % nBase];
        nValue /= nBase;
    } while (nValue != 0 || nDigits < nMinDigits);
    while (nDigits > 0)
        *pch++ = szDigits[--nDigits];
    return pch;
}

// "~tavlen-", the GUID's 32 hexadecimal digits and ".tmp" in the folder; empty when there is no memory for it.
CString TempPathOf(const CString& strDir, const GUID& guid)
{
    static const char kPrefix[] = "~tavlen-";
    static const char kSuffix[] = ".tmp";
    const int nPrefix = sizeof(kPrefix) - 1, nDigits = 2 * sizeof(GUID), nSuffix = sizeof(kSuffix) - 1;
    CString strTemp;
    char* pch = strTemp.GetBufferSetLength(strDir.GetLength() + nPrefix + nDigits + nSuffix);
    if (pch == NULL)
        return CString();
    memcpy(pch, strDir, strDir.GetLength());
    pch += strDir.GetLength();
    memcpy(pch, kPrefix, nPrefix);
    pch = AppendNumber(pch + nPrefix, guid.Data1, 16, 8);
    pch = AppendNumber(AppendNumber(pch, guid.Data2, 16, 4), guid.Data3, 16, 4);
    for (int i = 0; i < 8; i++)
        pch = AppendNumber(pch, guid.Data4[i], 16, 2);
    memcpy(pch, kSuffix, nSuffix);
    return strTemp;
}

// A random name, created exclusively after the template, so no one can take the file's place or predict it.
HANDLE CreateTempFile(const CString& strDir, HANDLE hTemplate, CString& strTemp)
{
    for (int nAttempt = 0; nAttempt < 8; nAttempt++)
    {
        GUID guid;
        if (FAILED(::CoCreateGuid(&guid)))
            return INVALID_HANDLE_VALUE;
        strTemp = TempPathOf(strDir, guid);
        if (strTemp.IsEmpty())
            return INVALID_HANDLE_VALUE;
        HANDLE hTemp = ::CreateFileA(strTemp, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                     hTemplate != INVALID_HANDLE_VALUE ? hTemplate : NULL);
        if (hTemp != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return hTemp;
    }
    return INVALID_HANDLE_VALUE;
}

// ReplaceFile keeps the old file's attributes and security; without a backup it may lose the old file
// on a late failure, so the new one is then moved into the empty place.
bool MoveOver(const CString& strTemp, const CString& strFull, bool bReplacing)
{
    if (bReplacing)
    {
        if (::ReplaceFileA(strFull, strTemp, NULL, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL))
            return true;
        if (::GetFileAttributesA(strFull) != INVALID_FILE_ATTRIBUTES)
            return false;
    }
    return ::MoveFileExA(strTemp, strFull, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// The old file is closed before it is replaced, as Windows replaces no file that is open.
int ReplaceWhole(Target& target, const CString& strText)
{
    CString strTemp;
    HANDLE hTemp = CreateTempFile(CString(target.strFull, target.nDirLength), target.hFile, strTemp);
    bool bReplacing = target.hFile != INVALID_HANDLE_VALUE;
    if (bReplacing)
        ::CloseHandle(target.hFile);
    if (hTemp == INVALID_HANDLE_VALUE)
        return -1;
    if (WriteText(hTemp, strText, kWriteNewFile) && MoveOver(strTemp, target.strFull, bReplacing))
        return 0;
    ::DeleteFileA(strTemp);
    return -1;
}

// Whether any of the eight bytes is a control character or DEL; most words of a value hold neither.
bool HasControl(uint64_t nWord)
{
    const uint64_t kOnes = 0x0101010101010101ull;
    const uint64_t nDel = nWord ^ (kOnes * 0x7F);
    return ((((nWord - kOnes * ' ') & ~nWord) | ((nDel - kOnes) & ~nDel)) & (kOnes * 0x80)) != 0;
}

// Control characters and DEL are never part of a value: a reader may take them for line ends, and a
// terminal for commands. Each becomes a blank; no ANSI code page uses these bytes inside a character.
void CopyOneLine(char* pchTo, LPCSTR pszValue, int nLength)
{
    memcpy(pchTo, pszValue, nLength);
    for (int i = 0; i < nLength;)
    {
        uint64_t nWord;
        if (i + 8 <= nLength && (memcpy(&nWord, pchTo + i, 8), !HasControl(nWord)))
        {
            i += 8;
            continue;
        }
        unsigned char ch = (unsigned char)pchTo[i];
        if ((ch < ' ' && ch != '\t') || ch == 0x7F)
            pchTo[i] = ' ';
        ++i;
    }
}

} // namespace

CString FormatReportTime(const SYSTEMTIME& st)
{
    const WORD awFields[] = { st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond };
    const char achAfter[] = "// ::\n";
    char szLine[48];
    char* pch = szLine;
    for (int i = 0; i < 6; i++)
    {
        pch = AppendNumber(pch, awFields[i], 10, i == 0 ? 1 : 2);
        *pch++ = achAfter[i];
    }
    return CString(szLine, (int)(pch - szLine));
}

// Where memory runs out the line is empty, as no whole line could be made.
CString FormatReportLine(LPCSTR pszKey, const CString& strValue)
{
    int nKey = (int)strlen(pszKey);
    int nValue = strValue.GetLength();
    CString strLine;
    char* pch = strLine.GetBufferSetLength(nKey + 1 + nValue + 1);
    if (pch == NULL)
        return CString();
    memcpy(pch, pszKey, nKey);
    pch[nKey] = '=';
    CopyOneLine(pch + nKey + 1, strValue, nValue);
    pch[nKey + 1 + nValue] = '\n';
    return strLine;
}

CString JoinReportLines(const CString* pLines, int nLines)
{
    int nLength = 0;
    for (int i = 0; i < nLines; i++)
    {
        if (pLines[i].IsEmpty())
            return CString();
        nLength += pLines[i].GetLength();
    }
    CString strReport;
    char* pch = strReport.GetBufferSetLength(nLength);
    for (int i = 0; pch != NULL && i < nLines; i++)
    {
        memcpy(pch, pLines[i], pLines[i].GetLength());
        pch += pLines[i].GetLength();
    }
    return strReport;
}

int WriteReportFile(const CString& strPath, const CString& strText)
{
    Target target = Classify(strPath);
    switch (target.nKind)
    {
    case kTargetInPlace:
        return WriteText(target.hFile, strText,
                         ::GetFileType(target.hFile) == FILE_TYPE_DISK ? kWriteOverFile : kWriteStream) ? 0 : -1;
    case kTargetNew:
    case kTargetReplaceable:
        return ReplaceWhole(target, strText);
    default:
        if (target.hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(target.hFile);
        return -1;
    }
}
