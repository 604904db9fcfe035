// What the tests take from POSIX (with PosixFiles.h), on the Windows C
// runtime. A test file that makes such calls includes "TestSystemCalls.h", which is this on Windows.
//
// Environment and scratch folders work as they do elsewhere. Child processes by fork(), file-size
// limits, FIFOs and the permission bits of folders have no counterpart: those calls fail, and the
// tests built on them are left out of the Windows run by name (tests/windows/run-under-wine.sh).
#pragma once

#include "tests/win32/PosixFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <direct.h>
#include <string>
#include <sys/types.h>

inline int setenv(const char* name, const char* value, int overwrite)
{
    if (!overwrite && std::getenv(name))
        return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name)
{
    return _putenv_s(name, "") == 0 ? 0 : -1;
}

// Hard links exist: the file system makes them (PosixTest.cpp).
int link(const char* existing, const char* name);

// Replaces the trailing "XXXXXX" with a number that names a new folder.
inline char* mkdtemp(char* pattern)
{
    const size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string digits = std::to_string(100000 + (unsigned(_getpid()) * 7919u + counter++) % 900000);
        std::memcpy(pattern + length - 6, digits.data(), 6);
        if (_mkdir(pattern) == 0)
            return pattern;
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

inline int mkfifo(const char*, int)
{
    errno = ENOSYS;
    return -1;
}

inline pid_t fork()
{
    errno = ENOSYS;
    return -1;
}

inline int setuid(unsigned)
{
    return -1;
}
inline int setgid(unsigned)
{
    return -1;
}

inline int chown(const char*, unsigned, unsigned)
{
    errno = ENOSYS;
    return -1;
}
inline int lchown(const char* path, unsigned user, unsigned group)
{
    return chown(path, user, group);
}
inline int symlink(const char*, const char*)
{
    errno = ENOSYS;
    return -1;
}

inline int pipe(int fds[2])
{
    return _pipe(fds, 4096, _O_BINARY);
}

#define LOCK_SH 1
#define LOCK_EX 2
#define LOCK_NB 4
#define LOCK_UN 8
inline int flock(int, int)
{
    errno = ENOSYS;
    return -1;
}

#define _SC_PAGESIZE 30
inline long sysconf(int)
{
    return 4096;
}

#ifndef SIGXFSZ
#define SIGXFSZ SIGTERM
#endif
