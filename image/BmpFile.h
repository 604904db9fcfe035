// Windows bitmap files: one reader (info and core headers, bottom-up and top-down, uncompressed,
// bit-field and run-length data) and one writer (uncompressed, bottom-up).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "platform/ByteCursor.h"

namespace vorlane {

// Reads a complete bitmap file ("BM" file header first) from memory. Invalid data -> EInvalidGraphic
// "ビットマップイメージが不正です". `consumed`, when given, receives the bytes the file occupies.
//
// Bit-field data is converted into Bitmap's fixed layouts: 16-bit 5-5-5 stays at 16 bits, any other
// 16-bit layout becomes 24 bits, any 32-bit layout becomes B, G, R, 0.
Bitmap ReadBmp(std::span<const uint8_t> data, size_t* consumed = nullptr);
// The rows of an uncompressed bitmap file where they lie in the data, for pictures taller than a Bitmap
// may be: image-list data keeps all of a list's images in one picture. Rows are as stored: at 16 bits
// bit 15 and at 32 bits the fourth byte may be set.
struct BmpRowsView {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::vector<RgbQuad> palette; // 8 bits per pixel or fewer
    const uint8_t* top = nullptr; // the top row
    ptrdiff_t step = 0;           // from a row to the one below it
    size_t fileBytes = 0;         // the bytes the file occupies

    const uint8_t* Row(int y) const { return top + ptrdiff_t(y) * step; }
};
// Views `data` when it is an uncompressed file (or bit fields in the fixed layouts) of any height the
// data holds, and returns true; returns false for a valid file in another form, which ReadBmp reads.
// Invalid data -> EInvalidGraphic.
bool ViewBmpRows(std::span<const uint8_t> data, BmpRowsView& view);

// Where the rows of an uncompressed bitmap file lie in the file, for reading them a few at a time
// instead of holding the file: taken from the file's first bytes `head` (BmpHeadBytes of them, or the
// whole file when it is shorter, hold every header and a full colour table) and checked against
// `fileSize`, the file's size. Returns false for a valid file in another form, which ReadBmp reads
// whole. Invalid data -> EInvalidGraphic.
struct BmpRowsPlace {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::vector<RgbQuad> palette; // 8 bits per pixel or fewer
    uint64_t firstRow = 0;        // where the first stored row starts
    size_t stride = 0;            // bytes from a stored row to the next
    bool topDown = false;         // rows stored top row first
    uint64_t fileBytes = 0;       // the bytes the file occupies

    // Where picture row y (0 = the top) starts.
    uint64_t RowOffset(int y) const { return firstRow + uint64_t(topDown ? y : height - 1 - y) * stride; }
};
inline constexpr size_t BmpHeadBytes = 2048;
bool LocateBmpRows(std::span<const uint8_t> head, uint64_t fileSize, BmpRowsPlace& place);

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
