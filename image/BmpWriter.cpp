#include "image/BmpFile.h"

#include <algorithm>

#include "platform/Exceptions.h"

namespace vorlane {
namespace {

constexpr uint32_t FileHeaderSize = 14;
constexpr uint32_t InfoHeaderSize = 40;

} // namespace

size_t BmpFileSize(int width, int height, int bitsPerPixel)
{
    const size_t palette = bitsPerPixel <= 8 ? (size_t(1) << bitsPerPixel) * 4 : 0;
    return FileHeaderSize + InfoHeaderSize + palette + Bitmap::StrideFor(width, bitsPerPixel) * size_t(height);
}

void WriteBmpHeaders(ByteWriter& out, int width, int height, int bitsPerPixel, std::span<const RgbQuad> palette,
                     BmpSizeField sizeField)
{
    const size_t stride = Bitmap::StrideFor(width, bitsPerPixel);
    // Taller than a Bitmap is allowed: image-list data writes all of a list's images as one picture.
    if (width <= 0 || height <= 0 || stride == 0 || stride > Bitmap::MaxBytes / size_t(height))
        throw EInvalidGraphic(msg::InvalidGraphic);
    const size_t full = bitsPerPixel <= 8 ? size_t(1) << bitsPerPixel : 0;
    // A bitmap without a table still needs one in the file; it is written full and black.
    const size_t entries = (palette.empty() || palette.size() > full) ? full : palette.size();
    const size_t imageSize = stride * size_t(height);
    const uint32_t offBits = uint32_t(FileHeaderSize + InfoHeaderSize + entries * 4);
    const uint32_t fileSize = uint32_t(offBits + imageSize);

    out.WriteU8('B');
    out.WriteU8('M');
    out.WriteU32(sizeField == BmpSizeField::FileSize ? fileSize : offBits); // bfSize
    out.WriteU16(0);                                                        // bfReserved1
    out.WriteU16(0);                                                        // bfReserved2
    out.WriteU32(offBits);                                                  // bfOffBits

    out.WriteU32(InfoHeaderSize);                          // biSize
    out.WriteI32(width);                                   // biWidth
    out.WriteI32(height);                                  // biHeight: positive, rows bottom-up
    out.WriteU16(1);                                       // biPlanes
    out.WriteU16(uint16_t(bitsPerPixel));                  // biBitCount
    out.WriteU32(0);                                       // biCompression: none
    out.WriteU32(uint32_t(imageSize));                     // biSizeImage
    out.WriteI32(0);                                       // biXPelsPerMeter
    out.WriteI32(0);                                       // biYPelsPerMeter
    out.WriteU32(entries == full ? 0 : uint32_t(entries)); // biClrUsed: 0 = the full table
    out.WriteU32(0);                                       // biClrImportant

    for (size_t i = 0; i < entries; ++i) {
        const RgbQuad q = i < palette.size() ? palette[i] : RgbQuad{};
        out.WriteU8(q.blue);
        out.WriteU8(q.green);
        out.WriteU8(q.red);
        out.WriteU8(0); // reserved
    }
}

void WriteBmp(ByteWriter& out, const Bitmap& bitmap, BmpSizeField sizeField)
{
    if (bitmap.Empty())
        throw EInvalidGraphic(msg::InvalidGraphic);
    WriteBmpHeaders(out, bitmap.Width(), bitmap.Height(), bitmap.BitsPerPixel(), bitmap.Palette(), sizeField);
    // Bitmap rows are already padded to 4 bytes, exactly as the file stores them.
    for (int y = bitmap.Height() - 1; y >= 0; --y)
        out.WriteBytes(std::span<const uint8_t>(bitmap.Row(y), bitmap.Stride()));
}

std::vector<uint8_t> WriteBmp(const Bitmap& bitmap)
{
    ByteWriter out;
    if (!bitmap.Empty())
        out.Reserve(BmpFileSize(bitmap.Width(), bitmap.Height(), bitmap.BitsPerPixel()));
    WriteBmp(out, bitmap);
    return out.Take();
}

} // namespace vorlane
