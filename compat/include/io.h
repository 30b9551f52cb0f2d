// Low-level file calls of the Microsoft C runtime, over POSIX descriptors. Text mode writes bare line feeds.
#pragma once

#include <stdio.h>

#define _O_RDONLY 0x0000
#define _O_WRONLY 0x0001
#define _O_RDWR 0x0002
#define _O_APPEND 0x0008
#define _O_CREAT 0x0100
#define _O_TRUNC 0x0200
#define _O_EXCL 0x0400
#define _O_TEXT 0x4000
#define _O_BINARY 0x8000

// Readable and writable by everyone the umask lets in, as a new file on this system normally is.
#define _S_IREAD 0444
#define _S_IWRITE 0222

int _open(const char* filename, int oflag, int pmode);
int _close(int fd);
int _commit(int fd);
FILE* _fdopen(int fd, const char* mode);
int _fileno(FILE* stream);
