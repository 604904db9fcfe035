#include "wallpaper/RunProgram.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>

extern char** environ;

namespace vorlane {

bool RunProgram(const std::vector<std::string>& argv, int timeoutMs)
{
    if (argv.empty())
        return false;
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;

    // The child's end is seen on a process descriptor, so the wait is bounded without polling.
    const int process = int(::syscall(SYS_pidfd_open, pid, 0));
    bool ended = process < 0; // without process descriptors, wait unbounded
    if (process >= 0) {
        pollfd ready{process, POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            const int n = ::poll(&ready, 1, int(std::max<long long>(0, left.count())));
            if (n > 0) {
                ended = true;
                break;
            }
            if (n == 0 || errno != EINTR)
                break;
        }
        ::close(process);
    }
    if (!ended)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace vorlane
