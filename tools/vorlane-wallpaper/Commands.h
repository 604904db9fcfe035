// vorlane-wallpaper: sets the desktop wallpaper from the command line through the code the window uses,
// applies the recorded wallpaper again at login, and shows what is recorded.
#pragma once

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "wallpaper/Placement.h"

namespace vorlane::wallpapertool {

inline constexpr const char* ToolName = "vorlane-wallpaper";

// Exit statuses, for scripts.
enum ExitStatus : int {
    Done = 0,
    Failed = 1, // the picture, the gallery, "Temp.bmp" or the settings store failed
    WrongUsage = 2,
    NotShown = 3,         // recorded, but no desktop of this session showed it
    NothingToRestore = 4, // restore: nothing recorded, a damaged record, or a file that cannot be shown
};

// Wrong usage: shown with a hint to --help; exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Invocation {
    enum class Command { Help, Version, Set, Restore, Show, Rotation };
    Command command = Command::Help;
    std::optional<WallpaperPlacement> placement; // --centre, --tile, --fill, --fit, --stretch or --span
    std::vector<std::string> operands;
    bool watch = false; // restore --watch: stay and redraw on monitor changes
};

// Parses argv[1..]; "--" ends the options. Throws UsageError.
Invocation ParseArguments(const std::vector<std::string>& arguments);
std::string HelpText();

// Makes the picture (or the gallery's entry) the wallpaper as the window's wallpaper button does: a JPEG
// becomes "Temp.bmp", the registry records it, every desktop of the session is told, and the mascot
// hears of it once a desktop showed it. Needs a QCoreApplication (the announcement's event loop).
ExitStatus Set(const Invocation& invocation);
// The same for a picture already opened as `file`, drawn with `placement` when one is given (and kept).
ExitStatus SetOpenedPicture(const std::string& picture, std::FILE* file, std::optional<WallpaperPlacement> placement);
// Applies the recorded wallpaper and tiling again through the desktops that forget it with the session
// (the X root pixmap, sway's background). Silent when it worked; otherwise says why on stderr.
ExitStatus Restore();
// What is recorded, where "Temp.bmp" goes, and which desktops of this session apply.
ExitStatus Show(std::FILE* out);

// Writes "vorlane-wallpaper: MESSAGE" to stderr.
void Report(const std::string& message);

} // namespace vorlane::wallpapertool
