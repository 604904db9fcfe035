// File-size limits do not exist on Windows: the calls fail (see tests/win32/PosixTest.h). The peak
// memory in use is the process's peak working set.
#pragma once

#include <cerrno>

using rlim_t = unsigned long long;
struct rlimit {
    rlim_t rlim_cur;
    rlim_t rlim_max;
};
#define RLIMIT_FSIZE 1
#define RLIMIT_AS 9

inline int getrlimit(int, rlimit*)
{
    errno = ENOSYS;
    return -1;
}
inline int setrlimit(int, const rlimit*)
{
    errno = ENOSYS;
    return -1;
}

struct rusage {
    long ru_maxrss; // KiB
};
#define RUSAGE_SELF 0
int getrusage(int who, rusage* usage);
