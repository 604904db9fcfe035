// The POSIX calls the tests make, as the system has them (tests/win32/include has the Windows side).
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
