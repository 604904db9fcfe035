#include "tests/win32/PosixTest.h"

#include <windows.h>
#include <psapi.h>

#include <map>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>

int link(const char* existing, const char* name)
{
    if (CreateHardLinkA(name, existing, nullptr))
        return 0;
    errno = GetLastError() == ERROR_ALREADY_EXISTS ? EEXIST : EACCES;
    return -1;
}

int getrusage(int, rusage* usage)
{
    PROCESS_MEMORY_COUNTERS counters{};
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        errno = EINVAL;
        return -1;
    }
    usage->ru_maxrss = static_cast<long>(counters.PeakWorkingSetSize / 1024);
    return 0;
}

namespace {

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

std::string Quoted(const std::string& argument)
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

HANDLE OpenOutput(const std::string& path)
{
    if (path.empty())
        return GetStdHandle(STD_ERROR_HANDLE);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

int posix_spawn(pid_t* pid, const char* program, const posix_spawn_file_actions_t* actions, const void*,
                char* const argv[], char* const*)
{
    const posix_spawn_file_actions_t none{};
    if (!actions)
        actions = &none; // as POSIX allows: the caller's own streams and folder
    std::string commandLine;
    for (size_t i = 0; argv[i]; ++i)
        commandLine += (i ? " " : "") + Quoted(argv[i]);
    const HANDLE out = OpenOutput(actions->output[1]);
    const HANDLE err = OpenOutput(actions->output[2]);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessA(program, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       actions->folder.empty() ? nullptr : actions->folder.c_str(), &startup, &process);
    for (const HANDLE file : {out, err})
        if (file != GetStdHandle(STD_ERROR_HANDLE) && file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    if (!started)
        return ENOENT;
    CloseHandle(process.hThread);
    *pid = Processes::Add(process.hProcess);
    return 0;
}

int posix_spawnp(pid_t* pid, const char*, const posix_spawn_file_actions_t* actions, const void* attributes,
                 char* const argv[], char* const* environment)
{
    return posix_spawn(pid, nullptr, actions, attributes, argv, environment);
}

int vorlane_wait_spawned(pid_t pid)
{
    const HANDLE process = Processes::Take(pid);
    if (!process)
        return -1;
    DWORD code = 0;
    const bool ok = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return ok ? int(code & 0xFF) : -1;
}
