// The POSIX calls the tests make, on the Windows C runtime (tests/linux/include has the Linux side).
#pragma once

#include "tests/win32/PosixTest.h"
