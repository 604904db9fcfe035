#include "gallery/ImageListImages.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vorlane {
namespace {

bool Light(Rgb c)
{
    return int(RedOf(c)) + GreenOf(c) + BlueOf(c) >= 384;
}

bool Light(const RgbQuad& q)
{
    return int(q.red) + q.green + q.blue >= 384;
}

const std::vector<RgbQuad> BlackAndWhite = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};

} // namespace

void BottomUpRows::MakeRoom(size_t size, size_t newSize)
{
    if (newSize <= size || start_ >= newSize - size)
        return;
    // A quarter more room in front than is asked for, so that adding images one at a time moves the rows
    // only each time they have grown by a quarter, and a list read whole keeps little room it never uses.
    const size_t room = newSize - size + size / 4;
    PixelBytes grown;
    grown.resize(room + size);
    if (size > 0)
        std::memcpy(grown.data() + room, Data(), size);
    bytes_ = std::move(grown);
    start_ = room;
}

void BottomUpRows::Resize(size_t oldSize, size_t newSize) noexcept
{
    if (newSize == 0) {
        bytes_ = PixelBytes();
        start_ = 0;
    } else if (newSize <= oldSize) {
        start_ += oldSize - newSize;
    } else {
        start_ -= newSize - oldSize;
    }
}

void CopyBits(uint8_t* dst, size_t dstBit, const uint8_t* src, size_t srcBit, size_t bits)
{
    if (dstBit % 8 == 0 && srcBit % 8 == 0 && bits % 8 == 0) {
        std::memcpy(dst + dstBit / 8, src + srcBit / 8, bits / 8);
        return;
    }
    for (size_t i = 0; i < bits; ++i) {
        const size_t s = srcBit + i, d = dstBit + i;
        const uint8_t bit = uint8_t(0x80u >> (d & 7));
        if (src[s >> 3] & (0x80u >> (s & 7)))
            dst[d >> 3] |= bit;
        else
            dst[d >> 3] &= uint8_t(~bit);
    }
}

void ImageListImages::Resize(int newCount)
{
    const size_t oldRows = PictureRows();
    const size_t newRows = size_t((newCount + TilesAcross - 1) / TilesAcross) * size_t(height);
    pixels.MakeRoom(oldRows * PictureStride(), newRows * PictureStride());
    masks.MakeRoom(oldRows * MaskStride(), newRows * MaskStride());
    count = newCount;
    pixels.Resize(oldRows * PictureStride(), newRows * PictureStride());
    masks.Resize(oldRows * MaskStride(), newRows * MaskStride());
    if (PictureRows() > oldRows)
        std::memset(masks.Data(), 0, (PictureRows() - oldRows) * MaskStride());
    ClearUnusedTiles();
}

void ImageListImages::ClearUnusedTiles()
{
    const int used = count % TilesAcross;
    if (used == 0)
        return;
    const std::vector<uint8_t> zeros((size_t(width) * size_t(TilesAcross - used) + 7) / 8);
    for (int y = 0; y < height; ++y) {
        std::memset(ImageRow(count, y), 0, size_t(TilesAcross - used) * TileBytes());
        CopyBits(masks.Data() + StoredRow(count, y) * MaskStride(), size_t(used) * size_t(width), zeros.data(), 0,
                 size_t(TilesAcross - used) * size_t(width));
    }
}

void ImageListImages::GetMaskRow(int k, int y, uint8_t* bits) const
{
    std::memset(bits, 0, (size_t(width) + 7) / 8);
    CopyBits(bits, 0, masks.Data() + StoredRow(k, y) * MaskStride(), TileColumn(k) * size_t(width), size_t(width));
}

void ImageListImages::SetMaskRow(int k, int y, const uint8_t* bits)
{
    CopyBits(masks.Data() + StoredRow(k, y) * MaskStride(), TileColumn(k) * size_t(width), bits, 0, size_t(width));
}

// Images move a picture row at a time: within a tile row the tiles of a row lie side by side and move
// as one run; one tile crosses to the neighbouring tile row.
void ImageListImages::MoveUpFrom(int index)
{
    const int first = index / TilesAcross;
    const auto move = [&](uint8_t* picture, size_t stride, size_t tileBytes) {
        for (int t = TileRows() - 1; t >= first; --t) {
            // Tiles `from` to the last image's before the move (never the room, which holds nothing yet).
            const int from = t == first ? index % TilesAcross : 0;
            const int last = std::min(count - 2 - t * TilesAcross, TilesAcross - 2);
            const size_t tiles = last >= from ? size_t(last - from + 1) : 0;
            for (int y = 0; y < height; ++y) {
                uint8_t* row = picture + StoredRow(t * TilesAcross, y) * stride;
                std::memmove(row + size_t(from + 1) * tileBytes, row + size_t(from) * tileBytes, tiles * tileBytes);
                if (t > first) {
                    const uint8_t* above = picture + StoredRow((t - 1) * TilesAcross, y) * stride;
                    std::memcpy(row, above + (TilesAcross - 1) * tileBytes, tileBytes);
                }
            }
        }
    };
    move(pixels.Data(), PictureStride(), TileBytes());
    if (width % 8 == 0)
        move(masks.Data(), MaskStride(), size_t(width) / 8);
    else
        for (int k = count - 1; k > index; --k)
            CopyMask(k - 1, k);
}

void ImageListImages::MoveDownOnto(int index)
{
    const auto move = [&](uint8_t* picture, size_t stride, size_t tileBytes) {
        for (int t = index / TilesAcross; t < TileRows(); ++t) {
            // Tiles past the count are zero and move as they are.
            const size_t to = t == index / TilesAcross ? size_t(index % TilesAcross) : 0;
            for (int y = 0; y < height; ++y) {
                uint8_t* row = picture + StoredRow(t * TilesAcross, y) * stride;
                std::memmove(row + to * tileBytes, row + (to + 1) * tileBytes, (TilesAcross - 1 - to) * tileBytes);
                if (t + 1 < TileRows()) {
                    const uint8_t* below = picture + StoredRow((t + 1) * TilesAcross, y) * stride;
                    std::memcpy(row + (TilesAcross - 1) * tileBytes, below, tileBytes);
                }
            }
        }
    };
    move(pixels.Data(), PictureStride(), TileBytes());
    if (width % 8 == 0)
        move(masks.Data(), MaskStride(), size_t(width) / 8);
    else
        for (int k = index; k + 1 < count; ++k)
            CopyMask(k + 1, k);
}

void ImageListImages::CopyMask(int from, int to)
{
    for (int y = 0; y < height; ++y)
        CopyBits(masks.Data() + StoredRow(to, y) * MaskStride(), TileColumn(to) * size_t(width),
                 masks.Data() + StoredRow(from, y) * MaskStride(), TileColumn(from) * size_t(width), size_t(width));
}

Bitmap ImageListImages::Image(int k) const
{
    Bitmap image(width, height, bitsPerPixel);
    std::vector<uint8_t> bits((size_t(width) + 7) / 8);
    for (int y = 0; y < height; ++y) {
        std::memcpy(image.Row(y), ImageRow(k, y), TileBytes());
        GetMaskRow(k, y, bits.data());
        BlackenTransparentRow(image.Row(y), bits.data(), width, bitsPerPixel / 8);
    }
    return image;
}

Bitmap ImageListImages::Mask(int k) const
{
    Bitmap mask(width, height, 1);
    mask.Palette() = BlackAndWhite;
    for (int y = 0; y < height; ++y)
        GetMaskRow(k, y, mask.Row(y));
    return mask;
}

namespace {

// Calls `pixel(x)` for each pixel marked transparent in the first `width` bits of `maskRow`, until it
// returns false; and whether none did.
template <typename Pixel>
bool EachTransparentPixel(const uint8_t* maskRow, int width, Pixel&& pixel)
{
    const size_t maskBytes = (size_t(width) + 7) / 8;
    for (size_t i = 0; i < maskBytes; ++i) {
        unsigned bits = maskRow[i];
        while (bits != 0) {
            const int b = std::countl_zero(uint8_t(bits));
            bits &= ~(0x80u >> b);
            const size_t x = i * 8 + size_t(b);
            if (x >= size_t(width))
                break;
            if (!pixel(x))
                return false;
        }
    }
    return true;
}

bool Black(const uint8_t* pixel, size_t bytes)
{
    for (size_t j = 0; j < bytes; ++j)
        if (pixel[j] != 0)
            return false;
    return true;
}

} // namespace

void BlackenTransparentRow(uint8_t* row, const uint8_t* maskRow, int width, int bytesPerPixel)
{
    const size_t pixelBytes = size_t(bytesPerPixel);
    EachTransparentPixel(maskRow, width, [&](size_t x) {
        std::memset(row + x * pixelBytes, 0, pixelBytes);
        return true;
    });
}

bool TransparentPixelsBlack(const uint8_t* row, const uint8_t* maskRow, int width, int bytesPerPixel)
{
    const size_t pixelBytes = size_t(bytesPerPixel);
    return EachTransparentPixel(maskRow, width, [&](size_t x) { return Black(row + x * pixelBytes, pixelBytes); });
}

bool MaskTableInverted(const std::vector<RgbQuad>& palette)
{
    // A table of two equal colours (a fresh 1-bit picture's, say) leaves the bits as they are.
    return !palette.empty() && Light(palette[0]) && !(palette.size() > 1 && Light(palette[1]));
}

Bitmap NormalizedMask(const Bitmap& mask)
{
    Bitmap result(mask.Width(), mask.Height(), 1);
    result.Palette() = BlackAndWhite;
    if (mask.BitsPerPixel() == 1) {
        const bool inverted = MaskTableInverted(mask.Palette());
        const size_t usedBytes = (size_t(mask.Width()) + 7) / 8;
        const int tailBits = mask.Width() % 8;
        const uint8_t lastMask = tailBits ? uint8_t(0xFF << (8 - tailBits)) : 0xFF;
        for (int y = 0; y < mask.Height(); ++y) {
            const uint8_t* src = mask.Row(y);
            uint8_t* dst = result.Row(y);
            for (size_t i = 0; i < usedBytes; ++i) {
                const uint8_t b = inverted ? uint8_t(~src[i]) : src[i];
                dst[i] = i + 1 == usedBytes ? uint8_t(b & lastMask) : b;
            }
        }
        return result;
    }
    std::vector<Rgb> colours(static_cast<size_t>(mask.Width()));
    for (int y = 0; y < mask.Height(); ++y) {
        if (mask.BitsPerPixel() >= 16) {
            mask.RowRgb(y, colours.data());
        } else {
            for (int x = 0; x < mask.Width(); ++x)
                colours[size_t(x)] = mask.PixelRgb(x, y);
        }
        for (int x = 0; x < mask.Width(); ++x)
            if (Light(colours[size_t(x)]))
                result.SetPixelValue(x, y, 1);
    }
    return result;
}

} // namespace vorlane
