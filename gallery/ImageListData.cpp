#include "gallery/ImageListData.h"

#include <algorithm>
#include <cstring>

#include "gallery/BmpFile.h"
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

// Cuts `count` tiles of width x height out of `picture` and `maskPicture` (either in the list's
// form), left to right, then top to bottom.
void CutTiles(const Bitmap& picture, const Bitmap* maskPicture, int width, int height, int count,
              std::vector<Bitmap>& images, std::vector<Bitmap>& masks)
{
    const int across = picture.Width() / width;
    const size_t rowBytes = size_t(width) * size_t(picture.BitsPerPixel() / 8);
    images.reserve(size_t(count));
    masks.reserve(size_t(count));
    for (int k = 0; k < count; ++k) {
        const int left = (k % across) * width;
        const int top = (k / across) * height;
        Bitmap image(width, height, picture.BitsPerPixel());
        Bitmap mask(width, height, 1);
        mask.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
        for (int y = 0; y < height; ++y) {
            std::memcpy(image.Row(y), picture.Row(top + y) + size_t(left) * size_t(picture.BitsPerPixel() / 8), rowBytes);
            if (maskPicture)
                CopyBits(mask.Row(y), 0, maskPicture->Row(top + y), size_t(left), size_t(width));
        }
        if (maskPicture)
            BlackenTransparent(image, mask);
        images.push_back(std::move(image));
        masks.push_back(std::move(mask));
    }
}

// The depth the rebuilt list holds: the data's own when the list can hold it, else the list's.
int HeldDepth(const Bitmap& picture, int listDepth)
{
    return picture.BitsPerPixel() >= 16 ? picture.BitsPerPixel() : listDepth;
}

// Whether the mask picture holds the tiles of the first `count` images.
bool MaskCovers(const Bitmap& mask, int across, int width, int height, int count)
{
    if (count == 0)
        return true;
    const int64_t rows = (int64_t(count) + across - 1) / across;
    return int64_t(mask.Width()) >= int64_t(std::min(count, across)) * width && int64_t(mask.Height()) >= rows * height;
}

} // namespace

std::vector<uint8_t> WriteImageListData(const TImageList& list)
{
    const int count = list.Count();
    // Any capacity not below the count fits the layout; one past the 16-bit field is written as its largest.
    const int capacity = std::max(count, std::min({std::max({list.Capacity(), list.AllocBy(), 1}), MaxCount}));
    const int width = list.Width(), height = list.Height(), depth = list.BitsPerPixel();
    const int tileRows = (capacity + TilesAcross - 1) / TilesAcross;
    if (count > MaxCount || capacity > MaxCount || int64_t(tileRows) * height > Bitmap::MaxSide)
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
    out.WriteI16(int16_t(list.AllocBy() > 0 && list.AllocBy() <= MaxCount ? list.AllocBy() : TImageList::DefaultAllocBy));
    out.WriteU16(uint16_t(width));
    out.WriteU16(uint16_t(height));
    const int32_t bk = list.BkColor();
    out.WriteU32(bk >= 0 && bk <= 0xFFFFFF ? uint32_t(bk) : NoColour); // background colour
    out.WriteU16(WrittenFlags);
    for (int i = 0; i < 4; ++i)
        out.WriteI16(-1); // overlay images: none

    // Rows bottom-up; tile row 0 is at the top of the picture. Tiles past the count stay zero.
    const size_t tileBytes = size_t(width) * size_t(depth / 8);
    std::vector<uint8_t> row(imageStride);
    WriteBmpHeaders(out, pictureWidth, pictureHeight, depth, {}, BmpSizeField::PixelOffset);
    for (int y = pictureHeight - 1; y >= 0; --y) {
        const int tileRow = y / height, inTile = y % height;
        std::fill(row.begin(), row.end(), 0);
        for (int col = 0; col < TilesAcross; ++col) {
            const int k = tileRow * TilesAcross + col;
            if (k < count)
                std::memcpy(row.data() + size_t(col) * tileBytes, list.Image(k).Row(inTile), tileBytes);
        }
        out.WriteBytes(row);
    }

    const RgbQuad maskPalette[2] = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    row.assign(maskStride, 0);
    WriteBmpHeaders(out, pictureWidth, pictureHeight, 1, maskPalette, BmpSizeField::PixelOffset);
    for (int y = pictureHeight - 1; y >= 0; --y) {
        const int tileRow = y / height, inTile = y % height;
        std::fill(row.begin(), row.end(), 0);
        for (int col = 0; col < TilesAcross; ++col) {
            const int k = tileRow * TilesAcross + col;
            if (k < count)
                CopyBits(row.data(), size_t(col) * size_t(width), list.Mask(k).Row(inTile), 0, size_t(width));
        }
        out.WriteBytes(row);
    }
    out.WriteZeros(ImageListTailSize);
    return out.Take();
}

void ReadImageListData(std::span<const uint8_t> data, TImageList& list)
{
    list.Clear();
    ByteReader peek(data);
    const bool current = [&] {
        if (data.size() < 8)
            return true; // too short for either layout: reported as unreadable data
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
            const uint32_t background = in.ReadU32();
            const uint16_t flags = in.ReadU16();
            in.Skip(8); // overlay images
            if (count < 0 || capacity < 0 || width < 1 || height < 1 || width > TImageList::MaxImageSide ||
                height > TImageList::MaxImageSide)
                throw EReadError(msg::ImageListReadError);

            auto rest = data.subspan(in.Position());
            size_t imageBytes = 0;
            Bitmap picture = ReadBmp(rest, &imageBytes);
            // Check that the tiles are there before cutting anything out.
            const int64_t tiles = int64_t(picture.Width() / width) * (picture.Height() / height);
            if (tiles < count)
                throw EReadError(msg::ImageListReadError);
            const int depth = HeldDepth(picture, list.BitsPerPixel());
            if (picture.BitsPerPixel() != depth)
                picture = picture.ConvertedTo(depth);
            Bitmap mask;
            const bool withMask = (flags & FlagMask) != 0;
            if (withMask) {
                mask = NormalizedMask(ReadBmp(rest.subspan(imageBytes)));
                if (!MaskCovers(mask, picture.Width() / width, width, height, count))
                    throw EReadError(msg::ImageListReadError);
            }
            std::vector<Bitmap> images, masks;
            CutTiles(picture, withMask ? &mask : nullptr, width, height, count, images, masks);
            list.Adopt(width, height, depth, capacity, std::move(images), std::move(masks));
            list.SetBkColor(background == NoColour ? clNone : int32_t(background & 0xFFFFFF));
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
        Bitmap picture = ReadBmp(data.subspan(8, imageBytes));
        Bitmap mask = NormalizedMask(ReadBmp(data.subspan(8 + size_t(imageBytes))));
        const int width = list.Width(), height = list.Height();
        const int across = picture.Width() / width;
        const int64_t tiles = int64_t(across) * (picture.Height() / height);
        const int taken = int(std::clamp<int64_t>(count, 0, tiles));
        if (!MaskCovers(mask, across, width, height, taken))
            throw EInvalidGraphic(msg::InvalidGraphic);
        const int depth = HeldDepth(picture, list.BitsPerPixel());
        if (picture.BitsPerPixel() != depth)
            picture = picture.ConvertedTo(depth);
        std::vector<Bitmap> images, masks;
        CutTiles(picture, &mask, width, height, taken, images, masks);
        const int step = std::max(list.AllocBy(), 1);
        list.Adopt(width, height, depth, (taken + step - 1) / step * step, std::move(images), std::move(masks));
    } catch (const EReadError&) {
        list.Clear();
        throw EInvalidGraphic(msg::InvalidGraphic);
    } catch (...) {
        list.Clear();
        throw;
    }
}

} // namespace vorlane
