// Where a scaled wallpaper picture goes on a part of the screen: the same rule for every drawing of
// one, the desktop's and the screen saver's.
#pragma once

#include "wallpaper/Placement.h"

namespace vorlane {

// A rectangle in pixels of the screen (the root window), or of the window drawn in.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Where a picture of `width` x `height` goes in `area` (a monitor, or for span all monitors' bounding
// box): the rectangle of its scaled copy, centred on the area, which shows only where it overlaps the
// area. Fill and span cover the area (one side equal, the other the rounded larger one); fit fits inside
// it (one side equal, the other the rounded smaller one); stretch is the area. Not for centred or tiled.
PixelRect PlaceScaledPicture(WallpaperPlacement placement, int width, int height, const PixelRect& area);

} // namespace vorlane
