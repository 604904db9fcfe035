// vorlane-gsk: reads and edits Vorlane gallery files from the command line.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Exceptions.h"
#include "tools/vorlane-gsk/Arguments.h"
#include "tools/vorlane-gsk/Commands.h"

namespace {

constexpr int Failure = 1;
constexpr int WrongUsage = 2;

void ReportError(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", vorlane::gsk::ToolName, message.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    using namespace vorlane::gsk;
    int status = 0;
    try {
        const Invocation invocation = ParseArguments(vorlane::CommandLineArguments(argc, argv));
        switch (invocation.action) {
        case Invocation::Action::Help:
            std::fputs(HelpText(invocation.command).c_str(), stdout);
            break;
        case Invocation::Action::Version:
            std::printf("%s %s\n", ToolName, VORLANE_VERSION);
            break;
        case Invocation::Action::Run:
            RunCommand(invocation, stdout);
            break;
        }
    } catch (const UsageError& error) {
        ReportError(error.what());
        std::fprintf(stderr, "Try '%s --help' for more information.\n", ToolName);
        return WrongUsage;
    } catch (const std::exception& error) {
        // The system's exceptions carry its own message texts; anything else (no memory, a file-system
        // error) its description.
        ReportError(error.what());
        status = Failure;
    }
    // Output that could not be written (a full disk, a closed pipe) is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        if (status == 0)
            ReportError("cannot write the output");
        status = Failure;
    }
    return status;
}
