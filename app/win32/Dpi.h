// The screen's pixels per inch. The program declares itself aware of the system's DPI (its manifest), so
// the system leaves its drawing alone and it scales the layout's sizes, given at 96 pixels per inch,
// itself: at 96 DPI every size is the layout's own.
#pragma once

#include "app/MainWindowFrontEnd.h"

namespace vorlane {

// The system's DPI as the program started (a system-aware program keeps it for its whole run).
int SystemDpi();
// `pixels` at 96 DPI as pixels of the screen, rounded to the nearest; Unscaled goes back.
int Scaled(int pixels);
int Unscaled(int pixels);
WindowRect Scaled(const WindowRect& area);
WindowRect Unscaled(const WindowRect& area);

} // namespace vorlane
