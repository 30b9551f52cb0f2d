// Low-level file calls of the Microsoft C runtime, over POSIX descriptors. Text mode writes bare line feeds.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define _O_WRONLY 0x0001
#define _O_TEXT 0x4000
#define _O_BINARY 0x8000

// The descriptor of an open file handle, which then belongs to the descriptor: _close closes both.
int _open_osfhandle(intptr_t osfhandle, int flags);
// Writes all of the bytes, or fails; -1 with errno set on failure.
int _write(int fd, const void* buffer, unsigned int count);
int _close(int fd);
int _commit(int fd);
