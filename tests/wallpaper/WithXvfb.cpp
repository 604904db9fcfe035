// Runs a command on a virtual X display of its own, started as every test starts one (test::Xvfb):
//   with-xvfb WIDTHxHEIGHTxDEPTH COMMAND [ARGUMENT...]
// DISPLAY names the display; the command's exit status is returned, and the display ends with it.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "tests/wallpaper/ServerProcess.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: with-xvfb WIDTHxHEIGHTxDEPTH COMMAND [ARGUMENT...]\n");
        return 2;
    }
    const vorlane::test::Xvfb xvfb(argv[1]);
    if (!xvfb.Running()) {
        std::fprintf(stderr, "with-xvfb: Xvfb did not start\n");
        return 1;
    }
    ::setenv("DISPLAY", xvfb.Display().c_str(), 1);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        ::_exit(127);
    }
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (child < 0)
        return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
