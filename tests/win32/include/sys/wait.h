// Waiting for a child process started by posix_spawn (tests/win32/include/spawn.h). A status holds the
// exit code shifted by 8 bits, as on POSIX; a child that could not be waited for has not exited.
#pragma once

#include "spawn.h"

#define WIFEXITED(status) (((status)&0x7F) == 0)
#define WEXITSTATUS(status) (((status) >> 8) & 0xFF)
// Windows has no signals that end a process.
#define WIFSIGNALED(status) false
#define WTERMSIG(status) 0
#ifndef SIGKILL
#define SIGKILL 9
#endif

inline pid_t waitpid(pid_t pid, int* status, int)
{
    const int code = vorlane_wait_spawned(pid);
    if (status)
        *status = code < 0 ? 0x7F : (code & 0xFF) << 8;
    return code < 0 ? -1 : pid;
}
