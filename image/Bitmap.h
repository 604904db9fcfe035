// An in-memory picture laid out as a device-independent bitmap: rows padded to 4 bytes, stored top row
// first, 1, 4, 8, 16, 24 or 32 bits per pixel, with a colour table at 8 bits per pixel or fewer.
//
// Direct-colour layouts are fixed: 16 bits = 5-5-5 (bit 15 zero, blue in the low bits), 24 bits = B, G, R
// bytes, 32 bits = B, G, R, 0. Readers convert any other layout (bit fields) into one of these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlane {

struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
    friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};

// 0x00RRGGBB.
using Rgb = uint32_t;
inline constexpr Rgb MakeRgb(uint8_t r, uint8_t g, uint8_t b)
{
    return (Rgb(r) << 16) | (Rgb(g) << 8) | b;
}
inline constexpr uint8_t RedOf(Rgb c)
{
    return uint8_t(c >> 16);
}
inline constexpr uint8_t GreenOf(Rgb c)
{
    return uint8_t(c >> 8);
}
inline constexpr uint8_t BlueOf(Rgb c)
{
    return uint8_t(c);
}

class Bitmap {
public:
    // The largest picture accepted anywhere: 65,535 pixels a side and 1 GiB of pixel data. Readers
    // check a header against this (and against the bytes actually present) before allocating.
    static constexpr int MaxSide = 65535;
    static constexpr size_t MaxBytes = size_t(1) << 30;

    Bitmap() = default;
    // Zero-filled (black, or colour 0). Throws EInvalidGraphic for a size or depth out of bounds.
    Bitmap(int width, int height, int bitsPerPixel);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerPixel() const { return bitsPerPixel_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    // Bytes per row, padded to a multiple of 4. Returns 0 when the size does not fit.
    static size_t StrideFor(int width, int bitsPerPixel);
    size_t Stride() const { return stride_; }

    // Row y, counted from the top.
    uint8_t* Row(int y) { return pixels_.data() + size_t(y) * stride_; }
    const uint8_t* Row(int y) const { return pixels_.data() + size_t(y) * stride_; }
    std::vector<uint8_t>& Pixels() { return pixels_; }
    const std::vector<uint8_t>& Pixels() const { return pixels_; }

    // Colour table (8 bits per pixel or fewer); entries past its end read as black.
    std::vector<RgbQuad>& Palette() { return palette_; }
    const std::vector<RgbQuad>& Palette() const { return palette_; }

    // The colour of one pixel, whatever the depth.
    Rgb PixelRgb(int x, int y) const;
    // The raw value of one pixel: a colour-table index, or the packed direct-colour value.
    uint32_t PixelValue(int x, int y) const;
    void SetPixelValue(int x, int y, uint32_t value);
    // Stores a colour at 16, 24 or 32 bits per pixel (16 bits keeps the top 5 bits of each channel).
    void SetPixelRgb(int x, int y, Rgb colour);

    void Fill(Rgb colour); // direct-colour depths only

    // A copy held at 16, 24 or 32 bits per pixel, converted row by row (colour-table depths through
    // their table). Throws EInvalidGraphic for another target depth.
    Bitmap ConvertedTo(int bitsPerPixel) const;
    // The colours of row y, one per pixel, into `out` (Width() entries).
    void RowRgb(int y, Rgb* out) const;
    // Stores Width() colours into row y at 16, 24 or 32 bits per pixel.
    void SetRowRgb(int y, const Rgb* colours);
    friend bool operator==(const Bitmap&, const Bitmap&) = default;

private:
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    size_t stride_ = 0;
    std::vector<uint8_t> pixels_;
    std::vector<RgbQuad> palette_;
};

} // namespace vorlane
