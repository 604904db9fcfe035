#include "image/Stretch.h"

#include <algorithm>

#include "platform/Exceptions.h"

namespace vorlane {

StretchMode ChooseStretchMode(int surfaceBitsPerPixel, int pictureBitsPerPixel)
{
    if (surfaceBitsPerPixel <= 8 && surfaceBitsPerPixel < pictureBitsPerPixel)
        return StretchMode::Halftone;
    if (pictureBitsPerPixel == 1)
        return StretchMode::BlackOnWhite;
    return StretchMode::ColorOnColor;
}

int NearestSourceIndex(int t, int n, int m)
{
    return int((int64_t(2) * t + 1) * n / (int64_t(2) * m));
}

SourceSpan CoveredSourceSpan(int t, int n, int m)
{
    const int first = int(int64_t(t) * n / m);
    const int last = int((int64_t(t + 1) * n + m - 1) / m);
    return {first, std::max(last, first + 1)};
}

StretchAccumulator::StretchAccumulator(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
                                       StretchMode mode)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      targetWidth_(targetWidth),
      targetHeight_(targetHeight),
      mode_(mode)
{
    const auto inBounds = [](int side) { return side > 0 && side <= Bitmap::MaxSide; };
    if (!inBounds(sourceWidth) || !inBounds(sourceHeight) || !inBounds(targetWidth) || !inBounds(targetHeight) ||
        size_t(targetWidth) * size_t(targetHeight) * sizeof(Cell) > Bitmap::MaxBytes)
        throw EInvalidGraphic(msg::InvalidGraphic);
    for (int tx = 0; tx < targetWidth; ++tx) {
        if (mode == StretchMode::ColorOnColor)
            columns_.push_back(NearestSourceIndex(tx, sourceWidth, targetWidth));
        else
            spans_.push_back(CoveredSourceSpan(tx, sourceWidth, targetWidth));
    }
    for (int ty = 0; ty < targetHeight; ++ty) {
        if (mode == StretchMode::ColorOnColor) {
            const int y = NearestSourceIndex(ty, sourceHeight, targetHeight);
            rows_.push_back({y, y + 1});
        } else {
            rows_.push_back(CoveredSourceSpan(ty, sourceHeight, targetHeight));
        }
    }
    cells_.resize(size_t(targetWidth) * size_t(targetHeight));
}

SourceSpan StretchAccumulator::TargetRowsOf(int y) const
{
    // Both ends of the row spans grow with the target row, so the rows that take y are contiguous.
    const auto first =
        std::partition_point(rows_.begin(), rows_.end(), [y](const SourceSpan& s) { return s.last <= y; });
    const auto last = std::partition_point(first, rows_.end(), [y](const SourceSpan& s) { return s.first <= y; });
    return {int(first - rows_.begin()), int(last - rows_.begin())};
}

bool StretchAccumulator::NeedsRow(int y) const
{
    const SourceSpan rows = TargetRowsOf(y);
    return rows.first < rows.last;
}

int StretchAccumulator::NextNeededRow(int y) const
{
    const auto next =
        std::partition_point(rows_.begin(), rows_.end(), [y](const SourceSpan& s) { return s.last <= y; });
    if (next == rows_.end())
        return sourceHeight_;
    return std::max(y, next->first);
}

std::vector<int> StretchAccumulator::NeededColumns() const
{
    if (mode_ == StretchMode::ColorOnColor)
        return columns_;
    std::vector<int> all(static_cast<size_t>(sourceWidth_));
    for (int x = 0; x < sourceWidth_; ++x)
        all[size_t(x)] = x;
    return all;
}

void StretchAccumulator::Combine(Cell& cell, Rgb colour) const
{
    switch (mode_) {
    case StretchMode::ColorOnColor:
        cell.kept = colour;
        break;
    case StretchMode::BlackOnWhite:
        if (!cell.any || Brightness(colour) < Brightness(cell.kept))
            cell.kept = colour;
        break;
    case StretchMode::Halftone:
        cell.red += RedOf(colour);
        cell.green += GreenOf(colour);
        cell.blue += BlueOf(colour);
        ++cell.count;
        break;
    }
    cell.any = true;
}

Bitmap StretchAccumulator::Result() const
{
    Bitmap result(targetWidth_, targetHeight_, 24);
    for (int ty = 0; ty < targetHeight_; ++ty) {
        for (int tx = 0; tx < targetWidth_; ++tx) {
            const Cell& cell = cells_[size_t(ty) * size_t(targetWidth_) + size_t(tx)];
            Rgb colour = cell.kept;
            if (mode_ == StretchMode::Halftone && cell.count > 0) {
                const uint64_t half = cell.count / 2;
                colour = MakeRgb(uint8_t((cell.red + half) / cell.count), uint8_t((cell.green + half) / cell.count),
                                 uint8_t((cell.blue + half) / cell.count));
            }
            result.SetPixelRgb(tx, ty, colour);
        }
    }
    return result;
}

Bitmap Stretch(const Bitmap& source, int targetWidth, int targetHeight, StretchMode mode)
{
    if (source.Empty())
        throw EInvalidGraphic(msg::InvalidGraphic);
    StretchAccumulator accumulator(source.Width(), source.Height(), targetWidth, targetHeight, mode);
    for (int y = accumulator.NextNeededRow(0); y < source.Height(); y = accumulator.NextNeededRow(y + 1))
        accumulator.AddRow(y, [&](int x) { return source.PixelRgb(x, y); });
    return accumulator.Result();
}

} // namespace vorlane
