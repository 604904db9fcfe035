// vorlane-wallpaper's rotation: the next, previous or a random picture of a gallery as the wallpaper,
// by hand (next, previous, random) or on a timer (rotate), the position remembered per gallery.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/vorlane-wallpaper/Commands.h"

namespace vorlane::wallpapertool {

enum class Step { Next, Previous, Random };

struct RotationInvocation {
    enum class Command { Change, Rotate, Stop };
    Command command = Command::Change;
    Step step = Step::Next;
    std::string gallery;  // the gallery file; empty: the current gallery, each time anew
    int64_t periodMs = 0; // rotate: the time between two changes, in milliseconds
    bool atLogin = false; // --at-login: started at each login from now on (--every), or no longer (--stop)
};

// The shortest and the longest period rotate takes, in milliseconds (not <chrono>, which cannot be
// compiled for the Windows code page: its "µs" is not in it).
inline constexpr int64_t MinimumPeriodMs = 100;
inline constexpr int64_t MaximumPeriodMs = int64_t(24) * 366 * 60 * 60 * 1000;

// The arguments of next, previous, random and rotate; nothing when the command is another one. Throws
// UsageError.
std::optional<RotationInvocation> ParseRotationArguments(const std::vector<std::string>& arguments);
// "30m", "45s", "2h", "300ms", or a number of seconds, in milliseconds. Throws UsageError.
int64_t ParsePeriod(const std::string& text);

// The gallery file a change goes to: `named`, or the current gallery's ("Manager" in "Vorlane.ini").
std::string RotationGallery(const std::string& named);

// Makes the next, previous or a random picture of the gallery file the wallpaper, as set does (and so
// as the window's wallpaper button does, announcement included), and remembers its position. Entries
// whose picture cannot be read are passed over with one line on stderr each; when none can be read,
// nothing changes and it fails. Needs the event loop (StartEventLoop).
ExitStatus ChangeWallpaper(const std::string& galleryFile, Step step);

// Runs the rotation until it is stopped (rotate --stop, SIGTERM, SIGINT, SIGHUP): a change every period,
// the period started again by every change of the wallpaper made by another program. A rotation running
// already in this session is stopped first. Needs the event loop.
ExitStatus RunRotation(const RotationInvocation& invocation);
// Stops the rotation of this session and returns once it has ended.
ExitStatus StopRotation();

// rotate --at-login: records the rotation's command (`invocation`'s period, --random and gallery) to be
// started at each login of the user, or with nullptr removes it. Where the desktop has a way of its own
// for this that the user turns on (an autostart entry), it raises UsageError saying so.
void SetRotationAtLogin(const RotationInvocation* invocation);
// The period as rotate --every takes it, in the largest unit that keeps it whole: "30m", "1500ms".
std::string PeriodText(int64_t periodMs);

// Runs a parsed rotation command.
ExitStatus RunRotationCommand(const RotationInvocation& invocation);

} // namespace vorlane::wallpapertool
