// The stretched picture of a JPEG, decoded as it streams: only the rows the stretch takes are kept (and,
// where libjpeg gives the same rows either way, only those rows are decompressed), so memory follows the
// picture's width, not its area. The result equals DecodeJpeg followed by Stretch, pixel for pixel, and
// the errors are the same.
#pragma once

#include <cstdio>

#include "gallery/Bitmap.h"

namespace vorlane {

class JpegDecoder;

// The whole picture stretched to width x height (24 bits per pixel) with the mode a surface of
// `displayBitsPerPixel` uses for it.
Bitmap StretchJpeg(JpegDecoder& decoder, int width, int height, int displayBitsPerPixel);

} // namespace vorlane
