// Where a wallpaper picture's rows go as they are decoded, so the desktop can be drawn while "Temp.bmp" is
// written instead of reading the file back afterwards.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/Bitmap.h"

namespace vorlane {

class PictureRows {
public:
    virtual ~PictureRows() = default;
    // The picture's size and format (24 bits, or 8 with `palette`); rows follow.
    virtual void Begin(int width, int height, int bitsPerPixel, std::span<const RgbQuad> palette) = 0;
    // Row y, counted from the top, laid out as a bitmap row (B, G, R bytes, or colour-table indices).
    // Rows come top to bottom, each exactly once.
    virtual void Row(int y, const uint8_t* row) = 0;
    // Every row came, and `file` now holds the same picture. Not called when the conversion failed.
    virtual void Finished(const std::string& file) = 0;
};

} // namespace vorlane
