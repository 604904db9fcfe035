#include "image/Bitmap.h"

#include <cstring>

#include "platform/Exceptions.h"

namespace vorlane {
namespace {

bool ValidDepth(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

} // namespace

size_t Bitmap::StrideFor(int width, int bitsPerPixel)
{
    if (width < 0 || width > MaxSide || !ValidDepth(bitsPerPixel))
        return 0;
    const size_t bits = size_t(width) * size_t(bitsPerPixel);
    return ((bits + 31) / 32) * 4;
}

Bitmap::Bitmap(int width, int height, int bitsPerPixel)
{
    if (width < 0 || height < 0 || width > MaxSide || height > MaxSide || !ValidDepth(bitsPerPixel))
        throw EInvalidGraphic(msg::InvalidGraphic);
    const size_t stride = StrideFor(width, bitsPerPixel);
    if (height > 0 && stride > MaxBytes / size_t(height))
        throw EInvalidGraphic(msg::InvalidGraphic);
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    stride_ = stride;
    pixels_.assign(stride * size_t(height), 0);
    if (bitsPerPixel <= 8)
        palette_.assign(size_t(1) << bitsPerPixel, RgbQuad{});
}

uint32_t Bitmap::PixelValue(int x, int y) const
{
    const uint8_t* row = Row(y);
    switch (bitsPerPixel_) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
        return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    case 8:
        return row[x];
    case 16:
        return uint32_t(row[2 * x] | (row[2 * x + 1] << 8));
    case 24: {
        const uint8_t* p = row + 3 * size_t(x);
        return MakeRgb(p[2], p[1], p[0]);
    }
    case 32: {
        const uint8_t* p = row + 4 * size_t(x);
        return MakeRgb(p[2], p[1], p[0]);
    }
    default:
        return 0;
    }
}

void Bitmap::SetPixelValue(int x, int y, uint32_t value)
{
    uint8_t* row = Row(y);
    switch (bitsPerPixel_) {
    case 1: {
        const uint8_t bit = uint8_t(0x80u >> (x & 7));
        row[x >> 3] = (value & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
        break;
    }
    case 4:
        row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (value & 0x0F))
                              : uint8_t((row[x >> 1] & 0x0F) | ((value & 0x0F) << 4));
        break;
    case 8:
        row[x] = uint8_t(value);
        break;
    case 16:
        row[2 * x] = uint8_t(value);
        row[2 * x + 1] = uint8_t(value >> 8);
        break;
    case 24:
    case 32: {
        uint8_t* p = row + size_t(x) * size_t(bitsPerPixel_ / 8);
        p[0] = BlueOf(value);
        p[1] = GreenOf(value);
        p[2] = RedOf(value);
        break;
    }
    default:
        break;
    }
}

Rgb Bitmap::PixelRgb(int x, int y) const
{
    const uint32_t value = PixelValue(x, y);
    if (bitsPerPixel_ <= 8) {
        if (value >= palette_.size())
            return 0;
        const RgbQuad& q = palette_[value];
        return MakeRgb(q.red, q.green, q.blue);
    }
    if (bitsPerPixel_ == 16) {
        // 5-5-5: widen each channel by repeating its top bits, so white stays white.
        const uint32_t r = (value >> 10) & 31, g = (value >> 5) & 31, b = value & 31;
        return MakeRgb(uint8_t((r << 3) | (r >> 2)), uint8_t((g << 3) | (g >> 2)), uint8_t((b << 3) | (b >> 2)));
    }
    return value;
}

void Bitmap::SetPixelRgb(int x, int y, Rgb colour)
{
    if (bitsPerPixel_ == 16) {
        const uint32_t packed = (uint32_t(RedOf(colour) >> 3) << 10) | (uint32_t(GreenOf(colour) >> 3) << 5) |
                                uint32_t(BlueOf(colour) >> 3);
        SetPixelValue(x, y, packed);
    } else if (bitsPerPixel_ > 16) {
        SetPixelValue(x, y, colour);
    }
}

void Bitmap::Fill(Rgb colour)
{
    if (bitsPerPixel_ < 16 || Empty())
        return;
    for (int x = 0; x < width_; ++x)
        SetPixelRgb(x, 0, colour);
    for (int y = 1; y < height_; ++y)
        std::memcpy(Row(y), Row(0), stride_);
}

void Bitmap::RowRgb(int y, Rgb* out) const
{
    const uint8_t* row = Row(y);
    switch (bitsPerPixel_) {
    case 16:
        for (int x = 0; x < width_; ++x) {
            const uint32_t v = uint32_t(row[2 * x] | (row[2 * x + 1] << 8));
            const uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            out[x] = MakeRgb(uint8_t((r << 3) | (r >> 2)), uint8_t((g << 3) | (g >> 2)), uint8_t((b << 3) | (b >> 2)));
        }
        break;
    case 24:
        for (int x = 0; x < width_; ++x, row += 3)
            out[x] = MakeRgb(row[2], row[1], row[0]);
        break;
    case 32:
        for (int x = 0; x < width_; ++x, row += 4)
            out[x] = MakeRgb(row[2], row[1], row[0]);
        break;
    default:
        for (int x = 0; x < width_; ++x)
            out[x] = PixelRgb(x, y);
        break;
    }
}

void Bitmap::SetRowRgb(int y, const Rgb* colours)
{
    uint8_t* row = Row(y);
    switch (bitsPerPixel_) {
    case 16:
        for (int x = 0; x < width_; ++x) {
            const Rgb c = colours[x];
            const uint32_t v =
                (uint32_t(RedOf(c) >> 3) << 10) | (uint32_t(GreenOf(c) >> 3) << 5) | uint32_t(BlueOf(c) >> 3);
            row[2 * x] = uint8_t(v);
            row[2 * x + 1] = uint8_t(v >> 8);
        }
        break;
    case 24:
        for (int x = 0; x < width_; ++x, row += 3) {
            row[0] = BlueOf(colours[x]);
            row[1] = GreenOf(colours[x]);
            row[2] = RedOf(colours[x]);
        }
        break;
    case 32:
        for (int x = 0; x < width_; ++x, row += 4) {
            row[0] = BlueOf(colours[x]);
            row[1] = GreenOf(colours[x]);
            row[2] = RedOf(colours[x]);
            row[3] = 0;
        }
        break;
    default:
        break;
    }
}

Bitmap Bitmap::ConvertedTo(int bitsPerPixel) const
{
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        throw EInvalidGraphic(msg::InvalidGraphic);
    if (bitsPerPixel == bitsPerPixel_)
        return *this;
    Bitmap result(width_, height_, bitsPerPixel);
    std::vector<Rgb> colours(static_cast<size_t>(width_));
    for (int y = 0; y < height_; ++y) {
        RowRgb(y, colours.data());
        result.SetRowRgb(y, colours.data());
    }
    return result;
}

} // namespace vorlane
