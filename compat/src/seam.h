// Every system call the stand-in makes, declared once: only the seam calls the system, so tests can fail any.
#pragma once

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <sys/utsname.h>
#include <time.h>

// One line a call: its result, its name, its parameters and the arguments it passes on. A call that fails
// returns -1, or NULL for a pointer, with errno set, as the system's own would.
#define COMPAT__SYSCALLS(X) \
    X(int, access, (const char* p, int n), (p, n)) \
    X(int, chdir, (const char* p), (p)) \
    X(int, clock_gettime, (clockid_t n, struct timespec* p), (n, p)) \
    X(int, close, (int fd), (fd)) \
    X(int, fchmod, (int fd, mode_t n), (fd, n)) \
    X(int, fchown, (int fd, uid_t n, gid_t m), (fd, n, m)) \
    X(int, fcntl, (int fd, int n, int m), (fd, n, m)) \
    X(int, fstat, (int fd, struct stat* p), (fd, p)) \
    X(int, fsync, (int fd), (fd)) \
    X(int, ftruncate, (int fd, off_t n), (fd, n)) \
    X(char*, getcwd, (char* p, size_t n), (p, n)) \
    X(ssize_t, getrandom, (void* p, size_t n, unsigned int m), (p, n, m)) \
    X(pid_t, gettid, (), ()) \
    X(int, link, (const char* p, const char* q), (p, q)) \
    X(struct tm*, localtime_r, (const time_t* p, struct tm* q), (p, q)) \
    X(off_t, lseek, (int fd, off_t n, int m), (fd, n, m)) \
    X(int, lstat, (const char* p, struct stat* q), (p, q)) \
    X(int, mkdir, (const char* p, mode_t n), (p, n)) \
    X(int, nanosleep, (const struct timespec* p, struct timespec* q), (p, q)) \
    X(int, open, (const char* p, int n, mode_t m), (p, n, m)) \
    X(int, pthread_create, (pthread_t* p, const pthread_attr_t* q, void* (*f)(void*), void* r), (p, q, f, r)) \
    X(int, pthread_detach, (pthread_t n), (n)) \
    X(ssize_t, read, (int fd, void* p, size_t n), (fd, p, n)) \
    X(ssize_t, readlink, (const char* p, char* q, size_t n), (p, q, n)) \
    X(char*, realpath, (const char* p, char* q), (p, q)) \
    X(int, rename, (const char* p, const char* q), (p, q)) \
    X(int, sigaction, (int n, const struct sigaction* p, struct sigaction* q), (n, p, q)) \
    X(int, stat, (const char* p, struct stat* q), (p, q)) \
    X(long, syscall, (long n, long a, long b, long c, long d), (n, a, b, c, d)) \
    X(int, statx, (int fd, const char* p, int n, unsigned int m, struct statx* q), (fd, p, n, m, q)) \
    X(int, uname, (struct utsname* p), (p)) \
    X(int, unlink, (const char* p), (p)) \
    X(ssize_t, write, (int fd, const void* p, size_t n), (fd, p, n))

namespace compat__sys {

#define COMPAT__DECLARE(R, name, params, args) R name params;
COMPAT__SYSCALLS(COMPAT__DECLARE)
#undef COMPAT__DECLARE

// The file system a path lies on; tests may make it name another type.
int statfs(const char* p, struct statfs* q);

} // namespace compat__sys
