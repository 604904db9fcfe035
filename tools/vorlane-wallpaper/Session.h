// What vorlane-wallpaper needs of the session it runs in, which differs from system to system: the
// event loop the announcement waits in, the display's colour depth, and the desktops that forget the
// wallpaper with the session.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "wallpaper/Placement.h"

namespace vorlane {
class BitmapRows;
}

namespace vorlane::wallpapertool {

// Whatever the event loop needs for the rest of the run (on Linux the QCoreApplication).
std::shared_ptr<void> StartEventLoop(int& argc, char** argv);

// Bits per pixel of the display, 0 when there is none to ask.
int DisplayDepth();

// Applies the picture again through the desktops that forget it with the session. `forgetful` tells
// whether there were any, and the result whether one of them showed it.
bool ReapplyWhereForgotten(const std::string& path, WallpaperPlacement placement, const BitmapRows& picture,
                           bool& forgetful);

// Leaves a watcher process behind that stays while the X display lasts and draws the recorded wallpaper
// again on its root window, at the recorded placement, whenever the screen's size or its monitors change;
// silently, without a window. Returns once the watcher holds the display (one per display: none stays
// when another runs, without an X display, or in a Wayland session); nothing where the system redraws
// the desktop itself.
void StartScreenWatcher();

// Lists the desktops of this session that apply, under "desktops:".
void ListDesktops(std::FILE* out);

} // namespace vorlane::wallpapertool
