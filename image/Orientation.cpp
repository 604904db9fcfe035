#include "image/Orientation.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteCursor.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

constexpr uint16_t OrientationTag = 0x0112;
constexpr uint16_t ShortType = 3;

// A TIFF structure's fields, in the byte order its header names ("II" little-endian, "MM" big-endian).
class TiffReader {
public:
    explicit TiffReader(std::span<const uint8_t> data) : in_(data) {}
    void Seek(size_t position) { in_.Seek(position); }
    void SetBigEndian(bool big) { big_ = big; }
    uint16_t U16()
    {
        const uint16_t v = in_.ReadU16();
        return big_ ? uint16_t((v >> 8) | (v << 8)) : v;
    }
    uint32_t U32()
    {
        const uint32_t v = in_.ReadU32();
        return big_ ? (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24) : v;
    }

private:
    ByteReader in_;
    bool big_ = false;
};

int ReadOrientation(std::span<const uint8_t> app1)
{
    static constexpr uint8_t Exif[] = {'E', 'x', 'i', 'f', 0, 0};
    if (app1.size() < sizeof Exif || std::memcmp(app1.data(), Exif, sizeof Exif) != 0)
        return 1;
    TiffReader tiff(app1.subspan(sizeof Exif));
    const uint16_t order = tiff.U16(); // "II" or "MM"
    if (order != 0x4949 && order != 0x4D4D)
        return 1;
    tiff.SetBigEndian(order == 0x4D4D);
    if (tiff.U16() != 42) // the TIFF magic number
        return 1;
    tiff.Seek(tiff.U32()); // the first IFD
    const uint16_t entries = tiff.U16();
    for (uint16_t i = 0; i < entries; ++i) {
        const uint16_t tag = tiff.U16();
        const uint16_t type = tiff.U16();
        const uint32_t count = tiff.U32();
        const uint16_t value = tiff.U16(); // a single SHORT sits at the start of the value field
        tiff.U16();
        if (tag == OrientationTag)
            return type == ShortType && count == 1 && value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

bool FlipsRows(int orientation)
{
    return orientation == 3 || orientation == 4;
}
bool FlipsColumns(int orientation)
{
    return orientation == 2 || orientation == 3;
}

} // namespace

int ExifOrientation(std::span<const uint8_t> app1)
{
    try {
        return ReadOrientation(app1);
    } catch (const EReadError&) { // a field beyond the marker's end
        return 1;
    }
}

void OrientedRow(const Bitmap& source, int orientation, int y, uint8_t* out)
{
    const int w = source.Width(), h = source.Height();
    const size_t bytes = size_t(source.BitsPerPixel() / 8);
    if (!Transposes(orientation)) {
        const uint8_t* row = source.Row(FlipsRows(orientation) ? h - 1 - y : y);
        if (!FlipsColumns(orientation)) {
            std::memcpy(out, row, size_t(w) * bytes);
            return;
        }
        for (int x = 0; x < w; ++x)
            std::memcpy(out + size_t(x) * bytes, row + size_t(w - 1 - x) * bytes, bytes);
        return;
    }
    // Row y of the upright picture is a column of the stored one; its pixel x a stored row.
    const int column = orientation == 5 || orientation == 6 ? y : w - 1 - y;
    for (int x = 0; x < h; ++x) {
        const int row = orientation == 5 || orientation == 8 ? x : h - 1 - x;
        std::memcpy(out + size_t(x) * bytes, source.Row(row) + size_t(column) * bytes, bytes);
    }
}

Bitmap Oriented(const Bitmap& source, int orientation)
{
    if (orientation < 2 || orientation > 8)
        return source;
    const bool transposes = Transposes(orientation);
    Bitmap upright(transposes ? source.Height() : source.Width(), transposes ? source.Width() : source.Height(),
                   source.BitsPerPixel());
    upright.Palette() = source.Palette();
    for (int y = 0; y < upright.Height(); ++y)
        OrientedRow(source, orientation, y, upright.Row(y));
    return upright;
}

OrientedAccumulator::OrientedAccumulator(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
                                         StretchMode mode, int orientation)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      orientation_(orientation >= 1 && orientation <= 8 ? orientation : 1),
      upright_(Transposes(orientation_) ? sourceHeight : sourceWidth,
               Transposes(orientation_) ? sourceWidth : sourceHeight, targetWidth, targetHeight, mode),
      neededRows_(size_t(sourceHeight), 0)
{
    if (!Transposes(orientation_)) {
        for (int y = 0; y < sourceHeight_; ++y)
            neededRows_[size_t(y)] = upright_.NeedsRow(UprightRowOfRow(y));
        for (const int x : upright_.NeededColumns())
            neededColumns_.push_back(ColumnOfUprightColumn(x));
    } else {
        // A stored row is an upright column; a stored column an upright row.
        for (const int x : upright_.NeededColumns())
            neededRows_[size_t(UprightColumnOfRow(x))] = 1; // the mapping is its own inverse
        for (int row = 0; row < sourceWidth_; ++row)
            if (upright_.NeedsRow(row))
                neededColumns_.push_back(ColumnOfUprightRow(row));
    }
    std::sort(neededColumns_.begin(), neededColumns_.end());
    neededColumns_.erase(std::unique(neededColumns_.begin(), neededColumns_.end()), neededColumns_.end());
}

int OrientedAccumulator::NextNeededRow(int y) const
{
    for (y = std::max(y, 0); y < sourceHeight_ && neededRows_[size_t(y)] == 0;)
        ++y;
    return y;
}

int OrientedAccumulator::UprightRowOfRow(int y) const
{
    return FlipsRows(orientation_) ? sourceHeight_ - 1 - y : y;
}
int OrientedAccumulator::ColumnOfUprightColumn(int x) const
{
    return FlipsColumns(orientation_) ? sourceWidth_ - 1 - x : x;
}
int OrientedAccumulator::UprightColumnOfRow(int y) const
{
    return orientation_ == 5 || orientation_ == 8 ? y : sourceHeight_ - 1 - y;
}
int OrientedAccumulator::ColumnOfUprightRow(int row) const
{
    return orientation_ == 5 || orientation_ == 6 ? row : sourceWidth_ - 1 - row;
}

} // namespace vorlane
