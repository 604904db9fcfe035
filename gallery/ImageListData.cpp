#include "gallery/ImageListData.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include "image/BmpFile.h"
#include "platform/ByteCursor.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

constexpr uint16_t Magic = 0x4C49; // "IL"
constexpr uint16_t Version = 0x0101;
constexpr int TilesAcross = ImageListImages::TilesAcross;
// Bit 1: a mask bitmap follows. The low byte's other bits name the colour depth; 0x1000 is carried as
// every written list carries it.
constexpr uint16_t WrittenFlags = 0x10FF;
constexpr uint16_t FlagMask = 0x0001;
constexpr uint32_t NoColour = 0xFFFFFFFF;
// Written as every list of this program has it, whatever AllocBy a stream gave the list: readers keep
// their own growth step.
constexpr int16_t WrittenGrowthStep = 4;
constexpr int MaxCount = 32767; // count and capacity are signed 16-bit fields
// File header and 40-byte information header of a bitmap file.
constexpr size_t BmpHeadersSize = 54;
// Data passes in pieces of about this size: large enough that a piece costs little, small enough to
// stay in the cache.
constexpr size_t PieceSize = 256 * 1024;

const RgbQuad MaskPalette[2] = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};

[[noreturn]] void WriteFailed()
{
    throw EWriteError(msg::ImageListWriteError);
}

[[noreturn]] void ReadFailed()
{
    throw EReadError(msg::ImageListReadError);
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

// ---- Picture rows into images ----

// How a picture of tiles is cut: `across` tiles to a tile row, tile rows from the top, `count` images.
struct Tiles {
    int across;
    int count;

    // The picture rows (from the top) that hold the images.
    int64_t Rows(int height) const { return (int64_t(count) + across - 1) / across * height; }
};

// Row y of a tile at the images' depth, taken from a picture of that depth. The fixed layouts keep bit 15
// (16 bits) and the fourth byte (32 bits) zero.
void PlaceTileRow(uint8_t* dst, const uint8_t* src, size_t bytes, int depth)
{
    std::memcpy(dst, src, bytes);
    if (depth == 16)
        for (size_t i = 1; i < bytes; i += 2)
            dst[i] &= 0x7F;
    else if (depth == 32)
        for (size_t i = 3; i < bytes; i += 4)
            dst[i] = 0;
}

// The same over the whole picture of the images, read in place.
void KeepFixedLayout(ImageListImages& images)
{
    uint8_t* bytes = images.pixels.Data();
    const size_t size = images.PictureBytes();
    if (images.bitsPerPixel == 16)
        for (size_t i = 1; i < size; i += 2)
            bytes[i] &= 0x7F;
    else if (images.bitsPerPixel == 32)
        for (size_t i = 3; i < size; i += 4)
            bytes[i] = 0;
}

// Picture row r (from the top) of a direct-colour picture at the images' depth: its part of every tile.
void PlaceImageRow(ImageListImages& out, const Tiles& tiles, int r, const uint8_t* src)
{
    const int tileRow = r / out.height, y = r % out.height;
    const int first = tileRow * tiles.across;
    const int columns = std::min(tiles.across, tiles.count - first);
    const size_t bytes = out.TileBytes();
    for (int col = 0; col < columns; ++col)
        PlaceTileRow(out.ImageRow(first + col, y), src + size_t(col) * bytes, bytes, out.bitsPerPixel);
}

// The same for a colour-table picture: each tile's part goes through the table to the images' depth.
void PlaceTableRow(ImageListImages& out, const Tiles& tiles, int r, const uint8_t* src, int depth,
                   const std::vector<RgbQuad>& palette)
{
    const int tileRow = r / out.height, y = r % out.height;
    std::vector<Rgb> colours(static_cast<size_t>(out.width));
    Bitmap converted(out.width, 1, out.bitsPerPixel);
    for (int col = 0; col < tiles.across; ++col) {
        const int k = tileRow * tiles.across + col;
        if (k >= tiles.count)
            return;
        for (int x = 0; x < out.width; ++x) {
            const uint32_t index = IndexAt(src, col * out.width + x, depth);
            colours[size_t(x)] =
                index < palette.size() ? MakeRgb(palette[index].red, palette[index].green, palette[index].blue) : 0;
        }
        converted.SetRowRgb(0, colours.data());
        std::memcpy(out.ImageRow(k, y), converted.Row(0), out.TileBytes());
    }
}

// Picture row r of a 1-bit mask picture; `inverted`: colour 0 is the light (transparent) one.
void PlaceMaskRow(ImageListImages& out, const Tiles& tiles, int r, const uint8_t* src, bool inverted)
{
    const int tileRow = r / out.height, y = r % out.height;
    const int width = out.width;
    const size_t used = (size_t(width) + 7) / 8;
    const uint8_t tail = width % 8 ? uint8_t(0xFF << (8 - width % 8)) : 0xFF;
    const int first = tileRow * tiles.across;
    const int columns = std::min(tiles.across, tiles.count - first);
    std::vector<uint8_t> bits(used);
    for (int col = 0; col < columns; ++col) {
        const int k = first + col;
        std::fill(bits.begin(), bits.end(), 0);
        CopyBits(bits.data(), 0, src, size_t(col) * size_t(width), size_t(width));
        for (size_t i = 0; i < used; ++i) {
            if (inverted)
                bits[i] = uint8_t(~bits[i]);
            if (i + 1 == used)
                bits[i] &= tail;
        }
        out.SetMaskRow(k, y, bits.data());
    }
}

// ---- Whole pictures, for the forms that are not read row by row ----

// A bitmap file inside image-list data. Plain files are used where they lie, whatever their height (a
// list of 10,000 images is one picture of 80,000 rows); other forms are decoded first.
struct Picture {
    BmpRowsView view;
    Bitmap decoded;        // holds the rows when the file had to be decoded
    bool inverted = false; // masks: colour 0 is the light (transparent) one

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

// Whether a picture of this size holds the tiles of the first `count` images, `across` to a tile row.
bool Covers(int pictureWidth, int pictureHeight, int across, int width, int height, int count)
{
    if (count == 0)
        return true;
    const int64_t rows = (int64_t(count) + across - 1) / across;
    return int64_t(pictureWidth) >= int64_t(std::min(count, across)) * width && int64_t(pictureHeight) >= rows * height;
}

bool Covers(const Picture& picture, int across, int width, int height, int count)
{
    return Covers(picture.view.width, picture.view.height, across, width, height, count);
}

// The depth the rebuilt list holds: the data's own when the list can hold it, else the list's.
int HeldDepth(int pictureDepth, int listDepth)
{
    return pictureDepth >= 16 ? pictureDepth : listDepth;
}

void PlacePicture(const Picture& picture, bool asMask, ImageListImages& out, const Tiles& tiles)
{
    const int64_t rows = tiles.Rows(out.height);
    for (int r = 0; r < rows; ++r) {
        const uint8_t* src = picture.view.Row(r);
        if (asMask)
            PlaceMaskRow(out, tiles, r, src, picture.inverted);
        else if (picture.view.bitsPerPixel == out.bitsPerPixel)
            PlaceImageRow(out, tiles, r, src);
        else
            PlaceTableRow(out, tiles, r, src, picture.view.bitsPerPixel, picture.view.palette);
    }
}

// ---- The current layout ----

// The headers of a bitmap file in the form every writer of image-list data makes (40-byte information
// header, no compression, direct colour for the images, 1 bit for the masks), which is taken row by row
// as the data comes. Any other form, valid or not, is read whole by the bitmap reader.
struct PlainBmp {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    uint32_t pixelOffset = 0;
    size_t paletteEntries = 0;
    size_t stride = 0;
};

std::optional<PlainBmp> Plain(std::span<const uint8_t> head, size_t fileBytesLeft, bool asMask)
{
    ByteReader in(head);
    PlainBmp bmp;
    const bool signature = in.ReadU8() == 'B' && in.ReadU8() == 'M';
    in.Skip(8); // size field (image-list data stores the pixel offset here), reserved fields
    bmp.pixelOffset = in.ReadU32();
    const uint32_t infoSize = in.ReadU32();
    const int32_t width = in.ReadI32();
    const int32_t height = in.ReadI32();
    in.Skip(2); // planes
    bmp.bitsPerPixel = in.ReadU16();
    const uint32_t compression = in.ReadU32();
    in.Skip(12); // image size, resolutions
    const uint32_t coloursUsed = in.ReadU32();
    const bool depthFits =
        asMask ? bmp.bitsPerPixel == 1 : (bmp.bitsPerPixel == 16 || bmp.bitsPerPixel == 24 || bmp.bitsPerPixel == 32);
    if (!signature || infoSize != 40 || compression != 0 || !depthFits || width <= 0 || height == 0 ||
        height == INT32_MIN)
        return std::nullopt;
    bmp.width = width;
    bmp.topDown = height < 0;
    bmp.height = height < 0 ? -height : height;
    bmp.paletteEntries = asMask ? (coloursUsed != 0 ? std::min<size_t>(coloursUsed, 2) : 2) : 0;
    bmp.stride = Bitmap::StrideFor(width, bmp.bitsPerPixel);
    if (bmp.stride == 0 || bmp.pixelOffset < BmpHeadersSize + 4 * bmp.paletteEntries ||
        bmp.pixelOffset > fileBytesLeft || bmp.stride > (fileBytesLeft - bmp.pixelOffset) / size_t(bmp.height))
        return std::nullopt;
    return bmp;
}

// Reads the bitmap files of the current layout one after the other, each as soon as its headers are
// known: a plain file row by row straight into the images, any other the rest of the data at once.
class TileFileReader {
public:
    explicit TileFileReader(ImageListDataSource& data) : source_(&data) {}

    // The next file, holding the images (or the masks) as `tiles` in tile rows of `covered` images at
    // least. For the images, sizes `out` at the depth it holds them (a colour-table picture takes
    // `listDepth`). Returns the picture's height.
    int Read(bool asMask, ImageListImages& out, const Tiles& tiles, int covered, int listDepth);

private:
    ImageListDataSource* source_;
    std::vector<uint8_t> whole_; // the rest of the data, once a file had to be read whole
    std::optional<ImageListDataSource> afterWhole_;
    PixelBytes scratch_;
};

int TileFileReader::Read(bool asMask, ImageListImages& out, const Tiles& tiles, int covered, int listDepth)
{
    const size_t fileBytesLeft = source_->Remaining();
    const std::span<const uint8_t> head = source_->Next(BmpHeadersSize, scratch_);
    const std::optional<PlainBmp> plain = Plain(head, fileBytesLeft, asMask);
    if (!plain) {
        std::vector<uint8_t> whole(head.begin(), head.end());
        const std::span<const uint8_t> rest = source_->Next(source_->Remaining(), scratch_);
        whole.insert(whole.end(), rest.begin(), rest.end());
        const Picture picture = ReadPicture(whole, asMask);
        if (!Covers(picture, tiles.across, out.width, out.height, covered))
            ReadFailed();
        if (!asMask) {
            out.bitsPerPixel = HeldDepth(picture.view.bitsPerPixel, listDepth);
            out.Resize(tiles.count);
        }
        PlacePicture(picture, asMask, out, tiles);
        // Whatever follows this file is read from the copy (moving it keeps its bytes where they are).
        whole_ = std::move(whole);
        afterWhole_.emplace(std::span<const uint8_t>(whole_).subspan(picture.view.fileBytes));
        source_ = &*afterWhole_;
        return picture.view.height;
    }

    const PlainBmp& bmp = *plain;
    if (!Covers(bmp.width, bmp.height, tiles.across, out.width, out.height, covered))
        ReadFailed();
    bool inverted = false;
    if (asMask) {
        const std::span<const uint8_t> table = source_->Next(4 * bmp.paletteEntries, scratch_);
        std::vector<RgbQuad> palette;
        for (size_t i = 0; i < bmp.paletteEntries; ++i)
            palette.push_back(RgbQuad{table[4 * i], table[4 * i + 1], table[4 * i + 2], 0});
        inverted = MaskTableInverted(palette);
    } else {
        out.bitsPerPixel = bmp.bitsPerPixel;
        out.Resize(tiles.count);
    }
    source_->Skip(bmp.pixelOffset - BmpHeadersSize - 4 * bmp.paletteEntries);

    // Rows come bottom row first unless the file is top-down; the rows below the last image's tile row
    // hold nothing and are passed over.
    const int needed = int(std::min<int64_t>(tiles.Rows(out.height), bmp.height));
    const int before = bmp.topDown ? 0 : bmp.height - needed;
    source_->Skip(size_t(before) * bmp.stride);
    const bool inPlace = !bmp.topDown && size_t(needed) == out.PictureRows() &&
                         (asMask ? !inverted && out.width % 8 == 0 && bmp.stride == out.MaskStride()
                                 : bmp.stride == out.PictureStride());
    if (inPlace) {
        // The list's own layout: the rows go straight into place.
        if (asMask) {
            source_->Read(out.masks.Data(), out.MaskPictureBytes());
            out.ClearUnusedTiles();
        } else {
            source_->Read(out.pixels.Data(), out.PictureBytes());
            KeepFixedLayout(out);
            out.ClearUnusedTiles();
        }
    } else {
        const int rowsPerPiece = int(std::max<size_t>(1, PieceSize / bmp.stride));
        for (int done = 0; done < needed;) {
            const int n = std::min(rowsPerPiece, needed - done);
            const std::span<const uint8_t> rows = source_->Next(size_t(n) * bmp.stride, scratch_);
            for (int i = 0; i < n; ++i) {
                const int fileRow = before + done + i;
                const int r = bmp.topDown ? fileRow : bmp.height - 1 - fileRow;
                const uint8_t* src = rows.data() + size_t(i) * bmp.stride;
                if (asMask)
                    PlaceMaskRow(out, tiles, r, src, inverted);
                else
                    PlaceImageRow(out, tiles, r, src);
            }
            done += n;
        }
    }
    source_->Skip(size_t(bmp.height - before - needed) * bmp.stride);
    return bmp.height;
}

ImageListImages ReadCurrentLayout(ImageListDataSource& data, std::span<const uint8_t> start,
                                  const ImageListImages& current)
{
    PixelBytes scratch;
    std::vector<uint8_t> headerBytes(start.begin(), start.end());
    const std::span<const uint8_t> more = data.Next(ImageListHeaderSize - start.size(), scratch);
    headerBytes.insert(headerBytes.end(), more.begin(), more.end());
    ByteReader in(headerBytes);
    if (in.ReadU16() != Magic || in.ReadU16() != Version)
        ReadFailed();
    const int count = in.ReadI16();
    const int capacity = in.ReadI16();
    in.ReadI16(); // growth step: the list keeps its own AllocBy
    const int width = in.ReadU16();
    const int height = in.ReadU16();
    in.Skip(4); // background colour: not taken, as the list is written without one
    const uint16_t flags = in.ReadU16();
    in.Skip(8); // overlay images
    const int maxSide = Bitmap::MaxSide / TilesAcross;
    if (count < 0 || capacity < 0 || width < 1 || height < 1 || width > maxSide || height > maxSide)
        ReadFailed();

    ImageListImages images;
    images.width = width;
    images.height = height;
    images.allocBy = current.allocBy;
    // Image k is the tile k mod 4 of tile row k div 4, whatever the picture's width; the tiles must be
    // there before anything is cut out. The picture has at least one full tile row, as every writer makes
    // it: otherwise an empty list's image size would rest on no data, and writing the list back would
    // make a tile row of that size out of nothing.
    const Tiles tiles{TilesAcross, count};
    const int covered = std::max(count, TilesAcross);
    TileFileReader files(data);
    const int pictureHeight = files.Read(false, images, tiles, covered, current.bitsPerPixel);
    if (flags & FlagMask) { // otherwise the images are opaque, as they were sized
        files.Read(true, images, tiles, covered, current.bitsPerPixel);
        images.colourUnderMasks = true;
    }
    // The capacity is taken as far as the picture has room for it: a header claiming more would make the
    // next write far larger than the data read.
    const int64_t room = int64_t(TilesAcross) * (pictureHeight / height);
    images.capacity = std::max(int(std::min<int64_t>(capacity, room)), count);
    return images;
}

// ---- The older layout ----

// Byte count of the image bitmap, image count, the image bitmap, the mask bitmap. Tiles are cut at the
// list's current image size, as many across as the picture holds.
ImageListImages ReadOlderLayout(std::span<const uint8_t> data, const ImageListImages& current)
{
    ByteReader in(data);
    const uint32_t imageBytes = in.ReadU32();
    const int32_t count = in.ReadI32();
    if (imageBytes > in.Remaining())
        throw EInvalidGraphic(msg::InvalidGraphic);
    const Picture picture = ReadPicture(data.subspan(8, imageBytes), false);
    const Picture mask = ReadPicture(data.subspan(8 + size_t(imageBytes)), true);
    const int width = current.width, height = current.height;
    const int across = picture.view.width / width;
    const int64_t tilesHeld = int64_t(across) * (picture.view.height / height);
    const int64_t wanted = std::clamp<int64_t>(count, 0, tilesHeld);
    if (wanted > MaxCount) // more images than any list holds
        throw EInvalidGraphic(msg::InvalidGraphic);
    const Tiles tiles{std::max(across, 1), int(wanted)};
    if (!Covers(mask, tiles.across, width, height, tiles.count))
        throw EInvalidGraphic(msg::InvalidGraphic);

    ImageListImages images;
    images.width = width;
    images.height = height;
    images.allocBy = current.allocBy;
    images.bitsPerPixel = HeldDepth(picture.view.bitsPerPixel, current.bitsPerPixel);
    images.Resize(tiles.count);
    PlacePicture(picture, false, images, tiles);
    PlacePicture(mask, true, images, tiles);
    images.colourUnderMasks = true;
    const int step = std::max(current.allocBy, 1);
    images.capacity = int((int64_t(tiles.count) + step - 1) / step * step);
    return images;
}

// ---- Writing ----

struct WrittenLayout {
    int count;
    int capacity;
    int pictureWidth;
    int pictureHeight;
    size_t imageStride;
    size_t maskStride;
};

WrittenLayout LayoutOf(const ImageListImages& images)
{
    WrittenLayout l;
    l.count = images.Count();
    // Any capacity not below the count fits the layout; one past the 16-bit field is written as its largest.
    l.capacity = std::max(l.count, std::min({std::max({images.capacity, images.allocBy, 1}), MaxCount}));
    const int tileRows = (l.capacity + TilesAcross - 1) / TilesAcross;
    if (l.count > MaxCount || l.capacity > MaxCount || int64_t(tileRows) * images.height > INT32_MAX)
        WriteFailed();
    l.pictureWidth = TilesAcross * images.width;
    l.pictureHeight = tileRows * images.height;
    l.imageStride = Bitmap::StrideFor(l.pictureWidth, images.bitsPerPixel);
    l.maskStride = Bitmap::StrideFor(l.pictureWidth, 1);
    if (l.imageStride == 0 || l.imageStride > Bitmap::MaxBytes / size_t(l.pictureHeight))
        WriteFailed();
    return l;
}

// Collects the output and hands it on a piece at a time, in one buffer used over again.
class Pieces {
public:
    explicit Pieces(const std::function<void(std::span<const uint8_t>)>& put) : put_(put)
    {
        bytes_.reserve(PieceSize + 4096);
    }
    void Add(const ByteWriter& fields) { bytes_.insert(bytes_.end(), fields.Bytes().begin(), fields.Bytes().end()); }
    // `count` zero bytes at the end, to be filled in.
    uint8_t* AddZeros(size_t count)
    {
        if (bytes_.size() + count > PieceSize)
            PassOn();
        bytes_.resize(bytes_.size() + count);
        return bytes_.data() + bytes_.size() - count;
    }
    // Bytes handed on where they are, after what was collected before them.
    void AddAsItIs(std::span<const uint8_t> bytes)
    {
        PassOn();
        if (!bytes.empty())
            put_(bytes);
    }
    void PassOn()
    {
        if (!bytes_.empty())
            put_(bytes_);
        bytes_.clear();
    }

private:
    const std::function<void(std::span<const uint8_t>)>& put_;
    std::vector<uint8_t> bytes_;
};

} // namespace

ImageListDataSource::ImageListDataSource(size_t size, std::function<void(uint8_t*, size_t)> read)
    : read_(std::move(read)),
      remaining_(size)
{
}

ImageListDataSource::ImageListDataSource(std::span<const uint8_t> data) : memory_(data), remaining_(data.size())
{
}

std::span<const uint8_t> ImageListDataSource::Next(size_t count, PixelBytes& scratch)
{
    if (count > remaining_)
        throw EReadError(msg::ReadError);
    remaining_ -= count;
    if (!read_) {
        const std::span<const uint8_t> bytes = memory_.first(count);
        memory_ = memory_.subspan(count);
        return bytes;
    }
    scratch.resize(count);
    read_(scratch.data(), count);
    return {scratch.data(), count};
}

void ImageListDataSource::Read(uint8_t* out, size_t count)
{
    if (count > remaining_)
        throw EReadError(msg::ReadError);
    if (count == 0)
        return;
    if (!read_) {
        std::memcpy(out, memory_.data(), count);
        memory_ = memory_.subspan(count);
        remaining_ -= count;
        return;
    }
    remaining_ -= count;
    read_(out, count);
}

void ImageListDataSource::Skip(size_t count)
{
    PixelBytes scratch;
    while (count > 0) {
        const size_t n = std::min(count, PieceSize);
        Next(n, scratch);
        count -= n;
    }
}

size_t ImageListDataSize(const ImageListImages& images)
{
    const WrittenLayout l = LayoutOf(images);
    return ImageListHeaderSize + BmpFileSize(l.pictureWidth, l.pictureHeight, images.bitsPerPixel) +
           BmpFileSize(l.pictureWidth, l.pictureHeight, 1) + ImageListTailSize;
}

void WriteImageListData(const ImageListImages& images, const std::function<void(std::span<const uint8_t>)>& put)
{
    const WrittenLayout l = LayoutOf(images);
    const int width = images.width, height = images.height, depth = images.bitsPerPixel;
    Pieces pieces(put);
    ByteWriter out;
    out.WriteU16(Magic);
    out.WriteU16(Version);
    out.WriteI16(int16_t(l.count));
    out.WriteI16(int16_t(l.capacity));
    out.WriteI16(WrittenGrowthStep);
    out.WriteU16(uint16_t(width));
    out.WriteU16(uint16_t(height));
    out.WriteU32(NoColour); // background colour
    out.WriteU16(WrittenFlags);
    for (int i = 0; i < 4; ++i)
        out.WriteI16(-1); // overlay images: none

    // Rows bottom-up; tile row 0 is at the top of the picture. The tile rows past the images' come
    // first and are zero; then the images' picture, held as it is written.
    WriteBmpHeaders(out, l.pictureWidth, l.pictureHeight, depth, {}, BmpSizeField::PixelOffset);
    pieces.Add(out);
    for (size_t y = images.PictureRows(); y < size_t(l.pictureHeight); ++y)
        pieces.AddZeros(l.imageStride);
    // The images' rows go as they are held, except those with transparent pixels not yet black.
    const int pictureWidth = TilesAcross * width;
    const uint8_t* pixels = images.pixels.Data();
    const uint8_t* masks = images.masks.Data();
    const size_t rows = images.PictureRows(), stride = images.PictureStride(), maskStride = images.MaskStride();
    const auto asHeld = [&](size_t row) {
        return !images.colourUnderMasks ||
               TransparentPixelsBlack(pixels + row * stride, masks + row * maskStride, pictureWidth, depth / 8);
    };
    for (size_t run = 0; run < rows;) {
        size_t end = run;
        while (end < rows && asHeld(end))
            ++end;
        pieces.AddAsItIs({pixels + run * stride, (end - run) * stride});
        if (end < rows) {
            uint8_t* row = pieces.AddZeros(stride);
            std::memcpy(row, pixels + end * stride, stride);
            BlackenTransparentRow(row, masks + end * maskStride, pictureWidth, depth / 8);
            ++end;
        }
        run = end;
    }
    ByteWriter maskHeaders;
    WriteBmpHeaders(maskHeaders, l.pictureWidth, l.pictureHeight, 1, MaskPalette, BmpSizeField::PixelOffset);
    pieces.Add(maskHeaders);
    for (size_t y = images.PictureRows(); y < size_t(l.pictureHeight); ++y)
        pieces.AddZeros(l.maskStride);
    pieces.AddAsItIs({images.masks.Data(), images.MaskPictureBytes()});
    pieces.AddZeros(ImageListTailSize);
    pieces.PassOn();
}

std::vector<uint8_t> WriteImageListData(const ImageListImages& images)
{
    std::vector<uint8_t> data;
    data.reserve(ImageListDataSize(images));
    WriteImageListData(images,
                       [&](std::span<const uint8_t> piece) { data.insert(data.end(), piece.begin(), piece.end()); });
    return data;
}

ImageListImages ReadImageListData(ImageListDataSource& data, const ImageListImages& current)
{
    // The first 8 bytes tell the layouts apart: two different 32-bit words starting with "IL" are the
    // current layout's header, anything else the older layout's byte count and image count. Data too
    // short for either is reported as unreadable data of the current layout.
    PixelBytes scratch;
    std::vector<uint8_t> start;
    bool currentLayout = true;
    if (data.Remaining() >= 8) {
        const std::span<const uint8_t> first = data.Next(8, scratch);
        start.assign(first.begin(), first.end());
        ByteReader peek(start);
        const uint32_t a = peek.ReadU32(), b = peek.ReadU32();
        currentLayout = a != b && start[0] == 'I' && start[1] == 'L';
    }
    if (currentLayout) {
        try {
            return ReadCurrentLayout(data, start, current);
        } catch (const Exception&) {
            ReadFailed();
        }
    }
    const std::span<const uint8_t> rest = data.Next(data.Remaining(), scratch);
    start.insert(start.end(), rest.begin(), rest.end());
    try {
        return ReadOlderLayout(start, current);
    } catch (const EReadError&) {
        throw EInvalidGraphic(msg::InvalidGraphic);
    }
}

} // namespace vorlane
