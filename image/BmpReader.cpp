#include "image/BmpFile.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <climits>
#include <cstring>
#include <optional>

#include "image/PictureFile.h"
#include "platform/ByteCursor.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

namespace vorlane {
namespace {

// biCompression values.
constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiRle8 = 1;
constexpr uint32_t BiRle4 = 2;
constexpr uint32_t BiBitFields = 3;
constexpr uint32_t BiAlphaBitFields = 6;

// A run-length picture may legitimately expand far beyond its data (long runs, skipped areas), but not
// without bound: at most this many pixels per compressed byte are accepted before allocating.
constexpr uint64_t MaxRlePixelsPerByte = 2048;

[[noreturn]] void Invalid()
{
    throw EInvalidGraphic(msg::InvalidGraphic);
}

// One colour channel of a bit-field layout.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(uint32_t m) : mask(m)
    {
        if (m == 0)
            return;
        shift = std::countr_zero(m);
        bits = std::popcount(m);
        if (!std::has_single_bit(uint64_t(m >> shift) + 1)) // the bits must be contiguous
            Invalid();
    }
    uint8_t Expand(uint32_t pixel) const
    {
        if (bits == 0)
            return 0;
        const uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return uint8_t(v >> (bits - 8));
        const uint32_t max = (1u << bits) - 1;
        return uint8_t((v * 255 + max / 2) / max);
    }
};

// The information-header forms, named by the size field that starts them.
enum class HeaderKind : uint32_t {
    Core = 12,   // BITMAPCOREHEADER: 16-bit sizes, 3-byte colour table entries
    Info = 40,   // BITMAPINFOHEADER: bit-field masks, if any, follow it
    InfoV2 = 52, // with the colour masks inside
    InfoV3 = 56, // with the alpha mask as well
    V4 = 108,
    V5 = 124,
};

std::optional<HeaderKind> KindOfHeader(uint32_t size)
{
    switch (size) {
    case 12:
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
        return HeaderKind(size);
    default:
        return std::nullopt;
    }
}

// The headers as stored, before any of it is checked.
struct Header {
    HeaderKind kind = HeaderKind::Info;
    uint32_t offBits = 0;
    size_t paletteStart = 0;
    int paletteEntrySize = 4;
    int32_t storedWidth = 0;
    int32_t storedHeight = 0; // negative: rows top-down
    int bitsPerPixel = 0;
    uint32_t compression = BiRgb;
    uint32_t sizeImage = 0;
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    // Filled in by CheckHeader.
    int width = 0;
    int height = 0;
    bool topDown = false;
};

// Reads the file header and the information header of whichever kind, with the bit-field masks of a
// 40-byte header; leaves `in` where the colour table would start.
Header ReadHeader(ByteReader& in)
{
    Header h;
    if (in.ReadU8() != 'B' || in.ReadU8() != 'M')
        Invalid();
    in.ReadU32(); // bfSize: not relied on (image-list data stores the pixel offset here)
    in.ReadU16(); // bfReserved1
    in.ReadU16(); // bfReserved2
    h.offBits = in.ReadU32();
    const size_t infoStart = in.Position();
    const uint32_t headerSize = in.ReadU32();
    const std::optional<HeaderKind> kind = KindOfHeader(headerSize);
    if (!kind)
        Invalid();
    h.kind = *kind;

    if (h.kind == HeaderKind::Core) {
        h.storedWidth = in.ReadU16();
        h.storedHeight = in.ReadU16();
        in.ReadU16(); // planes
        h.bitsPerPixel = in.ReadU16();
        h.paletteEntrySize = 3;
        h.paletteStart = infoStart + headerSize;
        return h;
    }
    h.storedWidth = in.ReadI32();
    h.storedHeight = in.ReadI32();
    in.ReadU16(); // planes
    h.bitsPerPixel = in.ReadU16();
    h.compression = in.ReadU32();
    h.sizeImage = in.ReadU32();
    in.ReadI32(); // horizontal resolution
    in.ReadI32(); // vertical resolution
    h.colorsUsed = in.ReadU32();
    in.ReadU32(); // important colours
    if (h.kind != HeaderKind::Info) {
        for (uint32_t& mask : h.masks)
            mask = in.ReadU32();
    }
    in.Seek(infoStart + headerSize);
    // A 40-byte header keeps its masks right after it (three, or four with alpha).
    if (h.kind == HeaderKind::Info && (h.compression == BiBitFields || h.compression == BiAlphaBitFields)) {
        for (uint32_t& mask : h.masks)
            mask = in.ReadU32();
        if (h.compression == BiAlphaBitFields)
            in.ReadU32();
    }
    h.paletteStart = in.Position();
    return h;
}

// Whether the header describes a picture this reader can take; fills in its size and row order.
void CheckHeader(Header& h)
{
    if (h.kind == HeaderKind::Core) {
        if (h.bitsPerPixel != 1 && h.bitsPerPixel != 4 && h.bitsPerPixel != 8 && h.bitsPerPixel != 24)
            Invalid();
        if (h.storedWidth == 0 || h.storedHeight == 0)
            Invalid();
        h.width = h.storedWidth;
        h.height = h.storedHeight;
        return;
    }
    if (h.storedWidth <= 0 || h.storedHeight == 0 || h.storedHeight == INT32_MIN)
        Invalid();
    h.width = h.storedWidth;
    h.topDown = h.storedHeight < 0;
    h.height = h.topDown ? -h.storedHeight : h.storedHeight;

    const uint32_t allMasks = h.masks[0] | h.masks[1] | h.masks[2];
    switch (h.compression) {
    case BiRgb:
        if (h.bitsPerPixel != 1 && h.bitsPerPixel != 4 && h.bitsPerPixel != 8 && h.bitsPerPixel != 16 &&
            h.bitsPerPixel != 24 && h.bitsPerPixel != 32)
            Invalid();
        break;
    case BiRle8:
    case BiRle4:
        if (h.bitsPerPixel != (h.compression == BiRle8 ? 8 : 4) || h.topDown)
            Invalid();
        break;
    case BiBitFields:
    case BiAlphaBitFields:
        if (h.bitsPerPixel != 16 && h.bitsPerPixel != 32)
            Invalid();
        if (allMasks == 0 || (h.bitsPerPixel == 16 && (allMasks >> 16) != 0))
            Invalid();
        break;
    default:
        Invalid();
    }
}

void ReadPalette(ByteReader& in, const Header& h, Bitmap& bitmap)
{
    if (h.bitsPerPixel > 8)
        return;
    const size_t full = size_t(1) << h.bitsPerPixel;
    size_t count = full;
    if (h.paletteEntrySize == 4 && h.colorsUsed != 0)
        count = std::min<size_t>(h.colorsUsed, full);
    // Core files whose pixels start before a full table hold only the entries that fit.
    if (h.paletteEntrySize == 3 && h.offBits > h.paletteStart)
        count = std::min<size_t>(count, (h.offBits - h.paletteStart) / 3);
    if (count == 0)
        return; // no table at all: the picture keeps a black one of full length
    in.Seek(h.paletteStart);
    auto bytes = in.ReadBytes(count * size_t(h.paletteEntrySize));
    auto& palette = bitmap.Palette();
    palette.assign(count, RgbQuad{});
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = bytes.data() + i * size_t(h.paletteEntrySize);
        palette[i] = RgbQuad{e[0], e[1], e[2], 0};
    }
}

// The picture row that the file's row `fileRow` (0 = first stored) fills.
int TargetRow(const Header& h, int fileRow)
{
    return h.topDown ? fileRow : h.height - 1 - fileRow;
}

void ReadUncompressed(std::span<const uint8_t> pixels, const Header& h, Bitmap& bitmap)
{
    const size_t stride = bitmap.Stride();
    for (int i = 0; i < h.height; ++i) {
        uint8_t* row = bitmap.Row(TargetRow(h, i));
        std::memcpy(row, pixels.data() + size_t(i) * stride, stride);
        // The fixed layouts keep the unused bits zero: bit 15 at 16 bits, the fourth byte at 32.
        if (h.bitsPerPixel == 16) {
            for (int x = 0; x < h.width; ++x)
                row[2 * x + 1] &= 0x7F;
        } else if (h.bitsPerPixel == 32) {
            for (int x = 0; x < h.width; ++x)
                row[4 * x + 3] = 0;
        }
    }
}

void ReadBitFields(std::span<const uint8_t> pixels, size_t fileStride, const Header& h, Bitmap& bitmap)
{
    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    const int outBytes = bitmap.BitsPerPixel() / 8;
    for (int i = 0; i < h.height; ++i) {
        const uint8_t* src = pixels.data() + size_t(i) * fileStride;
        uint8_t* out = bitmap.Row(TargetRow(h, i));
        for (int x = 0; x < h.width; ++x, out += outBytes) {
            uint32_t v;
            if (h.bitsPerPixel == 16) {
                v = uint32_t(src[0] | (src[1] << 8));
                src += 2;
            } else {
                v = uint32_t(src[0]) | (uint32_t(src[1]) << 8) | (uint32_t(src[2]) << 16) | (uint32_t(src[3]) << 24);
                src += 4;
            }
            out[0] = blue.Expand(v);
            out[1] = green.Expand(v);
            out[2] = red.Expand(v);
        }
    }
}

// Decodes RLE8 or RLE4 data; returns the bytes used (up to and including the end-of-bitmap mark).
size_t ReadRunLength(std::span<const uint8_t> src, const Header& h, Bitmap& bitmap)
{
    const bool rle8 = h.compression == BiRle8;
    int x = 0;
    int fileRow = 0;
    size_t p = 0;
    auto put = [&](int px, uint32_t value) {
        if (px < h.width && fileRow < h.height)
            bitmap.SetPixelValue(px, TargetRow(h, fileRow), value);
    };
    while (fileRow < h.height && src.size() - p >= 2) {
        const uint8_t first = src[p];
        const uint8_t second = src[p + 1];
        p += 2;
        if (first != 0) { // a run of `first` pixels
            for (int i = 0; i < first; ++i)
                put(x + i, rle8 ? second : ((i & 1) ? (second & 0x0F) : (second >> 4)));
            x = std::min(x + first, h.width);
        } else if (second == 0) { // end of line
            x = 0;
            ++fileRow;
        } else if (second == 1) { // end of bitmap
            return p;
        } else if (second == 2) { // move right and up
            if (src.size() - p < 2)
                Invalid();
            x = std::min(x + src[p], h.width);
            fileRow += src[p + 1];
            p += 2;
        } else { // `second` literal pixels, padded to a 16-bit boundary
            const size_t bytes = rle8 ? second : (size_t(second) + 1) / 2;
            const size_t padded = bytes + (bytes & 1);
            if (src.size() - p < padded)
                Invalid();
            for (int i = 0; i < second; ++i) {
                const uint8_t b = src[p + (rle8 ? size_t(i) : size_t(i) / 2)];
                put(x + i, rle8 ? b : ((i & 1) ? (b & 0x0F) : (b >> 4)));
            }
            x = std::min(x + second, h.width);
            p += padded;
        }
    }
    return p;
}

// What the header says about the pixel data, checked against the file's size.
struct Layout {
    Header h;
    bool bitFields = false;
    bool convert = false; // bit fields outside the fixed layouts
    bool runLength = false;
    int depth = 0; // of the picture read
    size_t fileStride = 0;
    uint64_t pixelBytes = 0; // from h.offBits on
};

// `in` reads the file from its start and holds at least the headers; `fileSize` is the whole file's.
Layout ReadLayout(ByteReader& in, uint64_t fileSize)
{
    Layout l;
    l.h = ReadHeader(in);
    CheckHeader(l.h);
    const Header& h = l.h;
    if (h.offBits < in.Position() || h.offBits > fileSize)
        Invalid();

    // Bit fields other than 5-5-5 at 16 bits are widened to 24 bits; any at 32 bits become B, G, R, 0.
    l.bitFields = h.compression == BiBitFields || h.compression == BiAlphaBitFields;
    const bool plain555 = h.bitsPerPixel == 16 && h.masks[0] == 0x7C00 && h.masks[1] == 0x03E0 && h.masks[2] == 0x001F;
    const bool plain888 = h.bitsPerPixel == 32 && h.masks[0] == 0xFF0000 && h.masks[1] == 0xFF00 && h.masks[2] == 0xFF;
    l.convert = l.bitFields && !plain555 && !plain888;
    l.depth = l.convert && h.bitsPerPixel == 16 ? 24 : h.bitsPerPixel;
    if (l.convert) // validate the masks before allocating
        (void)Channel(h.masks[0]), (void)Channel(h.masks[1]), (void)Channel(h.masks[2]);

    l.fileStride = Bitmap::StrideFor(h.width, h.bitsPerPixel);
    if (l.fileStride == 0)
        Invalid();
    const uint64_t available = fileSize - h.offBits;
    l.runLength = h.compression == BiRle8 || h.compression == BiRle4;
    if (l.runLength) {
        if (h.sizeImage > available)
            Invalid();
        l.pixelBytes = h.sizeImage != 0 ? h.sizeImage : available;
        if (uint64_t(h.width) * uint64_t(h.height) > (l.pixelBytes + 1) * MaxRlePixelsPerByte)
            Invalid();
    } else {
        if (l.fileStride > available / uint64_t(h.height))
            Invalid();
        l.pixelBytes = uint64_t(l.fileStride) * uint64_t(h.height);
    }
    return l;
}

Bitmap Parse(std::span<const uint8_t> data, size_t* consumed)
{
    ByteReader in(data);
    const Layout l = ReadLayout(in, data.size());
    const Header& h = l.h;
    const size_t outStride = Bitmap::StrideFor(h.width, l.depth);
    if (h.height > Bitmap::MaxSide || outStride > Bitmap::MaxBytes / size_t(h.height))
        Invalid();

    Bitmap bitmap(h.width, h.height, l.depth);
    ReadPalette(in, h, bitmap);
    const std::span<const uint8_t> pixels = data.subspan(h.offBits, size_t(l.pixelBytes));
    size_t used = pixels.size();
    if (l.runLength) {
        const size_t decoded = ReadRunLength(pixels, h, bitmap);
        if (h.sizeImage == 0)
            used = decoded;
    } else if (l.convert) {
        ReadBitFields(pixels, l.fileStride, h, bitmap);
    } else {
        ReadUncompressed(pixels, h, bitmap);
    }
    if (consumed)
        *consumed = h.offBits + used;
    return bitmap;
}

bool Locate(std::span<const uint8_t> head, uint64_t fileSize, BmpRowsPlace& place)
{
    ByteReader in(head);
    const Layout l = ReadLayout(in, fileSize);
    if (l.runLength || l.convert)
        return false;
    const Header& h = l.h;
    // What ReadBmp refuses when it makes the picture.
    if (h.width > Bitmap::MaxSide || h.height > Bitmap::MaxSide ||
        Bitmap::StrideFor(h.width, l.depth) > Bitmap::MaxBytes / size_t(h.height))
        Invalid();
    place.width = h.width;
    place.height = h.height;
    place.bitsPerPixel = h.bitsPerPixel;
    // The colour table goes through a one-row picture, which reads it as ReadBmp would.
    Bitmap tableHolder(1, 1, h.bitsPerPixel);
    ReadPalette(in, h, tableHolder);
    place.palette = std::move(tableHolder.Palette());
    place.firstRow = h.offBits;
    place.stride = l.fileStride;
    place.topDown = h.topDown;
    place.fileBytes = h.offBits + l.pixelBytes;
    return true;
}

bool View(std::span<const uint8_t> data, BmpRowsView& view)
{
    BmpRowsPlace place;
    if (!Locate(data, data.size(), place))
        return false;
    view.width = place.width;
    view.height = place.height;
    view.bitsPerPixel = place.bitsPerPixel;
    view.palette = std::move(place.palette);
    const ptrdiff_t stride = ptrdiff_t(place.stride);
    view.top = data.data() + place.RowOffset(0);
    view.step = place.topDown ? stride : -stride;
    view.fileBytes = size_t(place.fileBytes);
    return true;
}

} // namespace

bool ViewBmpRows(std::span<const uint8_t> data, BmpRowsView& view)
{
    try {
        return View(data, view);
    } catch (const EReadError&) { // the data ended inside the file
        Invalid();
    }
}

bool LocateBmpRows(std::span<const uint8_t> head, uint64_t fileSize, BmpRowsPlace& place)
{
    try {
        return Locate(head, fileSize, place);
    } catch (const EReadError&) { // the file ended inside its headers
        Invalid();
    }
}

Bitmap ReadBmp(std::span<const uint8_t> data, size_t* consumed)
{
    try {
        return Parse(data, consumed);
    } catch (const EReadError&) { // the data ended inside the file
        Invalid();
    }
}

Bitmap ReadBmpFile(const std::string& path)
{
    const auto file = OpenPictureFile(path);
    const std::optional<int64_t> size = files::RegularFileSize(file.get());
    if (!size)
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    // No valid bitmap is larger than its headers, a full colour table and MaxBytes of pixels; the rest
    // of a longer file is never looked at. A file that does not start as a bitmap is refused after its
    // first block, however large it is.
    const size_t limit = std::min<size_t>(size_t(*size), Bitmap::MaxBytes + 4096);
    constexpr size_t FirstBlock = 65536;
    std::vector<uint8_t> bytes(std::min(limit, FirstBlock));
    size_t filled = 0;
    while (filled < bytes.size()) {
        const size_t n = std::fread(bytes.data() + filled, 1, bytes.size() - filled, file.get());
        if (n == 0) {
            if (std::ferror(file.get()))
                throw EFOpenError(Format(msg::FOpenError, path.c_str()));
            break;
        }
        filled += n;
        if (filled == bytes.size() && bytes.size() < limit) {
            if (bytes[0] != 'B' || bytes[1] != 'M')
                Invalid();
            bytes.resize(limit);
        }
    }
    bytes.resize(filled);
    return ReadBmp(bytes);
}

} // namespace vorlane
