#include "tests/wallpaper/ServerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

extern char** environ;

namespace vorlane::test {

namespace {

// Whether Debian's python3 imports `module` (python3-pil gives "PIL").
bool PythonModuleInstalled(const std::string& module)
{
    std::string statement = "import " + module;
    std::vector<char*> args{const_cast<char*>("/usr/bin/python3"), const_cast<char*>("-c"), statement.data(), nullptr};
    pid_t child = -1;
    int status = -1;
    return ::posix_spawn(&child, args[0], nullptr, nullptr, args.data(), environ) == 0 &&
           ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

std::string MissingPrograms(const std::vector<std::string>& programs)
{
    std::string missing;
    for (const auto& program : programs) {
        const bool there = program.rfind("python3:", 0) == 0        ? PythonModuleInstalled(program.substr(8))
                           : program.find('/') != std::string::npos ? ::access(program.c_str(), X_OK) == 0
                                                                    : ServerProcess::Installed(program);
        if (!there)
            missing += (missing.empty() ? "" : ", ") + program;
    }
    return missing;
}

bool ServerProcess::Installed(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

ServerProcess::ServerProcess(std::vector<std::string> argv)
{
    if (argv.empty() || !Installed(argv[0]))
        return;
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    for (auto& arg : argv)
        if (const size_t at = arg.find("{fd}"); at != std::string::npos)
            arg.replace(at, 4, std::to_string(fds[1]));
    pid_ = StartProgram(std::move(argv), "/dev/null", false);
    ::close(fds[1]);
    if (pid_ < 0) {
        ::close(fds[0]);
        return;
    }
    const std::string text = ReadFirstLine(fds[0], 20);
    ::close(fds[0]);
    if (const size_t newline = text.find('\n'); newline != std::string::npos && newline > 0)
        line_ = text.substr(0, newline);
}

ServerProcess::~ServerProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

pid_t StartProgram(std::vector<std::string> argv, const std::string& log, bool ownGroup)
{
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (ownGroup)
            ::setpgid(0, 0);
        else
            ::prctl(PR_SET_PDEATHSIG, SIGTERM); // a server never outlives the test that started it
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (pid > 0 && ownGroup)
        ::setpgid(pid, pid); // also here, so the group exists before either side goes on
    return pid;
}

std::string ReadFirstLine(int fd, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::string text;
    while (text.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, size_t(n));
    }
    return text;
}

Xvfb::Xvfb(const std::string& screen)
    : server_({"Xvfb", "-displayfd", "{fd}", "-screen", "0", screen, "-noreset", "-nolisten", "tcp"})
{
}

} // namespace vorlane::test
