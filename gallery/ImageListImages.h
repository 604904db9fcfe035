// The content of an image list as a plain value: image size, depth, capacity, growth step, and all
// images and masks in two blocks of rows, one image after another. The image list holds one; the
// image-list data is read into one and written from one. Holding every image in one block keeps a
// 10,000-image gallery at two allocations instead of 20,000.
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
    int width = 16;
    int height = 16;
    int bitsPerPixel = 24; // 16, 24 or 32
    int capacity = 0;      // room before the next growth step; never below the count
    int allocBy = 4;       // growth step
    // Image k's row y (rows from the top, padded as Bitmap pads them) is row k * height + y of its block.
    PixelBytes pixels;
    // Likewise at 1 bit per pixel: 1 marks a transparent pixel; the bits past the width are 0.
    PixelBytes masks;

    // Bitmap's row padding, worked out here since rows are looked up for every image.
    size_t PixelStride() const { return (size_t(width) * size_t(bitsPerPixel) + 31) / 32 * 4; }
    size_t MaskStride() const { return (size_t(width) + 31) / 32 * 4; }
    size_t ImageBytes() const { return PixelStride() * size_t(height); }
    size_t MaskBytes() const { return MaskStride() * size_t(height); }
    int Count() const { return ImageBytes() == 0 ? 0 : int(pixels.size() / ImageBytes()); }

    uint8_t* ImageRow(int k, int y) { return pixels.data() + (size_t(k) * size_t(height) + size_t(y)) * PixelStride(); }
    const uint8_t* ImageRow(int k, int y) const
    {
        return pixels.data() + (size_t(k) * size_t(height) + size_t(y)) * PixelStride();
    }
    uint8_t* MaskRow(int k, int y) { return masks.data() + (size_t(k) * size_t(height) + size_t(y)) * MaskStride(); }
    const uint8_t* MaskRow(int k, int y) const
    {
        return masks.data() + (size_t(k) * size_t(height) + size_t(y)) * MaskStride();
    }

    // Room for exactly `count` images; the bytes of new ones are left for the caller to fill.
    void Resize(int count);
    // Image k as a bitmap of its own, and its mask (1 bit, black-and-white table).
    Bitmap Image(int k) const;
    Bitmap Mask(int k) const;

    friend bool operator==(const ImageListImages&, const ImageListImages&) = default;
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
