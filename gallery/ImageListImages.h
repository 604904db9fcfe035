// The content of an image list as a plain value: image size, depth, capacity, growth step, the images
// and their masks. The image list holds one; the image-list data is read into one and written from one.
//
// The images are held as the image-list data holds them: tiled four across in one picture whose rows
// are stored bottom row first, so that the data's rows are read straight into place and written
// straight from it. The masks are held one image after another, a few bytes a row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "image/Bitmap.h"

namespace vorlane {

// An allocator that leaves new bytes as they are: blocks that are filled right after they grow need no
// zero-fill first.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) { ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...); }
};
using PixelBytes = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

struct ImageListImages {
    static constexpr int TilesAcross = 4;

    int width = 16;
    int height = 16;
    int bitsPerPixel = 24; // 16, 24 or 32
    int capacity = 0;      // room before the next growth step; never below the count
    int allocBy = 4;       // growth step
    int count = 0;
    // The picture of tiles: image k is tile column k mod 4 of tile row k div 4, tile rows from the
    // top; only the tile rows that hold images are kept, and tiles past the count are zero. Rows are
    // stored bottom row first, so the picture grows at the front of its storage: it starts at
    // `pictureStart`, with room for more tile rows before it.
    PixelBytes pixels;
    size_t pictureStart = 0;
    // At 1 bit per pixel, image k's row y (from the top) is row k * height + y: 1 marks a transparent
    // pixel; rows are padded to 4 bytes and the bits past the width are 0.
    PixelBytes masks;

    // A tile's row: whole bytes at every depth held, so a picture row has no padding.
    size_t TileBytes() const { return size_t(width) * size_t(bitsPerPixel / 8); }
    size_t PictureStride() const { return TilesAcross * TileBytes(); }
    int TileRows() const { return (count + TilesAcross - 1) / TilesAcross; }
    size_t PictureRows() const { return size_t(TileRows()) * size_t(height); }
    size_t PictureBytes() const { return PictureRows() * PictureStride(); }
    // The picture's stored rows, bottom row first.
    uint8_t* Picture() { return pixels.data() + pictureStart; }
    const uint8_t* Picture() const { return pixels.data() + pictureStart; }
    size_t MaskStride() const { return (size_t(width) + 31) / 32 * 4; }
    size_t MaskBytes() const { return MaskStride() * size_t(height); }
    int Count() const { return count; }

    // Row y (from the top) of image k: TileBytes() bytes.
    uint8_t* ImageRow(int k, int y) { return Picture() + ImageRowOffset(k, y); }
    const uint8_t* ImageRow(int k, int y) const { return Picture() + ImageRowOffset(k, y); }
    uint8_t* MaskRow(int k, int y) { return masks.data() + (size_t(k) * size_t(height) + size_t(y)) * MaskStride(); }
    const uint8_t* MaskRow(int k, int y) const
    {
        return masks.data() + (size_t(k) * size_t(height) + size_t(y)) * MaskStride();
    }

    // Room for exactly `count` images; the bytes of new ones are left for the caller to fill, tiles
    // past the count are made zero.
    void Resize(int count);
    // Makes the tiles past the count zero (after the picture was filled from elsewhere).
    void ClearUnusedTiles();
    // Image `from` and its mask copied over image `to`.
    void CopyImage(int from, int to);
    // Image k as a bitmap of its own, and its mask (1 bit, black-and-white table).
    Bitmap Image(int k) const;
    Bitmap Mask(int k) const;

    friend bool operator==(const ImageListImages& a, const ImageListImages& b);

private:
    size_t ImageRowOffset(int k, int y) const
    {
        const size_t fromTop = size_t(k / TilesAcross) * size_t(height) + size_t(y);
        return (PictureRows() - 1 - fromTop) * PictureStride() + size_t(k % TilesAcross) * TileBytes();
    }
};

// A transparency mask in the list's form: 1 bit per pixel, black-and-white table, 1 = transparent.
// Any depth is accepted: a pixel is transparent when its colour is light; at 1 bit, bit 1 unless the
// table makes colour 0 the light one.
Bitmap NormalizedMask(const Bitmap& mask);
// Whether a 1-bit mask's colour table makes colour 0 the light one: then bit 0 marks transparent pixels.
bool MaskTableInverted(const std::vector<RgbQuad>& palette);
// Makes the first `width` pixels of `row` (`bytesPerPixel` each) black where `maskRow` has bit 1.
void BlackenTransparentRow(uint8_t* row, const uint8_t* maskRow, int width, int bytesPerPixel);

} // namespace vorlane
