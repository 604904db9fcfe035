// posix_spawn with the file actions the tests use (standard output and error into files, a working
// folder), on CreateProcess (tests/win32/PosixTest.cpp). The arguments are quoted by the rules
// CommandLineToArgvW reads. Without <windows.h>, whose macros the tests' own names would meet.
#pragma once

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

struct posix_spawn_file_actions_t {
    std::string output[3]; // by descriptor: 1 standard output, 2 standard error
    std::string folder;
};

inline int posix_spawn_file_actions_init(posix_spawn_file_actions_t* actions)
{
    *actions = {};
    return 0;
}
inline int posix_spawn_file_actions_destroy(posix_spawn_file_actions_t*)
{
    return 0;
}
inline int posix_spawn_file_actions_addopen(posix_spawn_file_actions_t* actions, int fd, const char* path, int, int)
{
    if (fd < 1 || fd > 2)
        return EINVAL;
    actions->output[fd] = path;
    return 0;
}
inline int posix_spawn_file_actions_addchdir_np(posix_spawn_file_actions_t* actions, const char* folder)
{
    actions->folder = folder;
    return 0;
}

int posix_spawn(pid_t* pid, const char* program, const posix_spawn_file_actions_t* actions, const void* attributes,
                char* const argv[], char* const* environment);
// The program is looked up as CreateProcess looks it up (the caller's folder, the system folders, PATH).
int posix_spawnp(pid_t* pid, const char* program, const posix_spawn_file_actions_t* actions, const void* attributes,
                 char* const argv[], char* const* environment);
// Waits for a process started by posix_spawn; its exit code, or -1.
int vorlane_wait_spawned(pid_t pid);
