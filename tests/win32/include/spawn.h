// posix_spawn with the file actions the tests use (standard output and error into files, a working
// folder), on CreateProcess. The arguments are quoted by the rules CommandLineToArgvW reads.
#pragma once

#include <windows.h>

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

namespace vorlane_test {

// The processes started and not yet waited for, by number.
class Processes {
public:
    static pid_t Add(HANDLE process)
    {
        Map()[++Last()] = process;
        return Last();
    }
    static HANDLE Take(pid_t pid)
    {
        const auto found = Map().find(pid);
        if (found == Map().end())
            return nullptr;
        const HANDLE process = found->second;
        Map().erase(found);
        return process;
    }

private:
    static std::map<pid_t, HANDLE>& Map()
    {
        static std::map<pid_t, HANDLE> processes;
        return processes;
    }
    static pid_t& Last()
    {
        static pid_t last = 0;
        return last;
    }
};

inline std::string Quoted(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

inline HANDLE OpenOutput(const std::string& path)
{
    if (path.empty())
        return GetStdHandle(STD_ERROR_HANDLE);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace vorlane_test

inline int posix_spawn(pid_t* pid, const char* program, const posix_spawn_file_actions_t* actions, const void*,
                       char* const argv[], char* const*)
{
    std::string commandLine;
    for (size_t i = 0; argv[i]; ++i)
        commandLine += (i ? " " : "") + vorlane_test::Quoted(argv[i]);
    const HANDLE out = vorlane_test::OpenOutput(actions->output[1]);
    const HANDLE err = vorlane_test::OpenOutput(actions->output[2]);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(program, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        actions->folder.empty() ? nullptr : actions->folder.c_str(), &startup, &process);
    for (const HANDLE file : {out, err})
        if (file != GetStdHandle(STD_ERROR_HANDLE) && file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    if (!started)
        return ENOENT;
    CloseHandle(process.hThread);
    *pid = vorlane_test::Processes::Add(process.hProcess);
    return 0;
}

// The program is looked up as CreateProcess looks it up (the folder of the caller, the system folders,
// PATH).
inline int posix_spawnp(pid_t* pid, const char*, const posix_spawn_file_actions_t* actions, const void* attributes,
                        char* const argv[], char* const* environment)
{
    return posix_spawn(pid, nullptr, actions, attributes, argv, environment);
}
