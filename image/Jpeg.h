// JPEG decoding through libjpeg with the program's settings: full size, accurate integer DCT, block
// smoothing, 24-bit RGB output, or at most 236 quantised colours (libjpeg's default dithering) for a
// greyscale picture or a display of 8 bits per pixel or fewer. Fatal libjpeg errors raise EJPEG
// "JPEG エラー #%d" with libjpeg's message number; warnings are dropped.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/Bitmap.h"

namespace vorlane {

// The whole picture: 24 bits per pixel, or 8 bits with a colour table when quantised.
Bitmap DecodeJpeg(std::span<const uint8_t> data, int displayBitsPerPixel);

// The same, turned as its Exif orientation says the picture is seen.
Bitmap DecodeUprightJpegFile(const std::string& path, int displayBitsPerPixel);

// Reads the whole file into memory (EFOpenError "ファイル %s は開けません" when it cannot be opened) and decodes it.
Bitmap DecodeJpegFile(const std::string& path, int displayBitsPerPixel);

} // namespace vorlane
