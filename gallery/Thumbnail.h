// The 32x32 thumbnail of a picture file, as a gallery shows it.
#pragma once

#include <string>

#include "image/Bitmap.h"

namespace vorlane {

class TImageList;

// Thumbnails are opaque 24-bit pictures of exactly 32x32.
inline constexpr int ThumbnailSize = 32;
inline constexpr int ThumbnailBitsPerPixel = 24;

// Makes the thumbnail of `file`: a missing file (or a folder) gives `images`' image 0 (the placeholder)
// drawn through its mask over white; ".bmp" in any letter case is read as a Windows bitmap; a file that
// starts as a picture of PictureFormats() (PNG, WebP, GIF, AVIF) is read by its decoder, transparent parts
// over white; anything else is decoded as JPEG. The picture is stretched to 32x32 with the mode chosen
// from the display's depth and the picture's. Errors: EFOpenError, EInvalidGraphic, EJPEG.
Bitmap MakeThumbnail(const std::string& file, const TImageList& images, int displayBitsPerPixel);

} // namespace vorlane
