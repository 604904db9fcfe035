// Image-list data: the value of an image list's "Bitmap" record. A 28-byte header ("IL", version
// 0x0101, count, capacity, growth step, image size, background colour, flags, overlays), the images
// tiled four across in one bitmap file, the masks tiled alike in a 1-bit bitmap file, and 22 zero bytes.
// In both files the size field holds the pixel-data offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vorlane {

class TImageList;

inline constexpr size_t ImageListHeaderSize = 28;
inline constexpr size_t ImageListTailSize = 22;

// All images of `list` in index order, with their masks, at the list's depth. Data the layout cannot
// hold (more than 32767 images, a picture too large) gives EWriteError
// "ストリームへの ImageList データの書き込みに失敗しました".
std::vector<uint8_t> WriteImageListData(const TImageList& list);

// Empties `list` and rebuilds it from `data`. Data in the current layout that cannot be read gives
// EReadError "ストリームからの ImageList データの読み込みに失敗しました" and leaves the list empty; data
// in the older layout (byte count, image count, two bitmap files) whose bitmaps cannot be read gives
// EInvalidGraphic "ビットマップイメージが不正です".
void ReadImageListData(std::span<const uint8_t> data, TImageList& list);

} // namespace vorlane
