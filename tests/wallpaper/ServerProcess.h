// Test support: a server program started for one test (Xvfb, a D-Bus session bus) that tells on a pipe
// when it is ready, and is stopped at the end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vorlane::test {

class ServerProcess {
public:
    // Runs `argv`, where "{fd}" in an argument is replaced by the number of a pipe's writing end, and waits
    // (at most 20 s) for the first line the program writes there. Ready() is false when the program is
    // not installed or wrote nothing.
    explicit ServerProcess(std::vector<std::string> argv);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool Ready() const { return !line_.empty(); }
    // The line without its newline: Xvfb's display number, the bus's address.
    const std::string& Line() const { return line_; }

    static bool Installed(const std::string& program);

private:
    pid_t pid_ = -1;
    std::string line_;
};

// The programs among `programs` (names looked up in PATH, paths, or "python3:MODULE" for a module of
// Debian's python3) that are not installed, separated by commas; empty when all are.
std::string MissingPrograms(const std::vector<std::string>& programs);

// Starts argv[0] (looked up in PATH) with its input from /dev/null and its output and errors appended to
// `log`. `ownGroup`: in a process group of its own, which the caller stops as a whole; otherwise it ends
// when this process does. The child's id, or -1.
pid_t StartProgram(std::vector<std::string> argv, const std::string& log, bool ownGroup);

// What `fd` gives up to and including its first newline, read for at most `seconds`; less when it ended,
// failed or the time ran out.
std::string ReadFirstLine(int fd, int seconds);

// An X server, 320x240 pixels at 24 bits unless told otherwise, kept alive after its last client leaves
// (-noreset: the root's background survives). Display() is ":N"; Running() is false when it could not be
// started.
class Xvfb {
public:
    explicit Xvfb(const std::string& screen = "320x240x24");
    bool Running() const { return server_.Ready(); }
    std::string Display() const { return ":" + server_.Line(); }

private:
    ServerProcess server_;
};

} // namespace vorlane::test
