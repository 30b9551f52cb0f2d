// Files: opening and creating them by UTF-16 name, their identity, full path names as the file system resolves
// them, and whole-file moves.
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "internal.h"
#include "seam.h"

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif
#ifndef STATX_MNT_ID_UNIQUE
#define STATX_MNT_ID_UNIQUE 0x00004000U
#endif

namespace {

// As many links as the kernel follows in one path before it gives up with ELOOP.
const int kMaxLinks = 40;

// statmount(2), from Linux 6.8, as its header gives it: the request, and where the answer's mask, its mount
// point's offset and its strings lie.
struct MountRequest
{
    uint32_t nSize, nSpare;
    uint64_t nMountId, nAsked;
};
const long kSysStatmount = 457;
const uint64_t kMountPoint = 0x10;
const size_t kMaskAt = 8, kMountPointAt = 108, kStringsAt = 512;

BOOL Fail(int nErrno)
{
    compat__set_error_from_errno(nErrno);
    return FALSE;
}

HANDLE FailHandle(int nErrno)
{
    compat__set_error_from_errno(nErrno);
    return INVALID_HANDLE_VALUE;
}

int OpenFlagsFor(DWORD dwDesiredAccess)
{
    bool bRead = (dwDesiredAccess & GENERIC_READ) != 0;
    bool bWrite = (dwDesiredAccess & GENERIC_WRITE) != 0;
    if (bRead && bWrite)
        return O_RDWR;
    return bWrite ? O_WRONLY : O_RDONLY;
}

// A pipe without a reader refuses a writer at once instead of blocking the open; once open, the handle
// blocks as Windows' do. The open sets no other flag that F_SETFL changes, so one call clears it. Without read
// or write access the file is only looked at, as a path, which needs no right to its contents.
HANDLE OpenExisting(const char* pszPath, DWORD dwDesiredAccess, DWORD dwFlags)
{
    bool bLookOnly = !(dwDesiredAccess & (GENERIC_READ | GENERIC_WRITE));
    int nFlags = (bLookOnly ? O_PATH : OpenFlagsFor(dwDesiredAccess) | O_NOCTTY | O_NONBLOCK) | O_CLOEXEC |
                 ((dwFlags & FILE_FLAG_OPEN_REPARSE_POINT) ? O_NOFOLLOW : 0);
    int fd = compat__sys::open(pszPath, nFlags, 0);
    if (fd < 0)
        return FailHandle(errno);
    if (!bLookOnly)
        compat__sys::fcntl(fd, F_SETFL, 0);
    return compat__handle_of(fd);
}

// A link or anything else at the name refuses the creation.
HANDLE CreateNew(const char* pszPath, mode_t nMode)
{
    int fd = compat__sys::open(pszPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, nMode);
    if (fd < 0 && errno == EEXIST)
    {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    return fd < 0 ? FailHandle(errno) : compat__handle_of(fd);
}

// A UTF-16 name as the host's bytes: each character as the ANSI code page converts it, so a name that came from
// the host's bytes goes back to them exactly. One pass: no unit takes more than three bytes.
bool BytesOf(LPCWSTR pszName, std::string& strBytes)
{
    if (pszName == NULL)
        return false;
    int nUnits = 0;
    while (pszName[nUnits] != 0)
        ++nUnits;
    strBytes.resize((size_t)nUnits * 3 + 1);
    int nBytes = WideCharToMultiByte(CP_ACP, 0, pszName, nUnits + 1, &strBytes[0], (int)strBytes.size(), NULL, NULL);
    strBytes.resize(nBytes > 0 ? (size_t)nBytes - 1 : 0);
    return true;
}

bool CurrentDirectory(std::string& strDir)
{
    std::vector<char> buf(256);
    while (compat__sys::getcwd(buf.data(), buf.size()) == NULL)
    {
        if (errno != ERANGE)
            return false;
        buf.resize(buf.size() * 2);
    }
    strDir = buf.data();
    return strDir[0] == '/' || (errno = ENOENT, false);
}

// At one cost however deep the path: the kernel names an open folder in /proc. Where it cannot, or names
// one since removed, realpath(3) resolves it a name at a time.
bool RealPath(const std::string& strPath, std::string& strReal)
{
    static const char kDeleted[] = " (deleted)";
    int fd = compat__sys::open(strPath.c_str(), O_PATH | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    char buf[PATH_MAX];
    std::string strLink = "/proc/self/fd/" + std::to_string(fd);
    ssize_t cb = compat__sys::readlink(strLink.c_str(), buf, sizeof(buf));
    compat__sys::close(fd);
    const size_t nDeleted = sizeof(kDeleted) - 1;
    strReal.assign(buf, cb > 0 && (size_t)cb < sizeof(buf) ? (size_t)cb : 0);
    bool bGone = strReal.size() >= nDeleted && strReal.compare(strReal.size() - nDeleted, nDeleted, kDeleted) == 0;
    if (!strReal.empty() && strReal[0] == '/' && !bGone)
        return true;
    char* pszReal = compat__sys::realpath(strPath.c_str(), NULL);
    if (pszReal == NULL)
        return false;
    strReal = pszReal;
    free(pszReal);
    return true;
}

// The path that opening `strPath` reaches: its folder resolved by the file system, so that ".." leaves
// the folder a link points to, and a link at its end followed, as open(2) would follow it. A path that
// ends in a folder ends with a separator.
bool ResolvePath(std::string strPath, std::string& strFull)
{
    char link[PATH_MAX];
    for (int nLinks = 0; nLinks <= kMaxLinks; nLinks++)
    {
        size_t nSlash = strPath.rfind('/');
        std::string strName = strPath.substr(nSlash + 1);
        if (strName.empty() || strName == "." || strName == "..")
        {
            if (!RealPath(strPath, strFull))
                return false;
            if (strFull != "/")
                strFull += "/";
            return true;
        }
        std::string strDir;
        if (!RealPath(strPath.substr(0, nSlash + 1), strDir))
            return false;
        if (strDir == "/")
            strDir.clear();
        strFull = strDir + "/" + strName;
        ssize_t cb = compat__sys::readlink(strFull.c_str(), link, sizeof(link));
        if (cb < 0 || (size_t)cb >= sizeof(link))
            return true;  // no link: the file itself, or no file yet
        std::string strTarget(link, (size_t)cb);
        strPath = strTarget[0] == '/' ? strTarget : strDir + "/" + strTarget;
    }
    errno = ELOOP;
    return false;
}

// As Windows gives a path: its length when it fits with its terminator, or else the size it needs. A buffer as
// long as the bytes holds the units, as no byte makes more than one.
DWORD CopyPath(const std::string& strPath, DWORD nBufferLength, LPWSTR lpBuffer)
{
    int nBytes = (int)strPath.size() + 1;
    if (lpBuffer != NULL && nBufferLength >= (DWORD)nBytes)
        return (DWORD)MultiByteToWideChar(CP_ACP, 0, strPath.c_str(), nBytes, lpBuffer, nBytes) - 1;
    int nUnits = MultiByteToWideChar(CP_ACP, 0, strPath.c_str(), nBytes, NULL, 0);
    if ((DWORD)nUnits > nBufferLength || lpBuffer == NULL)
        return (DWORD)nUnits;
    return (DWORD)MultiByteToWideChar(CP_ACP, 0, strPath.c_str(), nBytes, lpBuffer, nUnits) - 1;
}

// Where statx cannot tell, a mount point is where the device changes; a file bound over another on the
// same file system then goes unseen.
bool IsMountRoot(const std::string& strPath)
{
    struct statx stx;
    if (compat__sys::statx(AT_FDCWD, strPath.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &stx) != 0)
        return false;
    if (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    struct stat stSelf, stParent;
    std::string strParent = strPath.substr(0, strPath.rfind('/') + 1);
    return compat__sys::stat(strPath.c_str(), &stSelf) == 0 && compat__sys::stat(strParent.c_str(), &stParent) == 0 &&
           stSelf.st_dev != stParent.st_dev;
}

// The mount point of the mount the path lies on, at two calls however deep the path, where the kernel has
// statmount; false elsewhere, and where the mount lies outside this process's root. A kernel before 6.8
// gives no unique mount id and has no statmount: the call is still made, with the id no mount has, and its
// refusal sends the caller to walk the path, so that every kernel takes the same steps here.
bool MountPointOf(const std::string& strPath, std::string& strMount)
{
    struct statx stx;
    if (compat__sys::statx(AT_FDCWD, strPath.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MNT_ID_UNIQUE, &stx) != 0 ||
        !(stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return false;
    if (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT)
    {
        strMount = strPath;
        return true;
    }
    uint64_t nMountId = (stx.stx_mask & STATX_MNT_ID_UNIQUE) ? stx.stx_mnt_id : 0;
    MountRequest request = { sizeof(MountRequest), 0, nMountId, kMountPoint };
    char buf[kStringsAt + PATH_MAX + 1];
    if (compat__sys::syscall(kSysStatmount, (long)&request, (long)buf, (long)sizeof(buf) - 1, 0) != 0)
        return false;
    buf[sizeof(buf) - 1] = 0;
    uint64_t nMask;
    uint32_t nAt;
    memcpy(&nMask, &buf[kMaskAt], sizeof(nMask));
    memcpy(&nAt, &buf[kMountPointAt], sizeof(nAt));
    if (!(nMask & kMountPoint) || nAt >= PATH_MAX)
        return false;
    strMount = &buf[kStringsAt + nAt];
    size_t n = strMount.size();
    return strMount == "/" || (strPath.compare(0, n, strMount) == 0 && strPath.size() > n && strPath[n] == '/');
}

// CIFS, SMB2 and the old SMB, by statfs's magic numbers.
bool IsSmbShare(const char* pszPath)
{
    struct statfs st;
    if (compat__sys::statfs(pszPath, &st) != 0)
        return false;
    unsigned long nType = (unsigned long)st.f_type & 0xFFFFFFFFul;
    return nType == 0xFF534D42ul || nType == 0xFE534D42ul || nType == 0x517Bul;
}

void SyncDirectoryOf(const char* pszPath)
{
    std::string strDir(pszPath);
    size_t nSlash = strDir.rfind('/');
    strDir = nSlash == std::string::npos ? "." : nSlash == 0 ? "/" : strDir.substr(0, nSlash);
    int fd = compat__sys::open(strDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd >= 0)
    {
        compat__sys::fsync(fd);
        compat__sys::close(fd);
    }
}

} // namespace

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE)
{
    std::string strPath;
    if (!BytesOf(lpFileName, strPath))
        return FailHandle(EINVAL);
    if (dwCreationDisposition == OPEN_EXISTING)
        return OpenExisting(strPath.c_str(), dwDesiredAccess, dwFlagsAndAttributes);
    if (dwCreationDisposition == CREATE_NEW && (dwDesiredAccess & GENERIC_WRITE) && !(dwDesiredAccess & GENERIC_READ))
        return CreateNew(strPath.c_str(), (dwDesiredAccess & WRITE_DAC) ? 0600 : 0666);
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
}

DWORD WINAPI GetFileType(HANDLE hFile)
{
    struct stat st;
    if (hFile == INVALID_HANDLE_VALUE || hFile == NULL || compat__sys::fstat(compat__descriptor_of(hFile), &st) != 0)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
        return FILE_TYPE_DISK;
    if (S_ISCHR(st.st_mode))
        return FILE_TYPE_CHAR;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
        return FILE_TYPE_PIPE;
    return FILE_TYPE_UNKNOWN;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation)
{
    struct stat st;
    if (hFile == INVALID_HANDLE_VALUE || hFile == NULL || lpFileInformation == NULL ||
        compat__sys::fstat(compat__descriptor_of(hFile), &st) != 0)
        return Fail(lpFileInformation == NULL ? EINVAL : EBADF);
    BY_HANDLE_FILE_INFORMATION info = {};
    info.dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    info.dwVolumeSerialNumber = (DWORD)((uint64_t)st.st_dev ^ ((uint64_t)st.st_dev >> 32));
    info.nFileSizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
    info.nFileSizeLow = (DWORD)st.st_size;
    info.nNumberOfLinks = (DWORD)st.st_nlink;
    info.nFileIndexHigh = (DWORD)((uint64_t)st.st_ino >> 32);
    info.nFileIndexLow = (DWORD)st.st_ino;
    *lpFileInformation = info;
    return TRUE;
}

BOOL WINAPI SetEndOfFile(HANDLE hFile)
{
    if (hFile == INVALID_HANDLE_VALUE || hFile == NULL)
        return Fail(EBADF);
    int fd = compat__descriptor_of(hFile);
    off_t nAt = compat__sys::lseek(fd, 0, SEEK_CUR);
    if (nAt < 0 || compat__sys::ftruncate(fd, nAt) != 0)
        return Fail(errno);
    return TRUE;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPVOID)
{
    if (hFile == INVALID_HANDLE_VALUE || hFile == NULL || lpNumberOfBytesRead == NULL)
        return Fail(EBADF);
    ssize_t cb;
    do
        cb = compat__sys::read(compat__descriptor_of(hFile), lpBuffer, nNumberOfBytesToRead);
    while (cb < 0 && errno == EINTR);
    *lpNumberOfBytesRead = cb < 0 ? 0 : (DWORD)cb;
    return cb < 0 ? Fail(errno) : TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    struct stat st;
    if (hFile == INVALID_HANDLE_VALUE || hFile == NULL || compat__sys::fstat(compat__descriptor_of(hFile), &st) != 0)
    {
        Fail(EBADF);
        return INVALID_FILE_SIZE;
    }
    if (lpFileSizeHigh != NULL)
        *lpFileSizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
    SetLastError(ERROR_SUCCESS);
    return (DWORD)st.st_size;
}

// Only where it stands is asked for: a move of the file pointer is refused.
DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod)
{
    off_t nAt = -1;
    bool bAsked = lDistanceToMove == 0 && (lpDistanceToMoveHigh == NULL || *lpDistanceToMoveHigh == 0) &&
                  dwMoveMethod == FILE_CURRENT;
    if (hFile == INVALID_HANDLE_VALUE || hFile == NULL || !bAsked ||
        (nAt = compat__sys::lseek(compat__descriptor_of(hFile), 0, SEEK_CUR)) < 0)
    {
        Fail(bAsked ? EBADF : EINVAL);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh != NULL)
        *lpDistanceToMoveHigh = (LONG)((uint64_t)nAt >> 32);
    return (DWORD)nAt;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (hObject == INVALID_HANDLE_VALUE || hObject == NULL)
        return Fail(EBADF);
    if (compat__is_event(hObject))
        return compat__close_event(hObject);
    return compat__sys::close(compat__descriptor_of(hObject)) == 0 ? TRUE : Fail(errno);
}

// Windows' own value for it, which no handle has.
HANDLE WINAPI GetCurrentProcess()
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

BOOL WINAPI DuplicateHandle(HANDLE, HANDLE hSourceHandle, HANDLE, LPHANDLE lpTargetHandle, DWORD, BOOL, DWORD)
{
    if (hSourceHandle == INVALID_HANDLE_VALUE || hSourceHandle == NULL || lpTargetHandle == NULL)
        return Fail(EBADF);
    int fd = compat__sys::fcntl(compat__descriptor_of(hSourceHandle), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return Fail(errno);
    *lpTargetHandle = compat__handle_of(fd);
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    struct stat st;
    if (lpFileName == NULL || compat__sys::stat(lpFileName, &st) != 0)
    {
        compat__set_error_from_errno(lpFileName == NULL ? EINVAL : errno);
        return INVALID_FILE_ATTRIBUTES;
    }
    // No one may write a read-only file on Windows; here that is a file this user may not write.
    DWORD dwAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (compat__sys::access(lpFileName, W_OK) != 0)
        dwAttributes |= FILE_ATTRIBUTE_READONLY;
    return dwAttributes != 0 ? dwAttributes : FILE_ATTRIBUTE_NORMAL;
}

// Windows resolves "." and ".." by the name alone, because its file systems do; here they are resolved as
// the file system resolves them, so a relative path needs a working folder that still exists.
DWORD WINAPI GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer, LPWSTR* lpFilePart)
{
    std::string strPath, strCwd, strFull;
    if (lpFileName == NULL || lpFileName[0] == 0)
    {
        SetLastError(lpFileName == NULL ? ERROR_INVALID_PARAMETER : ERROR_INVALID_NAME);
        return 0;
    }
    BytesOf(lpFileName, strPath);
    if (strPath[0] != '/' && !CurrentDirectory(strCwd))
        return Fail(errno);
    if (!ResolvePath(strPath[0] == '/' ? strPath : strCwd + "/" + strPath, strFull))
        return Fail(errno);
    DWORD nResult = CopyPath(strFull, nBufferLength, lpBuffer);
    if (nResult < nBufferLength && lpFilePart != NULL)
    {
        LPWSTR pszAfterSlash = lpBuffer;
        for (LPWSTR pch = lpBuffer; *pch != 0; ++pch)
            if (*pch == '/')
                pszAfterSlash = pch + 1;
        *lpFilePart = *pszAfterSlash == 0 ? NULL : pszAfterSlash;
    }
    return nResult;
}

// Names have no short form here, so the long one is the path itself; whether anything is there is for an open
// to find, as the caller's has.
DWORD WINAPI GetLongPathNameW(LPCWSTR lpszShortPath, LPWSTR lpszLongPath, DWORD cchBuffer)
{
    std::string strPath;
    if (!BytesOf(lpszShortPath, strPath))
        return Fail(EINVAL);
    return CopyPath(strPath, cchBuffer, lpszLongPath);
}

// The mount point that the path lies on, with a separator at its end.
BOOL WINAPI GetVolumePathNameW(LPCWSTR lpszFileName, LPWSTR lpszVolumePathName, DWORD cchBufferLength)
{
    std::string strPath;
    if (!BytesOf(lpszFileName, strPath) || strPath.empty() || strPath[0] != '/' || lpszVolumePathName == NULL)
        return Fail(EINVAL);
    while (strPath.size() > 1 && strPath.back() == '/')
        strPath.pop_back();
    std::string strMount;
    if (MountPointOf(strPath, strMount))
        strPath = strMount;
    else
        while (strPath.size() > 1 && !IsMountRoot(strPath))
            strPath.erase(std::max<size_t>(strPath.rfind('/'), 1));
    if (strPath != "/")
        strPath += "/";
    if (CopyPath(strPath, cchBufferLength, lpszVolumePathName) >= cchBufferLength)
    {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    return TRUE;
}

// A replacing rename onto an SMB share is refused, as a file system refuses what it cannot do: the Linux client
// turns a rename over a file that another program holds open into that file's deletion, and once it is closed
// the name is gone. A plain write of the file keeps it.
BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags)
{
    std::string strFrom, strTo;
    if (!BytesOf(lpExistingFileName, strFrom) || !BytesOf(lpNewFileName, strTo))
        return Fail(EINVAL);
    if ((dwFlags & MOVEFILE_REPLACE_EXISTING) && IsSmbShare(strTo.c_str()))
        return Fail(EOPNOTSUPP);
    struct stat st;
    if (!(dwFlags & MOVEFILE_REPLACE_EXISTING) && compat__sys::lstat(strTo.c_str(), &st) == 0)
    {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (compat__sys::rename(strFrom.c_str(), strTo.c_str()) != 0)
        return Fail(errno);
    if (dwFlags & MOVEFILE_WRITE_THROUGH)
        SyncDirectoryOf(strTo.c_str());
    return TRUE;
}

BOOL WINAPI CreateHardLinkW(LPCWSTR lpFileName, LPCWSTR lpExistingFileName, LPSECURITY_ATTRIBUTES)
{
    std::string strLink, strExisting;
    if (!BytesOf(lpFileName, strLink) || !BytesOf(lpExistingFileName, strExisting))
        return Fail(EINVAL);
    if (compat__sys::link(strExisting.c_str(), strLink.c_str()) != 0)
        return Fail(errno);
    SyncDirectoryOf(strLink.c_str());
    return TRUE;
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName)
{
    std::string strPath;
    if (!BytesOf(lpFileName, strPath))
        return Fail(EINVAL);
    return compat__sys::unlink(strPath.c_str()) == 0 ? TRUE : Fail(errno);
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    if (lpPathName == NULL)
        return Fail(EINVAL);
    return compat__sys::mkdir(lpPathName, 0777) == 0 ? TRUE : Fail(errno);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName)
{
    if (lpPathName == NULL)
        return Fail(EINVAL);
    return compat__sys::chdir(lpPathName) == 0 ? TRUE : Fail(errno);
}
