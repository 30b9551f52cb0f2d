// The report file: what stands at the path is judged once, then replaced whole or, where renaming cannot
// replace it, written in place; a report is never left torn.
#include "ReportFile.h"

#include <fcntl.h>
#include <io.h>
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
// trailing separator; empty when the path names no file or leads nowhere.
CString FullPathOf(const CString& strPath, int& nDirLength)
{
    nDirLength = 0;
    DWORD nSize = ::GetFullPathNameA(strPath, 0, NULL, NULL);
    if (nSize == 0)
        return CString();
    char* pszFull = static_cast<char*>(AfxAlloc(nSize));
    if (pszFull == NULL)
        return CString();
    char* pszFilePart = NULL;
    DWORD nLength = ::GetFullPathNameA(strPath, nSize, pszFull, &pszFilePart);
    CString strFull;
    if (nLength > 0 && nLength < nSize && pszFilePart != NULL)
    {
        strFull = CString(pszFull, (int)nLength);
        nDirLength = (int)(pszFilePart - pszFull);
    }
    AfxFree(pszFull);
    return strFull;
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
// A file is cut after the text and flushed to disk; devices and pipes take the text as it comes.
bool WriteText(HANDLE hFile, const CString& strText, bool bFile)
{
    int fd = _open_osfhandle((intptr_t)hFile, _O_TEXT | _O_WRONLY);
    if (fd < 0)
    {
        ::CloseHandle(hFile);
        return false;
    }
    bool bWritten = _write(fd, strText, (unsigned int)strText.GetLength()) == strText.GetLength();
    if (bWritten && bFile)
        bWritten = ::SetEndOfFile(hFile) && _commit(fd) == 0;
    bool bClosed = _close(fd) == 0;
    return bWritten && bClosed;
}

// A random name, created exclusively after the template, so no one can take the file's place or predict it.
HANDLE CreateTempFile(const CString& strDir, HANDLE hTemplate, CString& strTemp)
{
    for (int nAttempt = 0; nAttempt < 8; nAttempt++)
    {
        GUID guid;
        if (FAILED(::CoCreateGuid(&guid)))
            return INVALID_HANDLE_VALUE;
        strTemp.Format("%s~tavlen-%08lX%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X.tmp", (LPCSTR)strDir,
                       (unsigned long)guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                       guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
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
    if (WriteText(hTemp, strText, true) && MoveOver(strTemp, target.strFull, bReplacing))
        return 0;
    ::DeleteFileA(strTemp);
    return -1;
}

// Control characters and DEL are never part of a value: a reader may take them for line ends, and a
// terminal for commands. Each becomes a blank; no ANSI code page uses these bytes inside a character.
CString OneLine(const CString& strValue)
{
    int nLength = strValue.GetLength();
    char* pch = static_cast<char*>(AfxAlloc(nLength + 1));
    if (pch == NULL)
        return CString();
    LPCSTR pszValue = strValue;
    for (int i = 0; i < nLength; i++)
    {
        unsigned char ch = (unsigned char)pszValue[i];
        pch[i] = (ch < ' ' && ch != '\t') || ch == 0x7F ? ' ' : (char)ch;
    }
    CString strOneLine(pch, nLength);
    AfxFree(pch);
    return strOneLine;
}

} // namespace

CString FormatReportTime(const SYSTEMTIME& st)
{
    CString strLine;
    strLine.Format("%d/%02d/%02d %02d:%02d:%02d\n", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                   st.wSecond);
    return strLine;
}

CString FormatReportLine(LPCSTR pszKey, const CString& strValue)
{
    CString strOneLine = OneLine(strValue);
    CString strLine;
    strLine.Format("%s=%s\n", pszKey, (LPCSTR)strOneLine);
    // Memory that ran out shows as text that went missing; the line is then empty, as no whole line is.
    if (strLine.GetLength() != (int)strlen(pszKey) + strValue.GetLength() + 2)
        return CString();
    return strLine;
}

int WriteReportFile(const CString& strPath, const CString& strText)
{
    Target target = Classify(strPath);
    switch (target.nKind)
    {
    case kTargetInPlace:
        return WriteText(target.hFile, strText, ::GetFileType(target.hFile) == FILE_TYPE_DISK) ? 0 : -1;
    case kTargetNew:
    case kTargetReplaceable:
        return ReplaceWhole(target, strText);
    default:
        if (target.hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(target.hFile);
        return -1;
    }
}
