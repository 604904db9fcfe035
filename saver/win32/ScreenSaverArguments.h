// The command line the system starts a screen saver with: "/s" to run it on the whole screen, "/p HWND"
// (or "/p:HWND") to draw its preview inside the settings' window HWND, "/c" (or "/c:HWND", "/c HWND")
// for its settings, owned by HWND. No argument means the settings. Letters take either case, and "-"
// serves for "/".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlane::saver {

enum class ScreenSaverMode {
    Settings,
    FullScreen,
    Preview,
};

struct ScreenSaverArguments {
    ScreenSaverMode mode = ScreenSaverMode::Settings;
    uintptr_t window = 0; // the preview's parent, or the settings' owner; 0 for none
};

// Throws UsageError for anything else, and for a preview without its window.
ScreenSaverArguments ParseScreenSaverArguments(const std::vector<std::string>& arguments);

} // namespace vorlane::saver
