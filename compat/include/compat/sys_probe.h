// What tests may ask of the stand-in's system calls: one that fails on purpose, or a moment to act just before it.
#pragma once

// The name of the stand-in's nIndex-th system call, from 0; NULL past the last. Every call it makes is one.
const char* compat_sys_name(int nIndex);

// The nCall-th next call (1 is the next one) of the named system function, such as "open", "write", "fsync",
// "fchown", "fchmod", "rename" or "ftruncate", fails with nErrno, once; with nErrno 0 it runs as usual. Just
// before that call, pfnBefore runs with pv when it is given. A new request replaces the one still waiting.
// False, with nothing asked, for a name the stand-in never calls.
bool compat_sys_inject(const char* pszName, int nCall, int nErrno, void (*pfnBefore)(void*), void* pv);

// Nothing fails on purpose any more; true when the request was still waiting, its call never made.
bool compat_sys_clear();

// Every path lies on a file system of this type (statfs's f_type) from now on, as on a mount of it; 0 gives each
// its own again.
void compat_sys_set_fs_type(long nType);
