#include "gallery/ImageListData.h"

#include <algorithm>
#include <cstring>

#include "image/BmpFile.h"
#include "gallery/ImageList.h"
#include "platform/ByteCursor.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

constexpr uint16_t Magic = 0x4C49; // "IL"
constexpr uint16_t Version = 0x0101;
constexpr int TilesAcross = 4;
// Bit 1: a mask bitmap follows. The low byte's other bits name the colour depth; 0x1000 is carried as
// every written list carries it.
constexpr uint16_t WrittenFlags = 0x10FF;
constexpr uint16_t FlagMask = 0x0001;
constexpr uint32_t NoColour = 0xFFFFFFFF;
// Written as every list of this program has it, whatever AllocBy a stream gave the list: readers keep
// their own growth step.
constexpr int16_t WrittenGrowthStep = 4;
constexpr int MaxCount = 32767; // count and capacity are signed 16-bit fields

[[noreturn]] void WriteFailed()
{
    throw EWriteError(msg::ImageListWriteError);
}

// Copies `bits` bits from `src` (starting at bit `srcBit`) to `dst` (at bit `dstBit`), most
// significant bit first as 1-bit rows store them.
void CopyBits(uint8_t* dst, size_t dstBit, const uint8_t* src, size_t srcBit, size_t bits)
{
    if (dstBit % 8 == 0 && srcBit % 8 == 0 && bits % 8 == 0) {
        std::memcpy(dst + dstBit / 8, src + srcBit / 8, bits / 8);
        return;
    }
    for (size_t i = 0; i < bits; ++i) {
        const size_t s = srcBit + i, d = dstBit + i;
        const uint8_t bit = uint8_t(0x80u >> (d & 7));
        if (src[s >> 3] & (0x80u >> (s & 7)))
            dst[d >> 3] |= bit;
        else
            dst[d >> 3] &= uint8_t(~bit);
    }
}

// A bitmap file inside image-list data. Plain files are used where they lie, whatever their height (a
// list of 10,000 images is one picture of 80,000 rows); other forms are decoded first.
struct Picture {
    BmpRowsView view;
    Bitmap decoded;          // holds the rows when the file had to be decoded
    bool inverted = false;   // masks: colour 0 is the light (transparent) one

    Picture() = default;
    // Moving keeps the view valid: `decoded`'s row buffer moves along with it.
    Picture(Picture&&) = default;
    Picture& operator=(Picture&&) = default;
    Picture(const Picture&) = delete;
};

Picture ReadPicture(std::span<const uint8_t> data, bool asMask)
{
    Picture p;
    if (!ViewBmpRows(data, p.view) || (asMask && p.view.bitsPerPixel != 1)) {
        size_t consumed = 0;
        p.decoded = ReadBmp(data, &consumed);
        if (asMask)
            p.decoded = NormalizedMask(p.decoded);
        p.view.width = p.decoded.Width();
        p.view.height = p.decoded.Height();
        p.view.bitsPerPixel = p.decoded.BitsPerPixel();
        p.view.palette = p.decoded.Palette();
        p.view.top = p.decoded.Row(0);
        p.view.step = ptrdiff_t(p.decoded.Stride());
        p.view.fileBytes = consumed;
    }
    if (asMask)
        p.inverted = MaskTableInverted(p.view.palette);
    return p;
}

uint32_t IndexAt(const uint8_t* row, int x, int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
        return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    default:
        return row[x];
    }
}

// The image in the tile at (left, top), at `out`'s depth: the picture's own (16, 24 or 32) or, for a
// colour-table picture, the list's.
void CutImage(const Picture& picture, int left, int top, Bitmap& out, std::vector<Rgb>& colours)
{
    const int depth = picture.view.bitsPerPixel;
    const int width = out.Width();
    for (int y = 0; y < out.Height(); ++y) {
        const uint8_t* src = picture.view.Row(top + y);
        uint8_t* dst = out.Row(y);
        if (depth == out.BitsPerPixel()) {
            std::memcpy(dst, src + size_t(left) * size_t(depth / 8), size_t(width) * size_t(depth / 8));
            // The fixed layouts keep bit 15 (16 bits) and the fourth byte (32 bits) zero.
            if (depth == 16)
                for (int x = 0; x < width; ++x)
                    dst[2 * x + 1] &= 0x7F;
            else if (depth == 32)
                for (int x = 0; x < width; ++x)
                    dst[4 * x + 3] = 0;
            continue;
        }
        const auto& palette = picture.view.palette;
        for (int x = 0; x < width; ++x) {
            const uint32_t index = IndexAt(src, left + x, depth);
            colours[size_t(x)] = index < palette.size()
                                     ? MakeRgb(palette[index].red, palette[index].green, palette[index].blue)
                                     : 0;
        }
        out.SetRowRgb(y, colours.data());
    }
}

// The mask in the tile at (left, top), 1 = transparent.
void CutMask(const Picture& picture, int left, int top, Bitmap& out)
{
    const int width = out.Width();
    const size_t used = (size_t(width) + 7) / 8;
    const uint8_t tail = width % 8 ? uint8_t(0xFF << (8 - width % 8)) : 0xFF;
    for (int y = 0; y < out.Height(); ++y) {
        uint8_t* dst = out.Row(y);
        CopyBits(dst, 0, picture.view.Row(top + y), size_t(left), size_t(width));
        if (!picture.inverted)
            continue;
        for (size_t i = 0; i < used; ++i)
            dst[i] = uint8_t(~dst[i]) & (i + 1 == used ? tail : 0xFF);
    }
}

// Cuts `count` tiles of width x height out of the pictures, `across` to a tile row, tile rows from the top.
void CutTiles(const Picture& picture, const Picture* mask, int across, int width, int height, int depth, int count,
              std::vector<Bitmap>& images, std::vector<Bitmap>& masks)
{
    std::vector<Rgb> colours(static_cast<size_t>(width));
    images.reserve(size_t(count));
    masks.reserve(size_t(count));
    for (int k = 0; k < count; ++k) {
        const int left = (k % across) * width;
        const int top = (k / across) * height;
        Bitmap image(width, height, depth);
        Bitmap bits(width, height, 1);
        bits.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
        CutImage(picture, left, top, image, colours);
        if (mask) {
            CutMask(*mask, left, top, bits);
            BlackenTransparent(image, bits);
        }
        images.push_back(std::move(image));
        masks.push_back(std::move(bits));
    }
}

// The number of whole tiles in a picture.
int64_t Tiles(const Picture& picture, int width, int height)
{
    return int64_t(picture.view.width / width) * (picture.view.height / height);
}

// The depth the rebuilt list holds: the data's own when the list can hold it, else the list's.
int HeldDepth(const Picture& picture, int listDepth)
{
    return picture.view.bitsPerPixel >= 16 ? picture.view.bitsPerPixel : listDepth;
}

// Whether the picture holds the tiles of the first `count` images, `across` to a tile row.
bool Covers(const Picture& picture, int across, int width, int height, int count)
{
    if (count == 0)
        return true;
    const int64_t rows = (int64_t(count) + across - 1) / across;
    return int64_t(picture.view.width) >= int64_t(std::min(count, across)) * width &&
           int64_t(picture.view.height) >= rows * height;
}

// Writes the rows of a picture of tiles, bottom row first, with `copy(row, column, k, y)` placing row y
// of image k's tile; tiles past the count stay zero.
template <typename CopyTileRow>
void WriteTileRows(ByteWriter& out, int count, int height, int pictureHeight, size_t stride, CopyTileRow&& copy)
{
    std::vector<uint8_t> row(stride);
    for (int y = pictureHeight - 1; y >= 0; --y) {
        const int tileRow = y / height, inTile = y % height;
        std::fill(row.begin(), row.end(), 0);
        for (int col = 0; col < TilesAcross; ++col) {
            const int k = tileRow * TilesAcross + col;
            if (k < count)
                copy(row.data(), col, k, inTile);
        }
        out.WriteBytes(row);
    }
}

} // namespace

std::vector<uint8_t> WriteImageListData(const TImageList& list)
{
    const int count = list.Count();
    // Any capacity not below the count fits the layout; one past the 16-bit field is written as its largest.
    const int capacity = std::max(count, std::min({std::max({list.Capacity(), list.AllocBy(), 1}), MaxCount}));
    const int width = list.Width(), height = list.Height(), depth = list.BitsPerPixel();
    const int tileRows = (capacity + TilesAcross - 1) / TilesAcross;
    if (count > MaxCount || capacity > MaxCount || int64_t(tileRows) * height > INT32_MAX)
        WriteFailed();
    const int pictureWidth = TilesAcross * width;
    const int pictureHeight = tileRows * height;
    const size_t imageStride = Bitmap::StrideFor(pictureWidth, depth);
    const size_t maskStride = Bitmap::StrideFor(pictureWidth, 1);
    if (imageStride == 0 || imageStride > Bitmap::MaxBytes / size_t(pictureHeight))
        WriteFailed();

    ByteWriter out;
    out.Reserve(ImageListHeaderSize + BmpFileSize(pictureWidth, pictureHeight, depth) +
                BmpFileSize(pictureWidth, pictureHeight, 1) + ImageListTailSize);
    out.WriteU16(Magic);
    out.WriteU16(Version);
    out.WriteI16(int16_t(count));
    out.WriteI16(int16_t(capacity));
    out.WriteI16(WrittenGrowthStep);
    out.WriteU16(uint16_t(width));
    out.WriteU16(uint16_t(height));
    out.WriteU32(NoColour); // background colour
    out.WriteU16(WrittenFlags);
    for (int i = 0; i < 4; ++i)
        out.WriteI16(-1); // overlay images: none

    // Rows bottom-up; tile row 0 is at the top of the picture. Tiles past the count stay zero.
    const size_t tileBits = size_t(width) * size_t(depth);
    WriteBmpHeaders(out, pictureWidth, pictureHeight, depth, {}, BmpSizeField::PixelOffset);
    WriteTileRows(out, count, height, pictureHeight, imageStride,
                  [&](uint8_t* row, int col, int k, int inTile) {
                      std::memcpy(row + size_t(col) * tileBits / 8, list.Image(k).Row(inTile), tileBits / 8);
                  });
    const RgbQuad maskPalette[2] = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    WriteBmpHeaders(out, pictureWidth, pictureHeight, 1, maskPalette, BmpSizeField::PixelOffset);
    WriteTileRows(out, count, height, pictureHeight, maskStride,
                  [&](uint8_t* row, int col, int k, int inTile) {
                      CopyBits(row, size_t(col) * size_t(width), list.Mask(k).Row(inTile), 0, size_t(width));
                  });
    out.WriteZeros(ImageListTailSize);
    return out.Take();
}

void ReadImageListData(std::span<const uint8_t> data, TImageList& list)
{
    list.Clear();
    const bool current = [&] {
        if (data.size() < 8)
            return true; // too short for either layout: reported as unreadable data
        ByteReader peek(data);
        const uint32_t first = peek.ReadU32(), second = peek.ReadU32();
        return first != second && data[0] == 'I' && data[1] == 'L';
    }();

    if (current) {
        try {
            ByteReader in(data);
            if (in.ReadU16() != Magic || in.ReadU16() != Version)
                throw EReadError(msg::ImageListReadError);
            const int count = in.ReadI16();
            const int capacity = in.ReadI16();
            in.ReadI16(); // growth step: the list keeps its own AllocBy
            const int width = in.ReadU16();
            const int height = in.ReadU16();
            in.Skip(4); // background colour: not taken, as the list is written without one
            const uint16_t flags = in.ReadU16();
            in.Skip(8); // overlay images
            if (count < 0 || capacity < 0 || width < 1 || height < 1 || width > TImageList::MaxImageSide ||
                height > TImageList::MaxImageSide)
                throw EReadError(msg::ImageListReadError);

            const auto files = data.subspan(in.Position());
            const Picture picture = ReadPicture(files, false);
            // Image k is the tile k mod 4 of tile row k div 4, whatever the picture's width; the tiles must
            // be there before anything is cut out. The picture has at least one full tile row, as every
            // writer makes it: otherwise an empty list's image size would rest on no data, and writing the
            // list back would make a tile row of that size out of nothing.
            const int covered = std::max(count, TilesAcross);
            if (!Covers(picture, TilesAcross, width, height, covered))
                throw EReadError(msg::ImageListReadError);
            const bool withMask = (flags & FlagMask) != 0;
            Picture mask;
            if (withMask) {
                mask = ReadPicture(files.subspan(picture.view.fileBytes), true);
                if (!Covers(mask, TilesAcross, width, height, covered))
                    throw EReadError(msg::ImageListReadError);
            }
            const int depth = HeldDepth(picture, list.BitsPerPixel());
            std::vector<Bitmap> images, masks;
            CutTiles(picture, withMask ? &mask : nullptr, TilesAcross, width, height, depth, count, images, masks);
            // The capacity is taken as far as the picture has room for it: a header claiming more would
            // make the next write far larger than the data read.
            const int64_t room = int64_t(TilesAcross) * (picture.view.height / height);
            list.Adopt(width, height, depth, int(std::min<int64_t>(capacity, room)), std::move(images), std::move(masks));
        } catch (const Exception&) {
            list.Clear();
            throw EReadError(msg::ImageListReadError);
        }
        return;
    }

    // The older layout: byte count of the image bitmap, image count, the image bitmap, the mask bitmap.
    // Tiles are cut at the list's current image size.
    try {
        ByteReader in(data);
        const uint32_t imageBytes = in.ReadU32();
        const int32_t count = in.ReadI32();
        if (imageBytes > in.Remaining())
            throw EInvalidGraphic(msg::InvalidGraphic);
        const Picture picture = ReadPicture(data.subspan(8, imageBytes), false);
        const Picture mask = ReadPicture(data.subspan(8 + size_t(imageBytes)), true);
        const int width = list.Width(), height = list.Height();
        const int across = picture.view.width / width;
        const int64_t wanted = std::clamp<int64_t>(count, 0, Tiles(picture, width, height));
        if (wanted > MaxCount) // more images than any list holds
            throw EInvalidGraphic(msg::InvalidGraphic);
        const int taken = int(wanted);
        if (!Covers(mask, across, width, height, taken))
            throw EInvalidGraphic(msg::InvalidGraphic);
        const int depth = HeldDepth(picture, list.BitsPerPixel());
        std::vector<Bitmap> images, masks;
        CutTiles(picture, &mask, across, width, height, depth, taken, images, masks);
        const int step = std::max(list.AllocBy(), 1);
        list.Adopt(width, height, depth, int((int64_t(taken) + step - 1) / step * step), std::move(images), std::move(masks));
    } catch (const EReadError&) {
        list.Clear();
        throw EInvalidGraphic(msg::InvalidGraphic);
    } catch (...) {
        list.Clear();
        throw;
    }
}

} // namespace vorlane
