// The Windows screen saver's slideshow: on the whole screen (/s), ended by the mouse or a key as the
// system's screen savers are, or inside the settings' preview window (/p), ended with it.
#pragma once

#include <windows.h>

#include "saver/Slideshow.h"
#include "saver/win32/ScreenSaverArguments.h"

namespace vorlane::saver {

// Runs until the window goes; the exit code (1 when there was no window to draw in).
int RunSaverWindow(ScreenSaverMode mode, HWND parent, const Options& options);

} // namespace vorlane::saver
