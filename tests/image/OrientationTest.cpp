// The orientation a camera records, read from Exif data of either byte order; anything damaged or
// unexpected leaves the picture as stored. (The pictures turned by it are checked against another
// decoder in tests/tools/scripts/PictureFormats.py.)
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "image/Orientation.h"

namespace vorlane {
namespace {

using Bytes = std::vector<uint8_t>;

// "Exif\0\0", a TIFF header and an IFD of one entry: tag 274, `type`, `count`, `value`.
Bytes Exif(bool bigEndian, uint16_t type, uint32_t count, uint16_t value, uint32_t ifdOffset = 8)
{
    Bytes out = {'E', 'x', 'i', 'f', 0, 0};
    const auto u16 = [&](uint16_t v) {
        out.push_back(uint8_t(bigEndian ? v >> 8 : v));
        out.push_back(uint8_t(bigEndian ? v : v >> 8));
    };
    const auto u32 = [&](uint32_t v) {
        u16(uint16_t(bigEndian ? v >> 16 : v));
        u16(uint16_t(bigEndian ? v : v >> 16));
    };
    u16(bigEndian ? 0x4D4D : 0x4949); // byte order
    u16(42);                          // TIFF
    u32(ifdOffset);                   // the first IFD
    u16(1);                           // entries
    u16(0x0112);                      // orientation
    u16(type);
    u32(count);
    u16(value);
    u16(0);
    return out;
}

TEST(ExifOrientation, ReadsEitherByteOrderAndTakesNothingDoubtful)
{
    const Bytes little = Exif(false, 3, 1, 6);
    const struct {
        const char* what;
        Bytes app1;
        int expected;
    } cases[] = {
        {"little-endian", little, 6},
        {"big-endian", Exif(true, 3, 1, 8), 8},
        {"no such orientation", Exif(false, 3, 1, 9), 1},
        {"not a SHORT", Exif(true, 4, 1, 6), 1},
        {"more than one value", Exif(false, 3, 2, 6), 1},
        {"IFD past the end", Exif(false, 3, 1, 6, 4000), 1},
        {"cut inside the entry", Bytes(little.begin(), little.end() - 5), 1},
        {"not Exif", Bytes{'J', 'F', 'I', 'F', 0, 0, 'I', 'I', 42, 0}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExifOrientation(c.app1), c.expected) << c.what;
}

// A picture streamed row by row as stored and stretched as seen upright equals the upright picture
// stretched, in the modes a JPEG gets (halftone looks at every pixel a target pixel covers).
TEST(OrientedAccumulator, EqualsTheUprightPictureStretchedInEveryMode)
{
    Bitmap stored(37, 23, 24);
    uint32_t seed = 5;
    for (int y = 0; y < stored.Height(); ++y)
        for (int x = 0; x < stored.Width(); ++x)
            stored.SetPixelRgb(x, y, (seed = seed * 1664525u + 1013904223u) >> 8);
    for (const StretchMode mode : {StretchMode::ColorOnColor, StretchMode::Halftone})
        for (int orientation = 1; orientation <= 8; ++orientation) {
            for (const auto& [width, height] : {std::pair{16, 16}, std::pair{50, 9}}) {
                OrientedAccumulator accumulator(stored.Width(), stored.Height(), width, height, mode, orientation);
                for (int y = accumulator.NextNeededRow(0); y < stored.Height(); y = accumulator.NextNeededRow(y + 1))
                    accumulator.AddRow(y, [&](int x) { return stored.PixelRgb(x, y); });
                EXPECT_TRUE(accumulator.Result() == Stretch(Oriented(stored, orientation), width, height, mode))
                    << "orientation " << orientation << ", mode " << int(mode) << ", " << width << "x" << height;
            }
        }
}

} // namespace
} // namespace vorlane
