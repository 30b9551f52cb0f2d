// The report file: what stands at the path is judged once, then replaced whole or, where renaming cannot
// replace it, written in place; a report is never left torn.
#include "collector/ReportFile.h"

#include <aclapi.h>
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
    kTargetReplaceable, // a file: a new one takes its place whole, with its attributes and security
    kTargetInPlace,     // a device, a pipe, or a file mounted over another, which no rename can replace
};

struct Target
{
    TargetKind nKind;
    HANDLE hFile;     // open for writing, where the path names something
    CString strFull;  // the file the path reaches, for a new or replaceable target
    int nDirLength;   // the length of its folder, with the trailing separator
};

// Its attributes and security are read too: a new report is made after this file.
HANDLE OpenForWriting(const CString& strPath)
{
    return ::CreateFileA(strPath, GENERIC_WRITE | FILE_READ_ATTRIBUTES | FILE_READ_EA | READ_CONTROL,
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

typedef DWORD(WINAPI* PFNGETFINALPATHNAMEBYHANDLEA)(HANDLE, LPSTR, DWORD, DWORD);

// The name of the open file itself, through any link and in its long form: a report replaced under the name
// the caller gave would turn a link into a file, and a short name into the report's only name. Windows has
// file links from Vista on; where it has no such call, or none here, the long form of the path itself does.
// Where neither can tell, or the name is longer than MAX_PATH, the caller's name stands.
CString OwnNameOf(HANDLE hFile, const CString& strPath)
{
    PFNGETFINALPATHNAMEBYHANDLEA pfnFinalPath = reinterpret_cast<PFNGETFINALPATHNAMEBYHANDLEA>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    char szName[MAX_PATH];
    DWORD nLength = pfnFinalPath != NULL ? pfnFinalPath(hFile, szName, MAX_PATH, 0)
                                         : ::GetLongPathNameA(strPath, szName, MAX_PATH);
    return nLength > 0 && nLength < MAX_PATH ? CString(szName, (int)nLength) : strPath;
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
    target.strFull = FullPathOf(bExists ? OwnNameOf(target.hFile, strPath) : strPath, target.nDirLength);
    // No one may write a read-only file, even where the system lets this user open it (Wine, as root).
    if (bExists && (::GetFileAttributesA(target.strFull) & FILE_ATTRIBUTE_READONLY))
        target.strFull = CString();
    if (!target.strFull.IsEmpty())
        target.nKind = !bExists ? kTargetNew : IsMountPoint(target.strFull) ? kTargetInPlace : kTargetReplaceable;
    return target;
}

// A file written over from its start is cut where the text ends, if it was longer: Wine's cut makes the file
// a byte longer for a moment, which a reader would take for a torn report.
bool CutAfterText(HANDLE hFile)
{
    LONG nAtHigh = 0;
    DWORD nAt = ::SetFilePointer(hFile, 0, &nAtHigh, FILE_CURRENT);
    DWORD nSizeHigh = 0;
    DWORD nSize = ::GetFileSize(hFile, &nSizeHigh);
    bool bKnown = nAt != INVALID_SET_FILE_POINTER && nSize != INVALID_FILE_SIZE;
    return (bKnown && nSizeHigh == (DWORD)nAtHigh && nSize == nAt) || ::SetEndOfFile(hFile);
}

// Through the runtime's text mode, so that lines end as text files' do on this system; the old text that an
// in-place write puts back goes as it was read. The handle is closed. A file is flushed to disk, and cut after
// the text where it had text before; devices and pipes take the text as it comes.
enum WriteMode { kWriteStream, kWriteNewFile, kWriteOverFile };

bool WriteText(HANDLE hFile, const CString& strText, WriteMode nMode, int nTranslation = _O_TEXT)
{
    int fd = _open_osfhandle((intptr_t)hFile, nTranslation | _O_WRONLY);
    if (fd < 0)
    {
        ::CloseHandle(hFile);
        return false;
    }
    bool bWritten = _write(fd, strText, (unsigned int)strText.GetLength()) == strText.GetLength();
    if (bWritten && nMode == kWriteOverFile)
        bWritten = CutAfterText(hFile);
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
// The handle may change the file's security, which it is given before anything is written to it.
HANDLE CreateTempFile(const CString& strDir, HANDLE hTemplate, CString& strTemp)
{
    for (int nAttempt = 0; nAttempt < 8; nAttempt++)
    {
        GUID guid;
        if (FAILED(::CoCreateGuid(&guid)) || (strTemp = TempPathOf(strDir, guid)).IsEmpty())
        {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return INVALID_HANDLE_VALUE;
        }
        HANDLE hTemp = ::CreateFileA(strTemp, GENERIC_WRITE | READ_CONTROL | WRITE_DAC | WRITE_OWNER, 0, NULL, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, hTemplate != INVALID_HANDLE_VALUE ? hTemplate : NULL);
        if (hTemp != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return hTemp;
    }
    return INVALID_HANDLE_VALUE;
}

// The DACL of an open file, and in nControl whether it is protected from its folder's; NULL, with the last
// error, where it cannot be read. The descriptor that holds it is the caller's to free.
PACL DaclOf(HANDLE hFile, PSID* ppOwner, PSID* ppGroup, SECURITY_DESCRIPTOR_CONTROL& nControl,
            PSECURITY_DESCRIPTOR& pDescriptor)
{
    PACL pDacl = NULL;
    DWORD nRevision;
    pDescriptor = NULL;
    DWORD dwError = ::GetSecurityInfo(hFile, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION |
                                      (ppOwner != NULL ? OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION : 0),
                                      ppOwner, ppGroup, &pDacl, NULL, &pDescriptor);
    nControl = 0;
    if (dwError == ERROR_SUCCESS)
        ::GetSecurityDescriptorControl(pDescriptor, &nControl, &nRevision);
    ::SetLastError(dwError);
    return dwError == ERROR_SUCCESS ? pDacl : NULL;
}

bool IsSameDacl(const PACL pOne, SECURITY_DESCRIPTOR_CONTROL nOne, const PACL pOther, SECURITY_DESCRIPTOR_CONTROL nOther)
{
    return pOne != NULL && pOther != NULL && ((nOne ^ nOther) & SE_DACL_PROTECTED) == 0 &&
           pOne->AclSize == pOther->AclSize && memcmp(pOne, pOther, pOne->AclSize) == 0;
}

// The new report gets the old one's access rules, inherited from its folder or its own as they were, and its
// owner and group where this user may give them; without them it would have what its folder gives new files.
// Rules it already has, as where both take them from the folder, are not set again.
bool CopySecurity(HANDLE hFrom, HANDLE hTo)
{
    PSID pOwner = NULL, pGroup = NULL;
    SECURITY_DESCRIPTOR_CONTROL nOld, nNew;
    PSECURITY_DESCRIPTOR pOldDescriptor, pNewDescriptor;
    PACL pOld = DaclOf(hFrom, &pOwner, &pGroup, nOld, pOldDescriptor);
    DWORD dwError = ::GetLastError();
    if (dwError == ERROR_SUCCESS)
    {
        dwError = ::SetSecurityInfo(hTo, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                                    pOwner, pGroup, NULL, NULL);
        if (dwError == ERROR_INVALID_OWNER || dwError == ERROR_INVALID_PRIMARY_GROUP ||
            dwError == ERROR_PRIVILEGE_NOT_HELD || dwError == ERROR_ACCESS_DENIED)
            dwError = ERROR_SUCCESS;
    }
    // Read after the owner is given, as a new owner may take rights with it (the setuid bit here).
    PACL pNew = DaclOf(hTo, NULL, NULL, nNew, pNewDescriptor);
    if (dwError == ERROR_SUCCESS && !IsSameDacl(pOld, nOld, pNew, nNew))
    {
        dwError = ::SetSecurityInfo(hTo, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION |
                                    ((nOld & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                : UNPROTECTED_DACL_SECURITY_INFORMATION),
                                    NULL, NULL, pOld, NULL);
        ::LocalFree(pNewDescriptor);
        pNew = DaclOf(hTo, NULL, NULL, nNew, pNewDescriptor);
        // Where the rules do not stay as given (Wine keeps them as permission bits, which come out wider), the
        // new file is refused as for lack of rights: the report is written in place and keeps its own.
        if (dwError == ERROR_SUCCESS && !IsSameDacl(pOld, nOld, pNew, nNew))
            dwError = ERROR_ACCESS_DENIED;
    }
    ::LocalFree(pOldDescriptor);
    ::LocalFree(pNewDescriptor);
    ::SetLastError(dwError);
    return dwError == ERROR_SUCCESS;
}

// What a failed replacement leaves to do: nothing more; where only this user's rights or another program's
// sharing stood in the way, a write in place; or, where a new report's name was taken by something that
// opened as nothing, a link to a file not made yet, the making of that file.
enum Outcome { kWritten, kKept, kRefused, kNameTaken };

Outcome OutcomeOf(DWORD dwError)
{
    return dwError == ERROR_ACCESS_DENIED || dwError == ERROR_SHARING_VIOLATION ? kRefused : kKept;
}

// A new report takes its name as a second link to the written file, which loses nothing already at the name:
// a link to nowhere, which opening the path could not see, refuses it. Where the file system has no such
// links, a move that replaces nothing stands in.
Outcome PublishNew(const CString& strTemp, const CString& strFull)
{
    if (::CreateHardLinkA(strFull, strTemp, NULL))
    {
        ::DeleteFileA(strTemp);
        return kWritten;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
        return kNameTaken;
    return ::MoveFileExA(strTemp, strFull, MOVEFILE_WRITE_THROUGH) ? kWritten : OutcomeOf(::GetLastError());
}

// One rename puts the new report in the old one's place, so a reader finds the old one or the new one at every
// moment. The old file is closed first, as Windows moves nothing over a file that is open.
Outcome ReplaceWhole(Target& target, const CString& strText)
{
    CString strTemp;
    HANDLE hTemp = CreateTempFile(CString(target.strFull, target.nDirLength), target.hFile, strTemp);
    bool bReplacing = target.hFile != INVALID_HANDLE_VALUE;
    bool bReady = hTemp != INVALID_HANDLE_VALUE && (!bReplacing || CopySecurity(target.hFile, hTemp));
    DWORD dwError = ::GetLastError();
    if (bReplacing)
        ::CloseHandle(target.hFile);
    target.hFile = INVALID_HANDLE_VALUE;
    if (hTemp == INVALID_HANDLE_VALUE)
        return OutcomeOf(dwError);
    Outcome nOutcome = kKept;
    if (!bReady)
    {
        ::CloseHandle(hTemp);
        nOutcome = OutcomeOf(dwError);
    }
    else if (WriteText(hTemp, strText, kWriteNewFile))
    {
        if (!bReplacing)
            nOutcome = PublishNew(strTemp, target.strFull);
        else if (::MoveFileExA(strTemp, target.strFull, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return kWritten;
        else
            nOutcome = OutcomeOf(::GetLastError());
        if (nOutcome == kWritten)
            return kWritten;
    }
    ::DeleteFileA(strTemp);
    return nOutcome;
}

// The whole file, or false where it cannot be read or held.
bool ReadWhole(const CString& strPath, CString& strText)
{
    HANDLE hFile = ::CreateFileA(strPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD nHigh = 0;
    DWORD nSize = ::GetFileSize(hFile, &nHigh);
    char* pch = nSize < 0x40000000 && nHigh == 0 ? strText.GetBufferSetLength((int)nSize) : NULL;
    DWORD nDone = 0, nRead = 0;
    while (pch != NULL && nDone < nSize && ::ReadFile(hFile, pch + nDone, nSize - nDone, &nRead, NULL) && nRead > 0)
        nDone += nRead;
    ::CloseHandle(hFile);
    return pch != NULL && nDone == nSize;
}

// Where the report may be written but not replaced, it is rewritten from its start as a plain write of the
// path would; its old text, read first, is written back if any step fails, so only a kill while those few
// hundred bytes are written can cut it. A report that was not there yet is made at the path itself, and
// removed again if its write fails.
int WriteInPlace(const Target& target, const CString& strText)
{
    if (target.nKind == kTargetNew)
    {
        HANDLE hFile = ::CreateFileA(target.strFull, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (hFile == INVALID_HANDLE_VALUE)
            return -1;
        if (WriteText(hFile, strText, kWriteNewFile))
            return 0;
        ::DeleteFileA(target.strFull);
        return -1;
    }
    CString strOld;
    if (!ReadWhole(target.strFull, strOld))
        return -1;
    HANDLE hFile = OpenForWriting(target.strFull);
    if (hFile == INVALID_HANDLE_VALUE)
        return -1;
    if (WriteText(hFile, strText, kWriteOverFile))
        return 0;
    WriteText(OpenForWriting(target.strFull), strOld, kWriteOverFile, _O_BINARY);
    return -1;
}

// Whether any of the eight bytes is a control character or DEL; most words of a value hold neither.
bool HasControl(uint64_t nWord)
{
    const uint64_t kOnes = 0x0101010101010101ull;
    const uint64_t nDel = nWord ^ (kOnes * 0x7F);
    return ((((nWord - kOnes * ' ') & ~nWord) | ((nDel - kOnes) & ~nDel)) & (kOnes * 0x80)) != 0;
}

// The client has made every control character a blank already; this guards the six lines against any such
// byte that still reaches a value. No ANSI code page uses these bytes inside a character.
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

int WriteTo(const CString& strPath, const CString& strText, bool bMayMakeLinkTarget);

// The file that a link to nowhere names is made through it, as opening the path for writing would make it,
// and then written as any report is; if that fails, the file made is removed again.
int WriteThroughLink(const CString& strPath, const CString& strText)
{
    HANDLE hFile = ::CreateFileA(strPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return -1;
    int nDir;
    CString strMade = FullPathOf(OwnNameOf(hFile, strPath), nDir);
    bool bEmpty = ::GetFileSize(hFile, NULL) == 0;
    ::CloseHandle(hFile);
    if (strMade.IsEmpty() || !bEmpty)
        return -1;
    int nResult = WriteTo(strPath, strText, false);
    if (nResult != 0)
        ::DeleteFileA(strMade);
    return nResult;
}

// A link to nowhere is made a file once, never again for the same report, whatever changes meanwhile.
int WriteTo(const CString& strPath, const CString& strText, bool bMayMakeLinkTarget)
{
    Target target = Classify(strPath);
    switch (target.nKind)
    {
    case kTargetInPlace:
        return WriteText(target.hFile, strText,
                         ::GetFileType(target.hFile) == FILE_TYPE_DISK ? kWriteOverFile : kWriteStream) ? 0 : -1;
    case kTargetNew:
    case kTargetReplaceable:
        switch (ReplaceWhole(target, strText))
        {
        case kWritten: return 0;
        case kRefused: return WriteInPlace(target, strText);
        case kNameTaken: return bMayMakeLinkTarget ? WriteThroughLink(strPath, strText) : -1;
        default: return -1;
        }
    default:
        if (target.hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(target.hFile);
        return -1;
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
    return WriteTo(strPath, strText, true);
}
