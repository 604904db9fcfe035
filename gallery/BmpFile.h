// Windows bitmap files: one reader (info and core headers, bottom-up and top-down, uncompressed,
// bit-field and run-length data) and one writer (uncompressed, bottom-up).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "gallery/Bitmap.h"
#include "platform/ByteCursor.h"

namespace vorlane {

// Reads a complete bitmap file ("BM" file header first) from memory. Invalid data -> EInvalidGraphic
// "ビットマップイメージが不正です". `consumed`, when given, receives the bytes the file occupies.
//
// Bit-field data is converted into Bitmap's fixed layouts: 16-bit 5-5-5 stays at 16 bits, any other
// 16-bit layout becomes 24 bits, any 32-bit layout becomes B, G, R, 0.
Bitmap ReadBmp(std::span<const uint8_t> data, size_t* consumed = nullptr);
// Reads a bitmap file from disk: EFOpenError "ファイル %s は開けません" when it cannot be opened or
// read (a folder, a file without read permission).
Bitmap ReadBmpFile(const std::string& path);

// What the file header's size field holds: the file size, as usual, or the pixel-data offset, which is
// what image-list data stores there.
enum class BmpSizeField { FileSize, PixelOffset };

// The complete file: file header, 40-byte information header, colour table (8 bits or fewer), rows
// bottom-up padded to 4 bytes. An empty bitmap has no file form: EInvalidGraphic.
std::vector<uint8_t> WriteBmp(const Bitmap& bitmap);
// The same, appended to `out`.
void WriteBmp(ByteWriter& out, const Bitmap& bitmap, BmpSizeField sizeField = BmpSizeField::FileSize);
// The headers and colour table of such a file, for writers that produce the rows themselves:
// `height` rows of Bitmap::StrideFor(width, bitsPerPixel) bytes follow, bottom row first. A table
// shorter than the depth's full one is written with its length in the colours-used field.
void WriteBmpHeaders(ByteWriter& out, int width, int height, int bitsPerPixel, std::span<const RgbQuad> palette,
                     BmpSizeField sizeField);
// The bytes WriteBmp produces for a picture of this size and depth with a full colour table.
size_t BmpFileSize(int width, int height, int bitsPerPixel);

} // namespace vorlane
