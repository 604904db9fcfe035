// The stretched picture of a JPEG, decoded as it streams: only the rows the stretch takes are kept, so
// memory follows the picture's width, not its area. Where libjpeg gives the same pixels either way (24-bit
// output, where no dithering carries from pixel to pixel) the other rows are skipped and only the blocks
// the kept columns depend on are transformed. The result equals DecodeJpeg followed by Stretch, pixel for
// pixel, and the errors are the same.
#pragma once

#include "image/Bitmap.h"

namespace vorlane {

class JpegDecoder;

// The whole picture stretched to width x height (24 bits per pixel) with the mode a surface of
// `displayBitsPerPixel` uses for it; `upright`: the picture as its Exif orientation says it is seen.
Bitmap StretchJpeg(JpegDecoder& decoder, int width, int height, int displayBitsPerPixel, bool upright = false);

} // namespace vorlane
