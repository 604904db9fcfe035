// The command line of vorlane-gsk: a command, its operands and its few options, and the help texts.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace vorlane::gsk {

// Wrong usage: the message is shown with a hint to --help, and the tool exits with status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Invocation {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    std::string command;               // empty with Help: the general help
    std::vector<std::string> operands; // FILE first
    bool json = false;                 // show --json
    bool dryRun = false;               // relink --dry-run
    bool search = false;               // relink --search: the operand after FILE is the folder searched
};

// Parses argv[1..]. Options may stand anywhere after the command; "--" ends them, so a picture whose
// name begins with "-" can still be given. Throws UsageError.
Invocation ParseArguments(const std::vector<std::string>& arguments);

// The general help, or one command's (an unknown command gives the general help).
std::string HelpText(const std::string& command = {});

inline constexpr const char* ToolName = "vorlane-gsk";

} // namespace vorlane::gsk
