// Image-list data: the value of an image list's "Bitmap" record. A 28-byte header ("IL", version
// 0x0101, count, capacity, growth step, image size, background colour, flags, overlays), the images
// tiled four across in one bitmap file, the masks tiled alike in a 1-bit bitmap file, and 22 zero bytes.
// In both files the size field holds the pixel-data offset.
//
// Both directions go a piece at a time, so that a 10,000-image gallery passes between its file and the
// list without a second copy of all its bytes: the writer hands out pieces, the reader takes the data from
// a source as it needs it. The list holds its pictures as these files do, so their rows go between the
// file and the list as they are, without being copied on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "gallery/ImageListImages.h"

namespace vorlane {

inline constexpr size_t ImageListHeaderSize = 28;
inline constexpr size_t ImageListTailSize = 22;

// The bytes of one data value, front to back: from memory, or pulled from elsewhere as they are needed.
class ImageListDataSource {
public:
    // `read(buffer, n)` stores exactly the next n bytes of the `size` there are.
    ImageListDataSource(size_t size, std::function<void(uint8_t*, size_t)> read);
    explicit ImageListDataSource(std::span<const uint8_t> data);

    size_t Remaining() const { return remaining_; }
    // The next `count` bytes: a view of the data in memory, otherwise read into `scratch`. Past the end:
    // EReadError "ストリームからの読み込みエラー".
    std::span<const uint8_t> Next(size_t count, PixelBytes& scratch);
    void Skip(size_t count);
    // The next `count` bytes stored at `out`.
    void Read(uint8_t* out, size_t count);

private:
    std::span<const uint8_t> memory_;
    std::function<void(uint8_t*, size_t)> read_;
    size_t remaining_;
};

// The bytes WriteImageListData produces for these images. Images the layout cannot hold (more than 32767,
// a picture too large) give EWriteError "ストリームへの ImageList データの書き込みに失敗しました".
size_t ImageListDataSize(const ImageListImages& images);
// All images in index order with their masks, at their depth, handed to `put` a piece at a time.
void WriteImageListData(const ImageListImages& images, const std::function<void(std::span<const uint8_t>)>& put);
std::vector<uint8_t> WriteImageListData(const ImageListImages& images);

// The images held in `data`. `current` is the list being rebuilt: its image size and depth are what
// the older layout is cut at and what colour-table data is converted to, and its growth step is kept.
// Data in the current layout that cannot be read gives EReadError
// "ストリームからの ImageList データの読み込みに失敗しました"; data in the older layout (byte count,
// image count, two bitmap files) whose bitmaps cannot be read gives EInvalidGraphic "ビットマップイメージが不正です".
ImageListImages ReadImageListData(ImageListDataSource& data, const ImageListImages& current);

} // namespace vorlane
