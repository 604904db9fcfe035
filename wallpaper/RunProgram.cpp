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

bool RunProgram(const std::vector<std::string>& argv, int timeoutMs, std::string* output)
{
    constexpr size_t OutputLimit = size_t(1) << 20;
    if (argv.empty())
        return false;
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

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
    const int process = int(::syscall(SYS_pidfd_open, pid, 0));
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

} // namespace vorlane
