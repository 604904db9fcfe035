// Waiting for a child process started by posix_spawn (tests/win32/include/spawn.h). A status holds the
// exit code shifted by 8 bits, as on POSIX; a child that could not be waited for has not exited.
#pragma once

#include <windows.h>

#include "spawn.h"

#define WIFEXITED(status) (((status) & 0x7F) == 0)
#define WEXITSTATUS(status) (((status) >> 8) & 0xFF)
// Windows has no signals that end a process.
#define WIFSIGNALED(status) false
#define WTERMSIG(status) 0
#ifndef SIGKILL
#define SIGKILL 9
#endif

inline pid_t waitpid(pid_t pid, int* status, int)
{
    int ignored = 0;
    if (!status)
        status = &ignored;
    *status = 0x7F;
    const HANDLE process = vorlane_test::Processes::Take(pid);
    if (!process)
        return -1;
    DWORD code = 0;
    const bool ok = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (!ok)
        return -1;
    *status = int((code & 0xFF) << 8);
    return pid;
}
