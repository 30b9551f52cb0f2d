// The thread's identity and last error, and how POSIX errors read as Windows ones.
#include <windows.h>

#include <errno.h>
#include <unistd.h>

#include "internal.h"
#include "seam.h"

namespace {

thread_local DWORD t_dwLastError = ERROR_SUCCESS;

} // namespace

DWORD WINAPI GetCurrentThreadId()
{
    return (DWORD)compat__sys::gettid();
}

DWORD WINAPI GetLastError()
{
    return t_dwLastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    t_dwLastError = dwErrCode;
}

void compat__set_error_from_errno(int nErrno)
{
    DWORD dwError;
    switch (nErrno)
    {
    case ENOENT: dwError = ERROR_FILE_NOT_FOUND; break;
    case ENOTDIR: dwError = ERROR_PATH_NOT_FOUND; break;
    case EACCES:
    case EPERM:
    case EROFS: dwError = ERROR_ACCESS_DENIED; break;
    case EEXIST: dwError = ERROR_ALREADY_EXISTS; break;
    case EISDIR: dwError = ERROR_DIRECTORY; break;
    case ENOTEMPTY: dwError = ERROR_DIR_NOT_EMPTY; break;
    case ENAMETOOLONG: dwError = ERROR_INVALID_NAME; break;
    case ENOMEM: dwError = ERROR_NOT_ENOUGH_MEMORY; break;
    case EBADF: dwError = ERROR_INVALID_HANDLE; break;
    case ENOSPC: dwError = ERROR_DISK_FULL; break;
    case EDQUOT: dwError = ERROR_DISK_QUOTA_EXCEEDED; break;
    case EFBIG: dwError = ERROR_FILE_TOO_LARGE; break;
    case EIO: dwError = ERROR_IO_DEVICE; break;
    case ENOSYS:
    case EOPNOTSUPP: dwError = ERROR_NOT_SUPPORTED; break;
    case EXDEV: dwError = ERROR_NOT_SAME_DEVICE; break;
    case EPIPE: dwError = ERROR_BROKEN_PIPE; break;
    case ENXIO: dwError = ERROR_PIPE_NOT_CONNECTED; break;
    case EBUSY: dwError = ERROR_BUSY; break;
    case ELOOP: dwError = ERROR_CANT_RESOLVE_FILENAME; break;
    default: dwError = ERROR_INVALID_PARAMETER; break;
    }
    SetLastError(dwError);
}
