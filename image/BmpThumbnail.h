// The stretched picture of a bitmap file. An uncompressed file (or bit fields in the fixed layouts) is
// read a row at a time, only the rows the stretch takes; any other form is read whole. The result and
// the errors equal ReadBmpFile followed by Stretch.
#pragma once

#include <string>

#include "image/Bitmap.h"

namespace vorlane {

// The whole picture of the bitmap file at `path` stretched to width x height (24 bits per pixel) with
// the mode a surface of `displayBitsPerPixel` uses for it. EFOpenError, EInvalidGraphic.
Bitmap StretchBmpFile(const std::string& path, int width, int height, int displayBitsPerPixel);

} // namespace vorlane
