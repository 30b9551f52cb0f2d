// Shared inside compat only: the names carry the compat__ prefix so that no program can take them for Win32's.
#pragma once

#include <windows.h>
#include <guiddef.h>

// Sets the last error from a POSIX errno value.
void compat__set_error_from_errno(int nErrno);

// A file handle is the descriptor plus one, times four as Windows' handles are, so that none looks like
// INVALID_HANDLE_VALUE or NULL. An event's is its object's address with the second bit set, which no file's has.
inline HANDLE compat__handle_of(int fd) { return reinterpret_cast<HANDLE>((static_cast<intptr_t>(fd) + 1) * 4); }
inline int compat__descriptor_of(HANDLE h) { return static_cast<int>(reinterpret_cast<intptr_t>(h) / 4 - 1); }
inline bool compat__is_event(HANDLE h) { return (reinterpret_cast<intptr_t>(h) & 3) == 2; }
// Frees an event; false for any other handle.
bool compat__close_event(HANDLE h);

// The program's own module: the handle that GetModuleHandleA(NULL) returns and resources are looked up in.
HMODULE compat__main_module();
bool compat__is_main_module(HMODULE hModule);

// The task allocator that BSTRs live in; an installed malloc spy sees, and may refuse, every block.
void* compat__task_alloc(size_t cb);
void compat__task_free(void* pv);

// The built-in management service's locator, made when no class object is registered in its place.
HRESULT compat__create_wbem_locator(REFIID riid, void** ppv);
