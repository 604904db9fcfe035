#include "tests/win32/PosixFiles.h"

#include <cerrno>
#include <windows.h>

// The C library's rename, as POSIX has it: an existing target is replaced, in one step.
extern "C" int __cdecl rename(const char* from, const char* to)
{
    return renameat2(AT_FDCWD, from, AT_FDCWD, to, 0);
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    if (fromFolder != AT_FDCWD || toFolder != AT_FDCWD) {
        errno = EINVAL;
        return -1;
    }
    if (MoveFileExA(from, to, (flags & RENAME_NOREPLACE) ? 0 : MOVEFILE_REPLACE_EXISTING))
        return 0;
    const DWORD error = GetLastError();
    errno = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST
            : error == ERROR_ACCESS_DENIED                              ? EACCES
                                                                        : ENOENT;
    return -1;
}
