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
    std::vector<RgbQuad> palette;   // 8 bits per pixel or fewer
    const uint8_t* top = nullptr;   // the top row
    ptrdiff_t step = 0;             // from a row to the one below it
    size_t fileBytes = 0;           // the bytes the file occupies

    const uint8_t* Row(int y) const { return top + ptrdiff_t(y) * step; }
};
// Views `data` when it is an uncompressed file (or bit fields in the fixed layouts) of any height the
// data holds, and returns true; returns false for a valid file in another form, which ReadBmp reads.
// Invalid data -> EInvalidGraphic.
bool ViewBmpRows(std::span<const uint8_t> data, BmpRowsView& view);

// Where the rows of an uncompressed bitmap file (or bit fields in the fixed layouts) lie in the file,
// from its first bytes `head` (its headers and colour table) and its size: a thumbnail then reads only
// the rows it takes. Returns false for a valid file in another form, which ReadBmp reads; a file ReadBmp
// refuses -> EInvalidGraphic, as there. Rows are as stored (see BmpRowsView).
struct BmpFileRows {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::vector<RgbQuad> palette; // 8 bits per pixel or fewer
    uint64_t topOffset = 0;       // where the top row starts
    int64_t step = 0;             // from a row to the one below it
    size_t stride = 0;
};
bool LocateBmpRows(std::span<const uint8_t> head, uint64_t fileBytes, BmpFileRows& rows);

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
