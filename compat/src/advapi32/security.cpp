// File security on POSIX: a file's owner and group stand for its owner and group SIDs, its permission bits
// for its DACL.
#include <aclapi.h>

#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"
#include "seam.h"

namespace {

// The permission bits follow an ACL's header, which gives their size, so that DACLs compare as Windows' do.
struct ModeAcl
{
    ACL header;
    mode_t nMode;
};

struct Descriptor
{
    uid_t nOwner;
    gid_t nGroup;
    ModeAcl dacl;
};

DWORD ErrorOf(int nErrno)
{
    compat__set_error_from_errno(nErrno);
    return GetLastError();
}

} // namespace

DWORD WINAPI GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                             PSID* ppsidOwner, PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                             PSECURITY_DESCRIPTOR* ppSecurityDescriptor)
{
    struct stat st;
    if (ObjectType != SE_FILE_OBJECT || ppSecurityDescriptor == NULL || ppSacl != NULL)
        return ERROR_INVALID_PARAMETER;
    if (handle == INVALID_HANDLE_VALUE || handle == NULL || compat__sys::fstat(compat__descriptor_of(handle), &st) != 0)
        return ERROR_INVALID_HANDLE;
    Descriptor* pDescriptor = static_cast<Descriptor*>(calloc(1, sizeof(Descriptor)));
    if (pDescriptor == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    pDescriptor->nOwner = st.st_uid;
    pDescriptor->nGroup = st.st_gid;
    pDescriptor->dacl.header.AclSize = sizeof(ModeAcl);
    pDescriptor->dacl.nMode = st.st_mode & 07777;
    if (ppsidOwner != NULL)
        *ppsidOwner = (SecurityInfo & OWNER_SECURITY_INFORMATION) ? &pDescriptor->nOwner : NULL;
    if (ppsidGroup != NULL)
        *ppsidGroup = (SecurityInfo & GROUP_SECURITY_INFORMATION) ? &pDescriptor->nGroup : NULL;
    if (ppDacl != NULL)
        *ppDacl = (SecurityInfo & DACL_SECURITY_INFORMATION) ? &pDescriptor->dacl.header : NULL;
    *ppSecurityDescriptor = pDescriptor;
    return ERROR_SUCCESS;
}

// Only a privileged process may give a file away; without that right the file stays the caller's.
DWORD WINAPI SetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                             PSID psidOwner, PSID psidGroup, PACL pDacl, PACL pSacl)
{
    const SECURITY_INFORMATION kOwnerOrGroup = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
    if (ObjectType != SE_FILE_OBJECT || pSacl != NULL)
        return ERROR_INVALID_PARAMETER;
    if (handle == INVALID_HANDLE_VALUE || handle == NULL)
        return ERROR_INVALID_HANDLE;
    int fd = compat__descriptor_of(handle);
    if (SecurityInfo & kOwnerOrGroup)
    {
        uid_t nOwner = (SecurityInfo & OWNER_SECURITY_INFORMATION) && psidOwner != NULL
            ? *static_cast<uid_t*>(psidOwner) : (uid_t)-1;
        gid_t nGroup = (SecurityInfo & GROUP_SECURITY_INFORMATION) && psidGroup != NULL
            ? *static_cast<gid_t*>(psidGroup) : (gid_t)-1;
        if (compat__sys::fchown(fd, nOwner, nGroup) != 0)
            return errno == EPERM ? ERROR_INVALID_OWNER : ErrorOf(errno);
    }
    if ((SecurityInfo & DACL_SECURITY_INFORMATION) && pDacl != NULL)
    {
        if (compat__sys::fchmod(fd, reinterpret_cast<ModeAcl*>(pDacl)->nMode) != 0)
            return ErrorOf(errno);
    }
    return ERROR_SUCCESS;
}

// An owner's SID and a group's are both a 32-bit id here, which a user and a group may share; compare SIDs only
// of one kind, as the program does.
BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2)
{
    SetLastError(ERROR_SUCCESS);
    return pSid1 != NULL && pSid2 != NULL && *static_cast<const uint32_t*>(pSid1) == *static_cast<const uint32_t*>(pSid2);
}

// Permission bits are never inherited from the folder, as a protected DACL is not.
BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         PSECURITY_DESCRIPTOR_CONTROL pControl, LPDWORD lpdwRevision)
{
    if (pSecurityDescriptor == NULL || pControl == NULL || lpdwRevision == NULL)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *pControl = SE_DACL_PROTECTED;
    *lpdwRevision = 1;
    return TRUE;
}

// kernel32's, beside the one allocation it frees: the only local memory here is a security descriptor.
HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    free(hMem);
    return NULL;
}
