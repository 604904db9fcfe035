#include "gallery/ImageListImages.h"

#include <algorithm>
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

void ImageListImages::Resize(int newCount)
{
    const size_t oldBytes = PictureBytes();
    const size_t oldStart = pictureStart;
    count = newCount;
    const size_t newBytes = PictureBytes();
    if (newCount == 0) {
        pixels.clear();
        pictureStart = 0;
    } else if (newBytes > oldBytes) {
        const size_t more = newBytes - oldBytes;
        if (oldStart < more) {
            // As much room again before the picture as it holds, so that adding images one at a time
            // moves the picture only each time it has doubled.
            const size_t room = std::max(more, oldBytes);
            PixelBytes grown;
            grown.resize(room + oldBytes);
            if (oldBytes > 0)
                std::memcpy(grown.data() + room, pixels.data() + oldStart, oldBytes);
            pixels = std::move(grown);
            pictureStart = room;
        }
        pictureStart -= more;
    } else {
        pictureStart += oldBytes - newBytes;
    }
    ClearUnusedTiles();
    masks.resize(size_t(count) * MaskBytes());
}

void ImageListImages::ClearUnusedTiles()
{
    if (const int used = count % TilesAcross; used != 0)
        for (int y = 0; y < height; ++y)
            std::memset(ImageRow(count, y), 0, size_t(TilesAcross - used) * TileBytes());
}

void ImageListImages::CopyImage(int from, int to)
{
    for (int y = 0; y < height; ++y)
        std::memcpy(ImageRow(to, y), ImageRow(from, y), TileBytes());
    std::memcpy(MaskRow(to, 0), MaskRow(from, 0), MaskBytes());
}

Bitmap ImageListImages::Image(int k) const
{
    Bitmap image(width, height, bitsPerPixel);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.Row(y), ImageRow(k, y), TileBytes());
    return image;
}

bool operator==(const ImageListImages& a, const ImageListImages& b)
{
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
           a.capacity == b.capacity && a.allocBy == b.allocBy && a.count == b.count && a.masks == b.masks &&
           std::equal(a.Picture(), a.Picture() + a.PictureBytes(), b.Picture(), b.Picture() + b.PictureBytes());
}

Bitmap ImageListImages::Mask(int k) const
{
    Bitmap mask(width, height, 1);
    mask.Palette() = BlackAndWhite;
    std::memcpy(mask.Pixels().data(), MaskRow(k, 0), MaskBytes());
    return mask;
}

void BlackenTransparentRow(uint8_t* row, const uint8_t* maskRow, int width, int bytesPerPixel)
{
    const size_t pixelBytes = size_t(bytesPerPixel);
    const size_t maskBytes = (size_t(width) + 7) / 8;
    for (size_t i = 0; i < maskBytes; ++i) {
        if (maskRow[i] == 0)
            continue;
        for (int b = 0; b < 8; ++b) {
            const size_t x = i * 8 + size_t(b);
            if (x < size_t(width) && (maskRow[i] & (0x80 >> b)))
                std::memset(row + x * pixelBytes, 0, pixelBytes);
        }
    }
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
