// The report file: a new report is written beside the old one and moved over it only once it is complete.
#include "ReportFile.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

namespace {

// Devices and pipes cannot be replaced by renaming, so they are written in place.
bool IsSpecialFile(const CString& strPath)
{
    HANDLE hFile = ::CreateFileA(strPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD dwType = ::GetFileType(hFile);
    ::CloseHandle(hFile);
    return dwType != FILE_TYPE_DISK;
}

bool FileExists(const CString& strPath)
{
    return ::GetFileAttributesA(strPath) != INVALID_FILE_ATTRIBUTES;
}

// A folder is never a report: replacing it would move someone's folder out of the way.
bool IsFolder(const CString& strPath)
{
    DWORD dwAttributes = ::GetFileAttributesA(strPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PutText(FILE* pFile, const CString& strText)
{
    return fputs(strText, pFile) >= 0 && fflush(pFile) == 0;
}

int WriteInPlace(const CString& strPath, const CString& strText)
{
    FILE* pFile = fopen(strPath, "wt");
    if (pFile == NULL)
        return -1;
    bool bWritten = PutText(pFile, strText);
    bool bClosed = fclose(pFile) == 0;
    return bWritten && bClosed ? 0 : -1;
}

// The full path, and in nDirLength the length of its directory part with the trailing separator;
// empty when the path names no file. The rename calls get full paths, as some systems need them.
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

// A random name, created exclusively, so no one can take the file's place or predict it.
FILE* CreateTempFile(const CString& strDir, CString& strTemp)
{
    for (int nAttempt = 0; nAttempt < 8; nAttempt++)
    {
        GUID guid;
        if (FAILED(::CoCreateGuid(&guid)))
            return NULL;
        strTemp.Format("%s~tavlen-%08lX%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X.tmp", (LPCSTR)strDir,
                       (unsigned long)guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                       guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
        int fd = _open(strTemp, _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
        if (fd < 0)
        {
            if (errno == EEXIST)
                continue;
            return NULL;
        }
        FILE* pFile = _fdopen(fd, "wt");
        if (pFile == NULL)
        {
            _close(fd);
            remove(strTemp);
        }
        return pFile;
    }
    return NULL;
}

bool FlushToDisk(FILE* pFile)
{
    return _commit(_fileno(pFile)) == 0;
}

// ReplaceFile keeps the old file's attributes and security; without a backup it may lose the old file
// on a late failure, so the new one is then moved into the empty place.
bool MoveOver(const CString& strTemp, const CString& strPath)
{
    if (FileExists(strPath))
    {
        if (::ReplaceFileA(strPath, strTemp, NULL, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL))
            return true;
        if (FileExists(strPath))
            return false;
    }
    return ::MoveFileExA(strTemp, strPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
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
    CString strOneLine(strValue);
    strOneLine.Replace('\r', ' ');
    strOneLine.Replace('\n', ' ');
    CString strLine;
    strLine.Format("%s=%s\n", pszKey, (LPCSTR)strOneLine);
    // Memory that ran out shows as text that went missing; the line is then empty, as no whole line is.
    if (strLine.GetLength() != (int)strlen(pszKey) + strValue.GetLength() + 2)
        return CString();
    return strLine;
}

int WriteReportFile(const CString& strPath, const CString& strText)
{
    if (IsFolder(strPath))
        return -1;
    if (IsSpecialFile(strPath))
        return WriteInPlace(strPath, strText);

    int nDirLength = 0;
    CString strFull = FullPathOf(strPath, nDirLength);
    CString strTemp;
    FILE* pFile = strFull.IsEmpty() ? NULL : CreateTempFile(CString(strFull, nDirLength), strTemp);
    if (pFile == NULL)
        return WriteInPlace(strPath, strText);

    bool bWritten = PutText(pFile, strText) && FlushToDisk(pFile);
    bool bClosed = fclose(pFile) == 0;
    if (bWritten && bClosed && MoveOver(strTemp, strFull))
        return 0;
    remove(strTemp);
    return -1;
}
