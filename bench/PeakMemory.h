// The growth of the peak resident size while a piece of work runs in a fresh process: the benchmark
// starts itself again with "--peak <name> <argument>", so nothing the measuring process has allocated
// (and freed, but kept) is already resident in the one that is measured.
//
// In main(), before anything else:
//     if (const auto code = bench::RunPeakChild(argc, argv, {{"load", [](const std::string& a) { ... }}}))
//         return *code;
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace vorlane::bench {

inline long StatusKiB(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::strlen(key)));
    return -1;
}

using PeakWorks = std::map<std::string, std::function<void(const std::string&)>>;

// In the started process: runs the named work and prints its growth in KiB; returns the exit code.
inline std::optional<int> RunPeakChild(int argc, char** argv, const PeakWorks& works)
{
    if (argc != 4 || std::strcmp(argv[1], "--peak") != 0)
        return std::nullopt;
    const auto work = works.find(argv[2]);
    if (work == works.end())
        return 2;
    const long before = StatusKiB("VmRSS:");
    work->second(argv[3]);
    std::printf("%ld\n", StatusKiB("VmHWM:") - before);
    return 0;
}

// In the measuring process: the growth of the named work, in KiB (-1 when it could not be measured).
inline long PeakGrowthKiB(const std::string& name, const std::string& argument)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(ends[1], STDOUT_FILENO);
        ::close(ends[0]);
        ::execl("/proc/self/exe", "bench", "--peak", name.c_str(), argument.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    char text[64] = {};
    const ssize_t n = ::read(ends[0], text, sizeof text - 1);
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::atol(text);
}

} // namespace vorlane::bench
