// The content of an image list as a plain value: image size, depth, capacity, growth step, the images
// and their masks. The image list holds one; the image-list data is read into one and written from one.
//
// The images and the masks are held as the image-list data holds them: tiled four across in one picture
// each, whose rows are stored bottom row first, so that the data's rows are read straight into place
// and written straight from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "image/Bitmap.h"
#include "platform/LargeBlocks.h"

namespace vorlane {

// An allocator that leaves new bytes as they are: blocks that are filled right after they grow need no
// zero-fill first. Its blocks come from the system's memory for large blocks.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    using value_type = T;
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(memory::AllocateBlock(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { memory::FreeBlock(p, n * sizeof(T)); }
    template <typename U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using PixelBytes = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

// The rows of a picture that grows at its bottom, stored bottom row first: new rows go in front of the
// others, so the block keeps room there.
class BottomUpRows {
public:
    uint8_t* Data() { return bytes_.data() + start_; }
    const uint8_t* Data() const { return bytes_.data() + start_; }
    // Room in front of the `size` bytes held for growing to `newSize`; what they hold stays as it is.
    void MakeRoom(size_t size, size_t newSize);
    // From `oldSize` bytes to `newSize` (after MakeRoom when growing): rows are added or taken away at
    // the front; new bytes are left as they are.
    void Resize(size_t oldSize, size_t newSize) noexcept;

private:
    PixelBytes bytes_;
    size_t start_ = 0;
};

struct ImageListImages {
    static constexpr int TilesAcross = 4;

    int width = 16;
    int height = 16;
    int bitsPerPixel = 24; // 16, 24 or 32
    int capacity = 0;      // room before the next growth step; never below the count
    int allocBy = 4;       // growth step
    int count = 0;
    // The pictures of tiles: image k is tile column k mod 4 of tile row k div 4, tile rows from the top.
    // Only the tile rows that hold images are kept; tiles past the count are zero. In the masks, 1 marks
    // a transparent pixel and bits past the tiles of a row are 0. Transparent pixels are held as they
    // were read and made black on the way out (Image, the image-list data): a list read back from a
    // file need not touch its 30 MB again to find them black already.
    BottomUpRows pixels;
    BottomUpRows masks;
    // Whether a transparent pixel may hold a colour: only masks read from data can bring one.
    bool colourUnderMasks = false;

    // A tile's row: whole bytes at every depth held, so an image row has no padding.
    size_t TileBytes() const { return size_t(width) * size_t(bitsPerPixel / 8); }
    size_t PictureStride() const { return TilesAcross * TileBytes(); }
    size_t MaskStride() const { return (size_t(TilesAcross) * size_t(width) + 31) / 32 * 4; }
    int TileRows() const { return (count + TilesAcross - 1) / TilesAcross; }
    size_t PictureRows() const { return size_t(TileRows()) * size_t(height); }
    size_t PictureBytes() const { return PictureRows() * PictureStride(); }
    size_t MaskPictureBytes() const { return PictureRows() * MaskStride(); }
    int Count() const { return count; }

    // Row y (from the top) of image k: TileBytes() bytes.
    uint8_t* ImageRow(int k, int y) { return pixels.Data() + ImageRowOffset(k, y); }
    const uint8_t* ImageRow(int k, int y) const { return pixels.Data() + ImageRowOffset(k, y); }
    // Row y of image k's mask, copied out of the mask picture and into it: `width` bits, most
    // significant first; copied out, the bits past the width are 0 up to the next whole byte.
    void GetMaskRow(int k, int y, uint8_t* bits) const;
    void SetMaskRow(int k, int y, const uint8_t* bits);

    // Room for exactly `count` images; the pixels of new ones are left for the caller to fill, their
    // masks are opaque; tiles past the count are made zero. A failure (no memory) changes nothing.
    void Resize(int count);
    // Makes the tiles past the count zero in both pictures (after they were filled from elsewhere).
    void ClearUnusedTiles();
    // The images from `index` on, with their masks, moved one place up (into room made by Resize), or
    // those after `index` one place down over it.
    void MoveUpFrom(int index);
    void MoveDownOnto(int index);
    // Image k as a bitmap of its own, black where transparent, and its mask (1 bit, black-and-white table).
    Bitmap Image(int k) const;
    Bitmap Mask(int k) const;

private:
    // Where row y of tile k is held: the picture's rows are stored from its bottom up.
    size_t StoredRow(int k, int y) const
    {
        return PictureRows() - 1 - (size_t(k / TilesAcross) * size_t(height) + size_t(y));
    }
    static size_t TileColumn(int k) { return size_t(k % TilesAcross); }
    void CopyMask(int from, int to);
    size_t ImageRowOffset(int k, int y) const
    {
        return StoredRow(k, y) * PictureStride() + TileColumn(k) * TileBytes();
    }
};

// Copies `bits` bits from `src` (starting at bit `srcBit`) to `dst` (at bit `dstBit`), most
// significant bit first as 1-bit rows store them.
void CopyBits(uint8_t* dst, size_t dstBit, const uint8_t* src, size_t srcBit, size_t bits);

// A transparency mask in the list's form: 1 bit per pixel, black-and-white table, 1 = transparent.
// Any depth is accepted: a pixel is transparent when its colour is light; at 1 bit, bit 1 unless the
// table makes colour 0 the light one.
Bitmap NormalizedMask(const Bitmap& mask);
// Whether a 1-bit mask's colour table makes colour 0 the light one: then bit 0 marks transparent pixels.
bool MaskTableInverted(const std::vector<RgbQuad>& palette);
// Makes the first `width` pixels of `row` (`bytesPerPixel` each) black where `maskRow` has bit 1; and
// whether they are already.
void BlackenTransparentRow(uint8_t* row, const uint8_t* maskRow, int width, int bytesPerPixel);
bool TransparentPixelsBlack(const uint8_t* row, const uint8_t* maskRow, int width, int bytesPerPixel);

} // namespace vorlane
