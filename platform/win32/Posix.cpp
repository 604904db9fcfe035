#include "platform/win32/Posix.h"

#include <cerrno>
#include <windows.h>

// The C library's rename, as POSIX has it: an existing target is replaced, in one step.
extern "C" int __cdecl rename(const char* from, const char* to)
{
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING))
        return 0;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
    return -1;
}
