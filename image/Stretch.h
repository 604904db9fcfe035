// Stretching a whole picture onto a target rectangle, as a stretching copy onto a display surface does.
//
// Three modes. Colour-on-colour keeps one source pixel per target pixel: target column tx of W samples
// source column floor((2*tx + 1) * w / (2*W)), the source pixel under the target pixel's centre (rows
// likewise); so 320 -> 32 keeps every tenth column (5, 15, ...) and 8 -> 32 repeats each pixel four
// times. Black-on-white and halftone look at every source pixel a target pixel covers: columns
// floor(tx * w / W) up to ceil((tx + 1) * w / W), at least one. Black-on-white keeps the darkest of them
// (for a 1-bit picture: black wins wherever any covered pixel is black); halftone averages them.
//
// StretchAccumulator takes the source a row at a time, so a decoder can feed it rows as they stream and
// skip the rows it does not need; Stretch() is the same for a whole bitmap.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Bitmap.h"

namespace vorlane {

enum class StretchMode { ColorOnColor, BlackOnWhite, Halftone };

// The mode a surface of `surfaceBitsPerPixel` uses for a picture of `pictureBitsPerPixel`: halftone when
// the surface has 8 bits or fewer and fewer than the picture, black-on-white for a 1-bit picture
// otherwise, colour-on-colour for everything else.
StretchMode ChooseStretchMode(int surfaceBitsPerPixel, int pictureBitsPerPixel);

// The source index colour-on-colour keeps for target index t (source size n, target size m).
int NearestSourceIndex(int t, int n, int m);
// The source indices [first, last) that target index t covers.
struct SourceSpan {
    int first;
    int last;
};
SourceSpan CoveredSourceSpan(int t, int n, int m);

class StretchAccumulator {
public:
    // Throws EInvalidGraphic when either size is empty or out of bounds.
    StretchAccumulator(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight, StretchMode mode);

    // Whether source row y contributes to the result; the first such row at or after y (the source
    // height when none is left).
    bool NeedsRow(int y) const;
    int NextNeededRow(int y) const;
    // The source columns colour-on-colour keeps (ascending); every column in the other modes.
    std::vector<int> NeededColumns() const;

    // Adds source row y. `colourAt(x)` gives the colour of source pixel x; it is asked only for the
    // columns the mode needs. Rows may come in any order; rows not needed are ignored.
    template <typename ColourAt>
    void AddRow(int y, ColourAt&& colourAt);

    // Adds source column x, as AddRow adds a row: `colourAt(y)` gives the colour of source pixel (x, y),
    // for a picture that arrives a column at a time (one turned a quarter).
    template <typename ColourAt>
    void AddColumn(int x, ColourAt&& colourAt);

    // The 24-bit target picture.
    Bitmap Result() const;

private:
    struct Cell {
        uint64_t red = 0, green = 0, blue = 0;
        uint32_t count = 0;
        Rgb kept = 0;
        bool any = false;
    };
    static int Brightness(Rgb c) { return RedOf(c) + GreenOf(c) + BlueOf(c); }
    void Combine(Cell& cell, Rgb colour) const;
    // Target rows fed by source row y: [first, last).
    SourceSpan TargetRowsOf(int y) const;

    int sourceWidth_, sourceHeight_, targetWidth_, targetHeight_;
    StretchMode mode_;
    std::vector<int> columns_;      // colour-on-colour: the kept source column of each target column
    std::vector<SourceSpan> spans_; // other modes: the covered source columns of each target column
    std::vector<SourceSpan> rows_;  // the source rows each target row takes (one row for colour-on-colour)
    std::vector<Cell> cells_;
};

// The whole of `source` stretched to targetWidth x targetHeight in `mode`, as a 24-bit picture.
Bitmap Stretch(const Bitmap& source, int targetWidth, int targetHeight, StretchMode mode);

template <typename ColourAt>
void StretchAccumulator::AddRow(int y, ColourAt&& colourAt)
{
    if (y < 0 || y >= sourceHeight_)
        return;
    const SourceSpan rows = TargetRowsOf(y);
    for (int ty = rows.first; ty < rows.last; ++ty) {
        Cell* line = cells_.data() + size_t(ty) * size_t(targetWidth_);
        if (mode_ == StretchMode::ColorOnColor) {
            for (int tx = 0; tx < targetWidth_; ++tx)
                Combine(line[tx], colourAt(columns_[size_t(tx)]));
        } else {
            for (int tx = 0; tx < targetWidth_; ++tx)
                for (int x = spans_[size_t(tx)].first; x < spans_[size_t(tx)].last; ++x)
                    Combine(line[tx], colourAt(x));
        }
    }
}

template <typename ColourAt>
void StretchAccumulator::AddColumn(int x, ColourAt&& colourAt)
{
    if (x < 0 || x >= sourceWidth_)
        return;
    for (int tx = 0; tx < targetWidth_; ++tx) {
        const bool takes = mode_ == StretchMode::ColorOnColor
                               ? columns_[size_t(tx)] == x
                               : spans_[size_t(tx)].first <= x && x < spans_[size_t(tx)].last;
        if (!takes)
            continue;
        for (int ty = 0; ty < targetHeight_; ++ty) {
            Cell& cell = cells_[size_t(ty) * size_t(targetWidth_) + size_t(tx)];
            for (int y = rows_[size_t(ty)].first; y < rows_[size_t(ty)].last; ++y)
                Combine(cell, colourAt(y));
        }
    }
}

} // namespace vorlane
