// Runs a desktop's own command-line tool (pcmanfm, swaymsg) to hand it the wallpaper.
#pragma once

#include <string>
#include <vector>

namespace vorlane {

// Runs argv[0] (looked up in PATH) with its input and output on /dev/null, and waits for it at most
// `timeoutMs`; one still running then is killed. True when it ended with status 0. With `output`, what
// it writes to its standard output (at most 1 MiB) is kept there instead.
bool RunProgram(const std::vector<std::string>& argv, int timeoutMs = 5000, std::string* output = nullptr);

} // namespace vorlane
