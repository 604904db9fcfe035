#include "platform/CommandLine.h"

#include <memory>
#include <windows.h>
#include <shellapi.h>

#include "platform/Exceptions.h"
#include "platform/win32/Wide.h"

namespace vorlane {
namespace {

struct LocalDeleter {
    void operator()(LPWSTR* memory) const { LocalFree(memory); }
};

} // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalDeleter> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!wide)
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        std::optional<std::string> argument = win32::FromWide(wide.get()[i], CP_ACP);
        if (!argument)
            throw Exception(Format(msg::NotInCodePage, Format("argument %d", i).c_str()));
        arguments.push_back(std::move(*argument));
    }
    return arguments;
}

} // namespace vorlane
