#include "tests/win32/PosixTest.h"

#include <windows.h>

int link(const char* existing, const char* name)
{
    if (CreateHardLinkA(name, existing, nullptr))
        return 0;
    errno = GetLastError() == ERROR_ALREADY_EXISTS ? EEXIST : EACCES;
    return -1;
}
