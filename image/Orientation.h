// The orientation a camera records in a JPEG's Exif data (TIFF tag 274): how the stored picture is to be
// turned or mirrored to be seen upright. 1 is as stored; 2 mirrored left to right; 3 turned half round;
// 4 mirrored top to bottom; 5 to 8 have rows and columns exchanged: 5 transposed, 6 turned a quarter
// clockwise, 7 transversed, 8 turned a quarter anticlockwise.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/Bitmap.h"
#include "image/Stretch.h"

namespace vorlane {

// The orientation in the contents of an APP1 marker ("Exif\0\0" and a TIFF structure), read over
// bounds-checked fields; 1 when there is none or it is damaged.
int ExifOrientation(std::span<const uint8_t> app1);

// Whether rows and columns change places (orientations 5 to 8).
inline bool Transposes(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// The picture as seen upright.
Bitmap Oriented(const Bitmap& source, int orientation);
// Row y of the upright picture, in the source's pixel layout (Width() of the upright picture pixels).
void OrientedRow(const Bitmap& source, int orientation, int y, uint8_t* out);

// StretchAccumulator for a picture that arrives as stored, a row at a time, stretched as seen upright:
// the stretch samples the upright picture. Its calls take the stored picture's rows and columns.
// Black-on-white keeps the first of equally dark pixels in the order they come, which turning changes:
// it is for 1-bit pictures, which a JPEG never is.
class OrientedAccumulator {
public:
    OrientedAccumulator(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight, StretchMode mode,
                        int orientation);

    bool NeedsRow(int y) const { return neededRows_[size_t(y)] != 0; }
    int NextNeededRow(int y) const;
    std::vector<int> NeededColumns() const { return neededColumns_; }

    template <typename ColourAt>
    void AddRow(int y, ColourAt&& colourAt)
    {
        if (y < 0 || y >= sourceHeight_)
            return;
        if (Transposes(orientation_))
            upright_.AddColumn(UprightColumnOfRow(y), [&](int row) { return colourAt(ColumnOfUprightRow(row)); });
        else
            upright_.AddRow(UprightRowOfRow(y), [&](int x) { return colourAt(ColumnOfUprightColumn(x)); });
    }

    Bitmap Result() const { return upright_.Result(); }

private:
    // Where the stored picture's rows and columns go, by orientation.
    int UprightRowOfRow(int y) const;       // orientations 1 to 4
    int ColumnOfUprightColumn(int x) const; // orientations 1 to 4
    int UprightColumnOfRow(int y) const;    // orientations 5 to 8
    int ColumnOfUprightRow(int row) const;  // orientations 5 to 8

    int sourceWidth_, sourceHeight_, orientation_;
    StretchAccumulator upright_;
    std::vector<uint8_t> neededRows_;
    std::vector<int> neededColumns_;
};

} // namespace vorlane
