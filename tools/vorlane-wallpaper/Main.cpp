// vorlane-wallpaper: the desktop wallpaper from the command line (see Commands.h).
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "tools/vorlane-wallpaper/Commands.h"
#include "tools/vorlane-wallpaper/Rotation.h"
#include "tools/vorlane-wallpaper/Session.h"

int main(int argc, char** argv)
{
    using namespace vorlane::wallpapertool;
    int status = Done;
    try {
        const std::vector<std::string> arguments = vorlane::CommandLineArguments(argc, argv);
        const std::optional<RotationInvocation> rotation = ParseRotationArguments(arguments);
        Invocation invocation;
        if (rotation)
            invocation.command = Invocation::Command::Rotation;
        else
            invocation = ParseArguments(arguments);
        switch (invocation.command) {
        case Invocation::Command::Help:
            std::fputs(HelpText().c_str(), stdout);
            break;
        case Invocation::Command::Version:
            std::printf("%s %s\n", ToolName, VORLANE_VERSION);
            break;
        case Invocation::Command::Set: {
            const auto eventLoop = StartEventLoop(argc, argv); // the announcement waits in it
            status = Set(invocation);
            break;
        }
        case Invocation::Command::Restore:
            if (invocation.watch)
                StartScreenWatcher(); // before anything of this process starts threads
            status = Restore();
            break;
        case Invocation::Command::Show:
            status = Show(stdout);
            break;
        case Invocation::Command::Rotation: {
            const auto eventLoop = StartEventLoop(argc, argv); // the announcements wait in it
            status = RunRotationCommand(*rotation);
            break;
        }
        }
    } catch (const UsageError& error) {
        Report(error.what());
        std::fprintf(stderr, "Try '%s --help' for more information.\n", ToolName);
        return WrongUsage;
    } catch (const std::exception& error) {
        Report(error.what()); // the system's message text
        status = Failed;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        if (status == Done)
            Report("cannot write the output");
        status = Failed;
    }
    return status;
}
