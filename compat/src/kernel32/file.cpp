// Files: looking at an existing file, full path names, and moves that replace a file whole with rename(2).
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "internal.h"

namespace {

// A handle is the descriptor plus one, so that no descriptor can look like INVALID_HANDLE_VALUE or NULL.
HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd) + 1); }
int DescriptorOf(HANDLE h) { return static_cast<int>(reinterpret_cast<intptr_t>(h) - 1); }

BOOL Fail(int nErrno)
{
    compat__set_error_from_errno(nErrno);
    return FALSE;
}

int OpenFlagsFor(DWORD dwDesiredAccess)
{
    bool bRead = (dwDesiredAccess & GENERIC_READ) != 0;
    bool bWrite = (dwDesiredAccess & GENERIC_WRITE) != 0;
    if (bRead && bWrite)
        return O_RDWR;
    if (bWrite)
        return O_WRONLY;
    // No access asked for: the file is only looked at, which must not open a device or block on a pipe.
    return bRead ? O_RDONLY : O_PATH;
}

std::string CurrentDirectory()
{
    std::vector<char> buf(256);
    while (getcwd(buf.data(), buf.size()) == NULL)
    {
        if (errno != ERANGE)
            return std::string();
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

// Resolves "." and ".." by the name alone, as Windows does; a trailing separator is kept.
std::string Normalise(const std::string& strPath)
{
    std::vector<std::string> parts;
    size_t nStart = 0;
    while (nStart <= strPath.size())
    {
        size_t nEnd = strPath.find('/', nStart);
        if (nEnd == std::string::npos)
            nEnd = strPath.size();
        std::string part = strPath.substr(nStart, nEnd - nStart);
        if (part == "..")
        {
            if (!parts.empty())
                parts.pop_back();
        }
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        nStart = nEnd + 1;
    }
    std::string strFull;
    for (const std::string& part : parts)
        strFull += "/" + part;
    bool bTrailing = strPath.size() > 1 && strPath.back() == '/';
    if (strFull.empty() || bTrailing)
        strFull += "/";
    return strFull;
}

void SyncDirectoryOf(const char* pszPath)
{
    std::string strDir(pszPath);
    size_t nSlash = strDir.rfind('/');
    strDir = nSlash == std::string::npos ? "." : nSlash == 0 ? "/" : strDir.substr(0, nSlash);
    int fd = open(strDir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0)
    {
        fsync(fd);
        close(fd);
    }
}

} // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD, HANDLE)
{
    if (lpFileName == NULL || dwCreationDisposition != OPEN_EXISTING)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    int fd = open(lpFileName, OpenFlagsFor(dwDesiredAccess) | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
    {
        compat__set_error_from_errno(errno);
        return INVALID_HANDLE_VALUE;
    }
    return HandleOf(fd);
}

DWORD WINAPI GetFileType(HANDLE hFile)
{
    struct stat st;
    if (hFile == INVALID_HANDLE_VALUE || hFile == NULL || fstat(DescriptorOf(hFile), &st) != 0)
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

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (hObject == INVALID_HANDLE_VALUE || hObject == NULL)
        return Fail(EBADF);
    return close(DescriptorOf(hObject)) == 0 ? TRUE : Fail(errno);
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    struct stat st;
    if (lpFileName == NULL || stat(lpFileName, &st) != 0)
    {
        compat__set_error_from_errno(lpFileName == NULL ? EINVAL : errno);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD dwAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if ((st.st_mode & 0222) == 0)
        dwAttributes |= FILE_ATTRIBUTE_READONLY;
    return dwAttributes != 0 ? dwAttributes : FILE_ATTRIBUTE_NORMAL;
}

DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart)
{
    if (lpFileName == NULL || lpFileName[0] == 0)
    {
        SetLastError(lpFileName == NULL ? ERROR_INVALID_PARAMETER : ERROR_INVALID_NAME);
        return 0;
    }
    std::string strFull = Normalise(lpFileName[0] == '/' ? std::string(lpFileName)
                                                         : CurrentDirectory() + "/" + lpFileName);
    if (strFull.size() >= nBufferLength || lpBuffer == NULL)
        return (DWORD)strFull.size() + 1;
    memcpy(lpBuffer, strFull.c_str(), strFull.size() + 1);
    if (lpFilePart != NULL)
        *lpFilePart = strFull.back() == '/' ? NULL : lpBuffer + strFull.rfind('/') + 1;
    return (DWORD)strFull.size();
}

// The new file takes the old one's permission bits, and where this process may, its owner and group.
BOOL WINAPI ReplaceFileA(LPCSTR lpReplacedFileName, LPCSTR lpReplacementFileName, LPCSTR lpBackupFileName,
                         DWORD, LPVOID, LPVOID)
{
    struct stat st;
    if (lpReplacedFileName == NULL || lpReplacementFileName == NULL || lpBackupFileName != NULL)
        return Fail(EINVAL);
    if (stat(lpReplacedFileName, &st) != 0)
        return Fail(errno);
    if (chmod(lpReplacementFileName, st.st_mode & 07777) != 0)
        return Fail(errno);
    // Keeping the owner needs rights this process may not have; the permission bits are what readers rely on.
    int nOwnerKept = chown(lpReplacementFileName, st.st_uid, st.st_gid);
    (void)nOwnerKept;
    if (rename(lpReplacementFileName, lpReplacedFileName) != 0)
    {
        SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    if (lpExistingFileName == NULL || lpNewFileName == NULL)
        return Fail(EINVAL);
    struct stat st;
    if (!(dwFlags & MOVEFILE_REPLACE_EXISTING) && lstat(lpNewFileName, &st) == 0)
    {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (rename(lpExistingFileName, lpNewFileName) != 0)
        return Fail(errno);
    if (dwFlags & MOVEFILE_WRITE_THROUGH)
        SyncDirectoryOf(lpNewFileName);
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    if (lpPathName == NULL)
        return Fail(EINVAL);
    return mkdir(lpPathName, 0777) == 0 ? TRUE : Fail(errno);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName)
{
    if (lpPathName == NULL)
        return Fail(EINVAL);
    return chdir(lpPathName) == 0 ? TRUE : Fail(errno);
}
