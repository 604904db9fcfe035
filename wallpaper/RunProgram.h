// Runs a desktop's own command-line tool (pcmanfm, swaymsg) to hand it the wallpaper.
#pragma once

#include <string>
#include <vector>

namespace vorlane {

// Runs argv[0] (looked up in PATH) with its input and output on /dev/null, and waits for it at most
// `timeoutMs`; one still running then is killed. True when it ended with status 0.
bool RunProgram(const std::vector<std::string>& argv, int timeoutMs = 5000);

} // namespace vorlane
