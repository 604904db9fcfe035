// Other processes on Linux: posix_spawn, process descriptors (pidfd) for bounded waits and safe
// signals, /proc for this user's processes.
#include "platform/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace vorlane::process {
namespace {

std::vector<char*> ArgumentVector(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    return args;
}

int OpenDescriptor(int id)
{
    return int(::syscall(SYS_pidfd_open, id, 0));
}

std::string Folder(int id)
{
    return "/proc/" + std::to_string(id);
}

bool OwnedByThisUser(const std::string& folder)
{
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && info.st_uid == ::getuid();
}

std::string CommandName(const std::string& folder)
{
    std::ifstream comm(folder + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace

bool Run(const std::vector<std::string>& argv, int timeoutMs, std::string* output)
{
    constexpr size_t OutputLimit = size_t(1) << 20;
    if (argv.empty())
        return false;
    std::vector<char*> args = ArgumentVector(argv);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    int pipe[2] = {-1, -1};
    if (output && ::pipe2(pipe, O_CLOEXEC) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    if (output)
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output)
        ::close(pipe[1]);
    if (spawned != 0) {
        if (output)
            ::close(pipe[0]);
        return false;
    }

    // The child's end is seen on a process descriptor, so the wait is bounded without polling.
    const int process = OpenDescriptor(pid);
    bool ended = process < 0; // without process descriptors, wait unbounded
    if (process >= 0) {
        // Its output is read as it comes, so a full pipe never holds it up.
        pollfd ready[2] = {{process, POLLIN, 0}, {output ? pipe[0] : -1, POLLIN, 0}};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            const int n = ::poll(ready, 2, int(std::max<long long>(0, left.count())));
            if (n > 0 && (ready[1].revents & (POLLIN | POLLHUP))) {
                char buffer[4096];
                const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
                if (got > 0 && output->size() < OutputLimit)
                    output->append(buffer, size_t(got));
                if (got <= 0)
                    ready[1].fd = -1; // its end: only the process is waited for now
            }
            if (n > 0 && (ready[0].revents & POLLIN)) {
                ended = true;
                break;
            }
            if (n == 0 || (n < 0 && errno != EINTR))
                break;
        }
        ::close(process);
    }
    if (output) {
        // What it wrote before it ended and is still in the pipe.
        char buffer[4096];
        ssize_t got = 0;
        ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
        while (ended && (got = ::read(pipe[0], buffer, sizeof buffer)) > 0 && output->size() < OutputLimit)
            output->append(buffer, size_t(got));
        ::close(pipe[0]);
    }
    if (!ended)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int StartDetached(const std::vector<std::string>& argv, const std::string& dropped, const std::string& added)
{
    std::vector<char*> args = ArgumentVector(argv);
    std::vector<char*> variables;
    for (char** v = environ; *v; ++v)
        if (std::strncmp(*v, dropped.c_str(), dropped.size()) != 0)
            variables.push_back(*v);
    variables.push_back(const_cast<char*>(added.c_str()));
    variables.push_back(nullptr);
    int started[2]; // the program's id from the middle process; then closed by a successful exec, or an errno
    if (::pipe2(started, O_CLOEXEC) != 0)
        return 0;
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t child = ::fork();
    if (child == 0) {
        // Only calls safe after fork in a threaded process from here on.
        ::setsid();
        const pid_t program = ::fork();
        if (program > 0) {
            [[maybe_unused]] const ssize_t n = ::write(started[1], &program, sizeof program);
        } else if (program == 0) {
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::execvpe(args[0], args.data(), variables.data());
            const int error = errno;
            [[maybe_unused]] const ssize_t n = ::write(started[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(started[1]);
    if (null >= 0)
        ::close(null);
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    pid_t program = 0;
    int error = 0;
    ssize_t n = 0;
    while ((n = ::read(started[0], &program, sizeof program)) < 0 && errno == EINTR) {}
    if (n == sizeof program)
        while ((n = ::read(started[0], &error, sizeof error)) < 0 && errno == EINTR) {}
    ::close(started[0]);
    return child > 0 && program > 0 && n == 0 ? program : 0;
}

void StartWatcher(const std::function<void(const std::function<void()>& settled)>& watcher)
{
    int settled[2];
    if (::pipe2(settled, O_CLOEXEC) != 0)
        return;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(settled[0]);
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
        }
        watcher([&] { ::close(settled[1]); });
        ::_exit(0);
    }
    ::close(settled[1]);
    char none = 0;
    while (child > 0 && ::read(settled[0], &none, 1) < 0 && errno == EINTR) {}
    ::close(settled[0]);
}

std::vector<OwnProcess> OwnProcesses()
{
    std::vector<OwnProcess> processes;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return processes;
    while (const dirent* entry = ::readdir(proc)) {
        if (!std::all_of(entry->d_name, entry->d_name + std::strlen(entry->d_name), ::isdigit))
            continue;
        const std::string folder = std::string("/proc/") + entry->d_name;
        if (!OwnedByThisUser(folder))
            continue;
        processes.push_back({std::atoi(entry->d_name), CommandName(folder)});
    }
    ::closedir(proc);
    return processes;
}

std::optional<std::string> StartingVariable(int id, const std::string& variable)
{
    std::ifstream environment(Folder(id) + "/environ", std::ios::binary);
    std::string entry;
    while (std::getline(environment, entry, '\0'))
        if (entry.size() > variable.size() && entry.compare(0, variable.size(), variable) == 0 &&
            entry[variable.size()] == '=')
            return entry.substr(variable.size() + 1);
    return std::nullopt;
}

bool StartedWith(int id, const std::string& entry)
{
    std::ifstream environment(Folder(id) + "/environ", std::ios::binary);
    std::string variable;
    while (std::getline(environment, variable, '\0'))
        if (variable == entry)
            return true;
    return false;
}

bool EndOwn(const OwnProcess& process, const std::function<bool()>& stillMeant)
{
    const int pinned = OpenDescriptor(process.id);
    if (pinned < 0)
        return false;
    const std::string folder = Folder(process.id);
    const bool sent = OwnedByThisUser(folder) && CommandName(folder) == process.name && stillMeant() &&
                      ::syscall(SYS_pidfd_send_signal, pinned, SIGTERM, nullptr, 0) == 0;
    ::close(pinned);
    return sent;
}

bool AskToEnd(int id)
{
    return ::kill(id, SIGTERM) == 0;
}

bool Runs(int id)
{
    return ::kill(id, 0) == 0 || errno == EPERM;
}

int ThisProcess()
{
    return int(::getpid());
}

} // namespace vorlane::process
