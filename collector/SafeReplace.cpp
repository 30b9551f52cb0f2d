// How a file is replaced safely: what stands at the path is judged once, then replaced whole through a temporary
// file beside it or, where renaming cannot replace it, written in place; a file is never left torn.
#include "collector/SafeReplace.h"

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <stdint.h>
#include <string.h>

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// "~tavlen-", 32 hexadecimal digits and ".tmp": what a temporary file's name adds to its folder's path.
const int kTempNameLength = 44;
// What a new report takes over from the old one; read-only never comes, as such a file is never replaced.
const DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A UTF-16 text on the framework's heap, freed with its owner; NULL where memory ran out.
class CWideText
{
public:
    CWideText() : m_psz(NULL), m_nLength(0) {}
    ~CWideText() { AfxFree(m_psz); }

    // A buffer of nLength units and a terminator for the caller to fill; the old text is gone.
    WCHAR* SetLength(int nLength)
    {
        AfxFree(m_psz);
        m_psz = static_cast<WCHAR*>(AfxAlloc((nLength + 1) * sizeof(WCHAR)));
        m_nLength = m_psz != NULL ? nLength : 0;
        if (m_psz != NULL)
            m_psz[nLength] = 0;
        return m_psz;
    }
    // Where the caller filled less of the buffer than it asked for.
    void Truncate(int nLength) { m_psz[m_nLength = nLength] = 0; }
    bool Assign(LPCWSTR pch, int nLength)
    {
        WCHAR* psz = SetLength(nLength);
        if (psz != NULL)
            memcpy(psz, pch, nLength * sizeof(WCHAR));
        return psz != NULL;
    }
    operator LPCWSTR() const { return m_psz; }
    int GetLength() const { return m_nLength; }
    bool IsNull() const { return m_psz == NULL; }

private:
    CWideText(const CWideText&);
    void operator=(const CWideText&);

    WCHAR* m_psz;
    int m_nLength;
};

int WideLength(LPCWSTR psz)
{
    int nLength = 0;
    while (psz[nLength] != 0)
        ++nLength;
    return nLength;
}

bool IsLongForm(LPCWSTR psz)
{
    return psz[0] == '\\' && psz[1] == '\\' && psz[2] == '?' && psz[3] == '\\';
}

// What tells one file from every other: its volume and its index there.
struct FileIdentity
{
    DWORD dwVolume, nIndexHigh, nIndexLow;
};

bool IdentityOf(HANDLE hFile, FileIdentity& id, DWORD& dwAttributes)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(hFile, &info))
        return false;
    id.dwVolume = info.dwVolumeSerialNumber;
    id.nIndexHigh = info.nFileIndexHigh;
    id.nIndexLow = info.nFileIndexLow;
    dwAttributes = info.dwFileAttributes;
    return true;
}

bool IsSameIdentity(const FileIdentity& one, const FileIdentity& other)
{
    return one.dwVolume == other.dwVolume && one.nIndexHigh == other.nIndexHigh && one.nIndexLow == other.nIndexLow;
}

// What a report may do to what stands at its path. Opening the path for writing, as a plain write of the
// file would, decides it: anything that open refuses is left as it is.
enum TargetKind
{
    kTargetUnusable,    // a folder, a file this user may not write, a locked file, or a path to nowhere
    kTargetNew,         // nothing there yet
    kTargetReplaceable, // a file: a new one takes its place whole, with its attributes and security
    kTargetInPlace,     // a device, a pipe, a file mounted over another, or one this user may only write
};

struct Target
{
    TargetKind nKind;
    HANDLE hFile;          // open for writing, where the path names something
    CWideText strFull;     // the file the path reaches, for a new or replaceable target
    int nDirLength;        // the length of its folder, with the trailing separator
    FileIdentity id;       // of the file opened, for a replaceable target
    DWORD dwAttributes;
};

// Only the rights a plain write needs, and the file's attributes, which tell it from any other. A share that
// gives this user the write alone still takes the report as a plain write would give it.
HANDLE OpenForWriting(LPCWSTR pszPath)
{
    HANDLE hFile = ::CreateFileW(pszPath, GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll, NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED)
        hFile = ::CreateFileW(pszPath, GENERIC_WRITE, kShareAll, NULL, OPEN_EXISTING, 0, NULL);
    return hFile;
}

// A full path past MAX_PATH, or one whose temporary file's name would pass it, in the form Windows takes up to
// its 32,767 characters: "\\?\" before a drive's path, "\\?\UNC\" for a share's. Anything else, such as a
// device's path or this system's own, stays as it is.
bool ToLongForm(CWideText& strFull, int& nDirLength)
{
    static const WCHAR kShare[] = { '\\', '\\', '?', '\\', 'U', 'N', 'C' };
    LPCWSTR psz = strFull;
    bool bDrive = psz[0] != 0 && psz[1] == ':' && psz[2] == '\\';
    bool bShare = psz[0] == '\\' && psz[1] == '\\' && psz[2] != '?' && psz[2] != '.';
    if (strFull.GetLength() + kTempNameLength < MAX_PATH || (!bDrive && !bShare))
        return true;
    // A share's path keeps its second backslash: "\\srv\share" becomes "\\?\UNC\srv\share".
    int nPrefix = bDrive ? 4 : 7, nSkip = bDrive ? 0 : 1;
    CWideText strLong;
    WCHAR* pch = strLong.SetLength(nPrefix + strFull.GetLength() - nSkip);
    if (pch == NULL)
        return false;
    memcpy(pch, kShare, nPrefix * sizeof(WCHAR));
    memcpy(pch + nPrefix, psz + nSkip, (strFull.GetLength() - nSkip) * sizeof(WCHAR));
    nDirLength += nPrefix - nSkip;
    return strFull.Assign(strLong, strLong.GetLength());
}

// The full path of what the path names, in nDirLength the length of its folder with the trailing separator;
// false where the path names no file or leads nowhere. Most paths fit MAX_PATH, so the path is resolved once; a
// longer one is resolved again into a buffer of the size it reported. A name in the long form is full already.
bool FullPathOf(LPCWSTR pszPath, CWideText& strFull, int& nDirLength)
{
    if (IsLongForm(pszPath))
    {
        nDirLength = WideLength(pszPath);
        while (nDirLength > 0 && pszPath[nDirLength - 1] != '\\')
            --nDirLength;
        return strFull.Assign(pszPath, WideLength(pszPath));
    }
    DWORD nSize = MAX_PATH;
    for (int nAttempt = 0; nAttempt < 2; nAttempt++)
    {
        WCHAR* pszFilePart = NULL;
        WCHAR* pszFull = strFull.SetLength((int)nSize - 1);
        DWORD nLength = pszFull != NULL ? ::GetFullPathNameW(pszPath, nSize, pszFull, &pszFilePart) : 0;
        if (nLength == 0 || (nLength < nSize && pszFilePart == NULL))
            return false;
        if (nLength < nSize)
        {
            strFull.Truncate((int)nLength);
            nDirLength = (int)(pszFilePart - pszFull);
            return ToLongForm(strFull, nDirLength);
        }
        nSize = nLength;
    }
    return false;
}

typedef DWORD(WINAPI* PFNGETFINALPATHNAMEBYHANDLEW)(HANDLE, LPWSTR, DWORD, DWORD);

FARPROC Kernel32Call(LPCSTR pszName)
{
    return ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), pszName);
}

// The name of the open file itself, through any link, junction, mapped or substituted drive, in its long form: a
// report replaced under the name the caller gave would turn a link into a file, and a short name into the
// report's only name. Windows has the call from Vista on; where it has none, or none here, the long form of the
// path itself does. Where neither can tell, the caller's name stands. Either answers in UTF-16, so no character
// of the name is ever taken for another.
void OwnNameOf(HANDLE hFile, LPCWSTR pszPath, CWideText& strName)
{
    PFNGETFINALPATHNAMEBYHANDLEW pfnFinalPath =
        reinterpret_cast<PFNGETFINALPATHNAMEBYHANDLEW>(reinterpret_cast<void*>(Kernel32Call("GetFinalPathNameByHandleW")));
    DWORD nSize = MAX_PATH;
    for (int nAttempt = 0; nAttempt < 2; nAttempt++)
    {
        WCHAR* pszName = strName.SetLength((int)nSize - 1);
        DWORD nLength = pszName == NULL       ? 0
                        : pfnFinalPath != NULL ? pfnFinalPath(hFile, pszName, nSize, 0)
                                               : ::GetLongPathNameW(pszPath, pszName, nSize);
        if (nLength == 0)
            break;
        if (nLength < nSize)
        {
            strName.Truncate((int)nLength);
            return;
        }
        nSize = nLength;
    }
    strName.Assign(pszPath, WideLength(pszPath));
}

// A file bound over another, as a single file is bound into a container, is the root of its own mount.
bool IsMountPoint(const CWideText& strFull)
{
    int nLength = strFull.GetLength();
    CWideText strVolume;
    WCHAR* pszVolume = strVolume.SetLength(nLength + 1);
    return pszVolume != NULL && ::GetVolumePathNameW(strFull, pszVolume, nLength + 2) &&
           WideLength(pszVolume) == nLength + 1 && memcmp(pszVolume, strFull, nLength * sizeof(WCHAR)) == 0;
}

void Classify(LPCWSTR pszPath, Target& target)
{
    target.nKind = kTargetUnusable;
    target.hFile = OpenForWriting(pszPath);
    bool bExists = target.hFile != INVALID_HANDLE_VALUE;
    if (!bExists && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return;
    // What cannot be told from another file, because this user may only write it, is written as a plain write would.
    if (bExists && (::GetFileType(target.hFile) != FILE_TYPE_DISK ||
                    !IdentityOf(target.hFile, target.id, target.dwAttributes)))
    {
        target.nKind = kTargetInPlace;
        return;
    }
    // No one may write a read-only file, even where the system lets this user open it (Wine, as root).
    if (bExists && (target.dwAttributes & FILE_ATTRIBUTE_READONLY))
        return;
    CWideText strName;
    if (bExists)
        OwnNameOf(target.hFile, pszPath, strName);
    else
        strName.Assign(pszPath, WideLength(pszPath));
    if (strName.IsNull() || !FullPathOf(strName, target.strFull, target.nDirLength))
        return;
    target.nKind = !bExists ? kTargetNew : IsMountPoint(target.strFull) ? kTargetInPlace : kTargetReplaceable;
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
    int fd = hFile != INVALID_HANDLE_VALUE ? _open_osfhandle((intptr_t)hFile, nTranslation | _O_WRONLY) : -1;
    if (fd < 0)
    {
        if (hFile != INVALID_HANDLE_VALUE)
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

// A second handle to the same open file, for the runtime to close when the text is written; the first stays to
// rename the file or remove it.
HANDLE DuplicateOf(HANDLE hFile)
{
    HANDLE hDuplicate = INVALID_HANDLE_VALUE;
    HANDLE hProcess = ::GetCurrentProcess();
    return ::DuplicateHandle(hProcess, hFile, hProcess, &hDuplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)
               ? hDuplicate : INVALID_HANDLE_VALUE;
}

WCHAR* AppendHex(WCHAR* pch, unsigned long nValue, int nDigits)
{
    for (int i = nDigits - 1; i >= 0; i--, nValue >>= 4)
        pch[i] = "0123456789ABCDEF"[nValue & 15];
    return pch + nDigits;
}

WCHAR* AppendAscii(WCHAR* pch, const char* psz)
{
    while (*psz != 0)
        *pch++ = (WCHAR)*psz++;
    return pch;
}

// "~tavlen-", the GUID's 32 hexadecimal digits and ".tmp" in the target's folder; false where there is no memory.
bool TempPathOf(const Target& target, const GUID& guid, CWideText& strTemp)
{
    WCHAR* pch = strTemp.SetLength(target.nDirLength + kTempNameLength);
    if (pch == NULL)
        return false;
    memcpy(pch, target.strFull, target.nDirLength * sizeof(WCHAR));
    pch = AppendAscii(pch + target.nDirLength, "~tavlen-");
    pch = AppendHex(AppendHex(AppendHex(pch, guid.Data1, 8), guid.Data2, 4), guid.Data3, 4);
    for (int i = 0; i < 8; i++)
        pch = AppendHex(pch, guid.Data4[i], 2);
    AppendAscii(pch, ".tmp");
    return true;
}

// A random name, created exclusively, so no one can take the file's place or predict it. It is made with the
// right to delete it, which its maker holds through the handle even where the folder lets this user remove no
// file by name; and, where it replaces a file, to be given that file's security before anything is written.
HANDLE CreateTempFile(const Target& target, CWideText& strTemp)
{
    bool bReplacing = target.hFile != INVALID_HANDLE_VALUE;
    DWORD dwAccess = GENERIC_WRITE | DELETE | (bReplacing ? READ_CONTROL | WRITE_DAC | WRITE_OWNER : 0);
    DWORD dwAttributes = bReplacing ? target.dwAttributes & kKeptAttributes : 0;
    for (int nAttempt = 0; nAttempt < 8; nAttempt++)
    {
        GUID guid;
        if (FAILED(::CoCreateGuid(&guid)) || !TempPathOf(target, guid, strTemp))
        {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return INVALID_HANDLE_VALUE;
        }
        HANDLE hTemp = ::CreateFileW(strTemp, dwAccess, 0, NULL, CREATE_NEW,
                                     dwAttributes != 0 ? dwAttributes : FILE_ATTRIBUTE_NORMAL, NULL);
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

// The DACL's next rule of its own, not one derived from its folder's; NULL after the last.
const ACE_HEADER* NextOwnRule(const BYTE*& pch, WORD& nLeft)
{
    for (; nLeft > 0; --nLeft)
    {
        const ACE_HEADER* pAce = reinterpret_cast<const ACE_HEADER*>(pch);
        pch += pAce->AceSize;
        if (!(pAce->AceFlags & INHERITED_ACE))
            return --nLeft, pAce;
    }
    return NULL;
}

// A protected DACL is all its own. An unprotected one's derived rules are derived anew for the new file, where a
// rule for CREATOR OWNER names whoever writes the report now; only its own rules, in order, can be given over.
bool IsSameDacl(const PACL pOne, SECURITY_DESCRIPTOR_CONTROL nOne, const PACL pOther, SECURITY_DESCRIPTOR_CONTROL nOther)
{
    if (pOne == NULL || pOther == NULL || ((nOne ^ nOther) & SE_DACL_PROTECTED) != 0)
        return false;
    if (nOne & SE_DACL_PROTECTED)
        return pOne->AclSize == pOther->AclSize && memcmp(pOne, pOther, pOne->AclSize) == 0;
    const BYTE* pchOne = reinterpret_cast<const BYTE*>(pOne + 1);
    const BYTE* pchOther = reinterpret_cast<const BYTE*>(pOther + 1);
    WORD nOneLeft = pOne->AceCount, nOtherLeft = pOther->AceCount;
    for (;;)
    {
        const ACE_HEADER* pAce = NextOwnRule(pchOne, nOneLeft);
        const ACE_HEADER* pOtherAce = NextOwnRule(pchOther, nOtherLeft);
        if (pAce == NULL || pOtherAce == NULL)
            return pAce == pOtherAce;
        if (pAce->AceSize != pOtherAce->AceSize || memcmp(pAce, pOtherAce, pAce->AceSize) != 0)
            return false;
    }
}

bool IsSameSid(PSID pOne, PSID pOther)
{
    return pOne != NULL && pOther != NULL && ::EqualSid(pOne, pOther);
}

// The new report gets the old one's access rules, its own and whether it takes its folder's, and its owner and
// group where this user may give them; without them it would have what its folder gives new files. An owner, a
// group or rules it already has are not set again.
bool CopySecurity(HANDLE hFrom, HANDLE hTo)
{
    PSID pOwner = NULL, pGroup = NULL, pNewOwner = NULL, pNewGroup = NULL;
    SECURITY_DESCRIPTOR_CONTROL nOld, nNew;
    PSECURITY_DESCRIPTOR pOldDescriptor, pNewDescriptor;
    PACL pOld = DaclOf(hFrom, &pOwner, &pGroup, nOld, pOldDescriptor);
    DWORD dwError = ::GetLastError();
    PACL pNew = DaclOf(hTo, &pNewOwner, &pNewGroup, nNew, pNewDescriptor);
    if (dwError == ERROR_SUCCESS && !(IsSameSid(pOwner, pNewOwner) && IsSameSid(pGroup, pNewGroup)))
    {
        dwError = ::SetSecurityInfo(hTo, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                                    pOwner, pGroup, NULL, NULL);
        if (dwError == ERROR_INVALID_OWNER || dwError == ERROR_INVALID_PRIMARY_GROUP ||
            dwError == ERROR_PRIVILEGE_NOT_HELD || dwError == ERROR_ACCESS_DENIED)
            dwError = ERROR_SUCCESS;
        // Read again once the owner is given, as a new owner may take rights with it (the setuid bit here).
        ::LocalFree(pNewDescriptor);
        pNew = DaclOf(hTo, NULL, NULL, nNew, pNewDescriptor);
    }
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

// What a failed replacement leaves to do: nothing more; a write in place, wherever a plain write of the path could
// still succeed; or, where a new report's name was taken by something that opened as nothing, a link to a file
// not made yet, the making of that file.
enum Outcome { kWritten, kKept, kRefused, kNameTaken };

// Only what would stop a plain write too keeps the old report unwritten: a full disk, a quota, a size limit, an
// I/O error, or no memory to hold the old report while it is rewritten. Anything else (rights, sharing, a name
// the share refuses, an owner the file system cannot give) stands only in the way of the replacement.
Outcome OutcomeOf(DWORD dwError)
{
    // The SDK's ERROR_DISK_QUOTA_EXCEEDED, which the headers for XP lack.
    const DWORD kErrorDiskQuotaExceeded = 1295;
    if (dwError == kErrorDiskQuotaExceeded)
        return kKept;
    switch (dwError)
    {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
    case ERROR_IO_DEVICE:
    case ERROR_CRC:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_ENOUGH_MEMORY:
        return kKept;
    default:
        return kRefused;
    }
}

// The layouts Windows gives these from Vista on, which the headers for XP lack; the call itself is looked up.
struct RenameInformation
{
    DWORD dwReplaceIfExists;  // a BOOLEAN, and on later Windows a word of flags whose first bit it is
    HANDLE hRootDirectory;
    DWORD nFileNameLength;    // in bytes
    WCHAR szFileName[1];
};
enum { kFileRenameInfo = 3, kFileDispositionInfo = 4 };
typedef BOOL(WINAPI* PFNSETFILEINFORMATIONBYHANDLE)(HANDLE, int, LPVOID, DWORD);

PFNSETFILEINFORMATIONBYHANDLE HandleCall()
{
    return reinterpret_cast<PFNSETFILEINFORMATIONBYHANDLE>(
        reinterpret_cast<void*>(Kernel32Call("SetFileInformationByHandle")));
}

// Gives the open file the full name; a name already taken is replaced only when asked.
bool RenameOpenFile(PFNSETFILEINFORMATIONBYHANDLE pfnSet, HANDLE hFile, const CWideText& strName, bool bReplace)
{
    DWORD nBytes = (DWORD)(sizeof(RenameInformation) + strName.GetLength() * sizeof(WCHAR));
    RenameInformation* pInfo = static_cast<RenameInformation*>(AfxAlloc(nBytes));
    if (pInfo == NULL)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    pInfo->dwReplaceIfExists = bReplace;
    pInfo->hRootDirectory = NULL;
    pInfo->nFileNameLength = (DWORD)(strName.GetLength() * sizeof(WCHAR));
    memcpy(pInfo->szFileName, strName, (strName.GetLength() + 1) * sizeof(WCHAR));
    BOOL bRenamed = pfnSet(hFile, kFileRenameInfo, pInfo, nBytes);
    DWORD dwError = ::GetLastError();
    AfxFree(pInfo);
    ::SetLastError(dwError);
    return bRenamed != FALSE;
}

// The temporary file goes: through its own handle where Windows can, which needs no right to delete it by name;
// or by name once it is closed.
void Discard(PFNSETFILEINFORMATIONBYHANDLE pfnSet, HANDLE hTemp, const CWideText& strTemp)
{
    BYTE bDelete = TRUE;
    bool bGone = hTemp != INVALID_HANDLE_VALUE && pfnSet != NULL &&
                 pfnSet(hTemp, kFileDispositionInfo, &bDelete, sizeof(bDelete));
    if (hTemp != INVALID_HANDLE_VALUE)
        ::CloseHandle(hTemp);
    if (!bGone)
        ::DeleteFileW(strTemp);
}

// Whether the name found still reaches the file that was opened, and not another put in its place since, nor a
// link: only then may the report be renamed over it.
bool IsStillAtItsName(const Target& target)
{
    HANDLE hFile = ::CreateFileW(target.strFull, FILE_READ_ATTRIBUTES, kShareAll, NULL, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    FileIdentity id;
    DWORD dwAttributes;
    bool bSame = hFile != INVALID_HANDLE_VALUE && IdentityOf(hFile, id, dwAttributes) && IsSameIdentity(id, target.id);
    if (hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(hFile);
    return bSame;
}

// One rename puts the written file at the name, so a reader finds the old report or the new one at every
// moment: through the file's own handle where Windows can, which needs no right to it by name; on XP, which
// renames no open file, by name once it is closed, as it may be already. Where the rename fails the temporary
// file goes.
Outcome Rename(PFNSETFILEINFORMATIONBYHANDLE pfnSet, HANDLE hTemp, const CWideText& strTemp,
               const CWideText& strFull, bool bReplace)
{
    bool bRenamed;
    if (pfnSet != NULL)
        bRenamed = RenameOpenFile(pfnSet, hTemp, strFull, bReplace);
    else
    {
        if (hTemp != INVALID_HANDLE_VALUE)
            ::CloseHandle(hTemp);
        hTemp = INVALID_HANDLE_VALUE;
        bRenamed = ::MoveFileExW(strTemp, strFull, (bReplace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH);
    }
    Outcome nOutcome = bRenamed ? kWritten : OutcomeOf(::GetLastError());
    if (!bRenamed)
        Discard(pfnSet, hTemp, strTemp);
    else if (hTemp != INVALID_HANDLE_VALUE)
        ::CloseHandle(hTemp);
    return nOutcome;
}

// A new report takes its name as a second link to the written file, which loses nothing already at the name:
// a link to nowhere, which opening the path could not see, refuses it, where a rename would take its place. The
// temporary name then goes. Where the file system has no such links, a rename that replaces nothing stands in.
Outcome PublishNew(PFNSETFILEINFORMATIONBYHANDLE pfnSet, HANDLE hTemp, const CWideText& strTemp,
                   const CWideText& strFull)
{
    bool bLinked = ::CreateHardLinkW(strFull, strTemp, NULL) != FALSE;
    if (!bLinked && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return Rename(pfnSet, hTemp, strTemp, strFull, false);
    Discard(pfnSet, hTemp, strTemp);
    return bLinked ? kWritten : kNameTaken;
}

// Only a name that still reaches the file that was judged is replaced.
Outcome Publish(const Target& target, HANDLE hTemp, const CWideText& strTemp)
{
    PFNSETFILEINFORMATIONBYHANDLE pfnSet = HandleCall();
    if (target.nKind != kTargetReplaceable)
        return PublishNew(pfnSet, hTemp, strTemp, target.strFull);
    if (IsStillAtItsName(target))
        return Rename(pfnSet, hTemp, strTemp, target.strFull, true);
    Discard(pfnSet, hTemp, strTemp);
    return kKept;
}

// The old file is closed before anything is renamed over it, as Windows moves nothing over a file that is open.
Outcome ReplaceWhole(Target& target, const CString& strText)
{
    CWideText strTemp;
    HANDLE hTemp = CreateTempFile(target, strTemp);
    bool bReplacing = target.hFile != INVALID_HANDLE_VALUE;
    bool bReady = hTemp != INVALID_HANDLE_VALUE && (!bReplacing || CopySecurity(target.hFile, hTemp));
    DWORD dwError = ::GetLastError();
    if (bReplacing)
        ::CloseHandle(target.hFile);
    target.hFile = INVALID_HANDLE_VALUE;
    if (hTemp == INVALID_HANDLE_VALUE)
        return OutcomeOf(dwError);
    // A write that fails has met a full disk, a quota, a size limit or an I/O error. Where the file is renamed
    // through its handle, the runtime closes a second one; elsewhere it is renamed by name once closed anyway.
    Outcome nOutcome = !bReady ? OutcomeOf(dwError) : kKept;
    PFNSETFILEINFORMATIONBYHANDLE pfnSet = HandleCall();
    HANDLE hWrite = !bReady ? INVALID_HANDLE_VALUE : pfnSet != NULL ? DuplicateOf(hTemp) : hTemp;
    if (hWrite == hTemp)
        hTemp = INVALID_HANDLE_VALUE;
    if (bReady && WriteText(hWrite, strText, kWriteNewFile))
        return Publish(target, hTemp, strTemp);
    Discard(pfnSet, hTemp, strTemp);
    return nOutcome;
}

// The whole file, or false, with the last error, where it cannot be read or held.
bool ReadWhole(LPCWSTR pszPath, CString& strText)
{
    HANDLE hFile = ::CreateFileW(pszPath, GENERIC_READ, kShareAll, NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD nHigh = 0;
    DWORD nSize = ::GetFileSize(hFile, &nHigh);
    char* pch = nSize < 0x40000000 && nHigh == 0 ? strText.GetBufferSetLength((int)nSize) : NULL;
    DWORD nDone = 0, nRead = 0;
    while (pch != NULL && nDone < nSize && ::ReadFile(hFile, pch + nDone, nSize - nDone, &nRead, NULL) && nRead > 0)
        nDone += nRead;
    ::CloseHandle(hFile);
    ::SetLastError(pch == NULL ? ERROR_NOT_ENOUGH_MEMORY : ERROR_READ_FAULT);
    return pch != NULL && nDone == nSize;
}

// The file at the name, opened for writing again, if it is still the one that was judged.
HANDLE ReopenForWriting(const Target& target)
{
    HANDLE hFile = OpenForWriting(target.strFull);
    FileIdentity id;
    DWORD dwAttributes;
    if (hFile != INVALID_HANDLE_VALUE && IdentityOf(hFile, id, dwAttributes) && !IsSameIdentity(id, target.id))
    {
        ::CloseHandle(hFile);
        return INVALID_HANDLE_VALUE;
    }
    return hFile;
}

// Where the report may be written but not replaced, it is rewritten from its start as a plain write of the
// path would; its old text, read first, is written back if any step fails, so only a kill while those few
// hundred bytes are written can cut it. An old text this user may not read is written over as a plain write
// would. A report that was not there yet is made at the path itself, and removed again if its write fails.
int WriteInPlace(const Target& target, const CString& strText)
{
    if (target.nKind == kTargetNew)
    {
        HANDLE hFile = ::CreateFileW(target.strFull, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (hFile == INVALID_HANDLE_VALUE)
            return -1;
        if (WriteText(hFile, strText, kWriteNewFile))
            return 0;
        ::DeleteFileW(target.strFull);
        return -1;
    }
    CString strOld;
    bool bHeld = ReadWhole(target.strFull, strOld);
    if (!bHeld && ::GetLastError() != ERROR_ACCESS_DENIED && ::GetLastError() != ERROR_SHARING_VIOLATION)
        return -1;
    HANDLE hFile = ReopenForWriting(target);
    if (hFile == INVALID_HANDLE_VALUE)
        return -1;
    if (WriteText(hFile, strText, kWriteOverFile))
        return 0;
    if (bHeld)
        WriteText(ReopenForWriting(target), strOld, kWriteOverFile, _O_BINARY);
    return -1;
}

int WriteTo(LPCWSTR pszPath, const CString& strText, bool bMayMakeLinkTarget);

// The file that a link to nowhere names is made through it, as opening the path for writing would make it,
// and then written as any report is; if that fails, the file made is removed again.
int WriteThroughLink(LPCWSTR pszPath, const CString& strText)
{
    HANDLE hFile = ::CreateFileW(pszPath, GENERIC_WRITE, kShareAll, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return -1;
    int nDir;
    CWideText strName, strMade;
    OwnNameOf(hFile, pszPath, strName);
    bool bMade = !strName.IsNull() && FullPathOf(strName, strMade, nDir);
    bool bEmpty = ::GetFileSize(hFile, NULL) == 0;
    ::CloseHandle(hFile);
    if (!bMade || !bEmpty)
        return -1;
    int nResult = WriteTo(pszPath, strText, false);
    if (nResult != 0)
        ::DeleteFileW(strMade);
    return nResult;
}

// A link to nowhere is made a file once, never again for the same report, whatever changes meanwhile.
int WriteTo(LPCWSTR pszPath, const CString& strText, bool bMayMakeLinkTarget)
{
    Target target;
    Classify(pszPath, target);
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
        case kNameTaken: return bMayMakeLinkTarget ? WriteThroughLink(pszPath, strText) : -1;
        default: return -1;
        }
    default:
        if (target.hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(target.hFile);
        return -1;
    }
}

} // namespace

// A path past MAX_PATH opens only in its long form, which is made once here for every step after.
int ReplaceFileWithText(LPCWSTR pszPath, const CString& strText)
{
    CWideText strLong;
    int nDirLength;
    if (WideLength(pszPath) >= MAX_PATH && !FullPathOf(pszPath, strLong, nDirLength))
        return -1;
    return WriteTo(strLong.IsNull() ? pszPath : strLong, strText, true);
}
