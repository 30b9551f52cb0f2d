// advapi32: a file's security read from one handle and given to another.
#pragma once

#include "windef.h"
#include "winbase.h"

typedef enum _SE_OBJECT_TYPE
{
    SE_UNKNOWN_OBJECT_TYPE = 0,
    SE_FILE_OBJECT = 1,
} SE_OBJECT_TYPE;

typedef DWORD SECURITY_INFORMATION;
#define OWNER_SECURITY_INFORMATION 0x00000001
#define GROUP_SECURITY_INFORMATION 0x00000002
#define DACL_SECURITY_INFORMATION 0x00000004
#define PROTECTED_DACL_SECURITY_INFORMATION 0x80000000
#define UNPROTECTED_DACL_SECURITY_INFORMATION 0x20000000

// A file's owner and group stand for its owner and group SIDs, its permission bits for its DACL; the
// descriptor that holds them is freed with LocalFree.
DWORD WINAPI GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                             PSID* ppsidOwner, PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                             PSECURITY_DESCRIPTOR* ppSecurityDescriptor);
// The owner and group first, as a change of owner clears the setuid and setgid bits, then the DACL. An owner
// that this user may not give the file fails with ERROR_INVALID_OWNER.
DWORD WINAPI SetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                             PSID psidOwner, PSID psidGroup, PACL pDacl, PACL pSacl);
