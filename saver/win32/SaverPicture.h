// What the Windows screen saver draws: a picture of its gallery at the recorded placement on each
// monitor, or one line of text, as a bitmap of its window's size, ready to be shown.
//
// The picture's rows are read as the wallpaper reads them, and only the part that shows is kept: reduced
// as they come to a copy at least as large as it will be shown (each pixel the mean of a block of 2^n by
// 2^n), which the system's halftone stretch brings to its size.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "wallpaper/PlacedPicture.h"

namespace vorlane::saver {

// The window drawn in, and where the monitors lie in it.
struct SaverFrame {
    int width = 0;
    int height = 0;
    std::vector<PixelRect> monitors;
    double scaleX = 1; // window pixels for a screen pixel: 1 on the whole screen, less in a preview
    double scaleY = 1;
};

// The whole screen, all monitors, as a window covering the virtual screen sees it.
SaverFrame ScreenFrame();
// A preview of `width` x `height`: the screen in small.
SaverFrame PreviewFrame(int width, int height);

// `picture` at `placement` (not tiled) on black, in a new bitmap compatible with `dc`; nullptr when the
// system refused one. Raises the picture's errors (EFOpenError, EInvalidGraphic, EJPEG, ...).
HBITMAP DrawSaverPicture(HDC dc, const SaverFrame& frame, const std::string& picture, WallpaperPlacement placement);
// `line` in white on black, in the middle.
HBITMAP DrawSaverText(HDC dc, const SaverFrame& frame, const std::string& line);

} // namespace vorlane::saver
