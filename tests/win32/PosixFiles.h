// The POSIX file calls the tests make, on the Windows C runtime (part of PosixTest.h). The program itself
// makes none: it asks the platform layer (platform/FileSystem.h).
//
// Kept here, where the differences are known:
// - rename() does not replace an existing file on Windows; Posix.cpp defines the C library's rename
//   itself, with MoveFileEx(MOVEFILE_REPLACE_EXISTING), and the linker takes it before the runtime's.
// - Files open in binary mode: the build links the runtime's binmode.o.
// - There are no symbolic links, permission bits or non-blocking opens to speak of: lstat() is stat(),
//   fchmod() keeps nothing, O_NONBLOCK and the F_SETFL that clears it do nothing.
// - A folder cannot be opened as a file (O_DIRECTORY fails, so a folder sync is skipped); fsync() is
//   _commit(), which flushes the file to the disk.
// - renameat2(RENAME_NOREPLACE) is MoveFileEx without replacing; file owners are all one (geteuid() 0,
//   as stat() reports every file's owner).
#pragma once

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_CLOEXEC
#define O_CLOEXEC _O_NOINHERIT
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_DIRECTORY
#define O_DIRECTORY 0
#endif
#ifndef S_ISLNK
#define S_ISLNK(mode) false
#endif
#ifndef F_SETFL
#define F_SETFL 4
#endif

inline int fsync(int fd)
{
    return _commit(fd);
}

inline int fchmod(int, int)
{
    return 0;
}

inline int lstat(const char* path, struct stat* status)
{
    return stat(path, status);
}

inline char* realpath(const char* path, char* resolved)
{
    return _fullpath(resolved, path, _MAX_PATH);
}

inline int fcntl(int, int, ...)
{
    return 0;
}

inline auto geteuid() -> decltype(((struct stat*)nullptr)->st_uid)
{
    return 0;
}

#ifndef AT_FDCWD
#define AT_FDCWD (-100)
#endif
#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE 1
#endif
// Only with AT_FDCWD for both folders.
int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags);
