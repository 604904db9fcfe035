#include "image/Stretch.h"

#include <gtest/gtest.h>

namespace vorlane {
namespace {

// A picture whose every pixel tells where it came from: red = x, green = y.
Bitmap Coordinates(int width, int height)
{
    Bitmap picture(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixelRgb(x, y, MakeRgb(uint8_t(x), uint8_t(y), 7));
    return picture;
}

TEST(Stretch, ColourOnColourKeepsEveryTenthColumnOf320)
{
    const Bitmap result = Stretch(Coordinates(320, 32), 32, 32, StretchMode::ColorOnColor);
    ASSERT_EQ(result.Width(), 32);
    ASSERT_EQ(result.BitsPerPixel(), 24);
    for (int tx = 0; tx < 32; ++tx)
        for (int ty = 0; ty < 32; ++ty) {
            const Rgb c = result.PixelRgb(tx, ty);
            EXPECT_EQ(RedOf(c), uint8_t(10 * tx + 5)) << tx; // red holds x modulo 256
            EXPECT_EQ(GreenOf(c), ty);
        }
}

TEST(Stretch, ColourOnColourRepeatsEachPixelOf8x8FourTimesEachWay)
{
    const Bitmap result = Stretch(Coordinates(8, 8), 32, 32, StretchMode::ColorOnColor);
    for (int ty = 0; ty < 32; ++ty)
        for (int tx = 0; tx < 32; ++tx)
            ASSERT_EQ(result.PixelRgb(tx, ty), MakeRgb(uint8_t(tx / 4), uint8_t(ty / 4), 7)) << tx << "," << ty;
}

TEST(Stretch, ColourOnColourReadsColourTables)
{
    Bitmap picture(2, 1, 4);
    picture.Palette()[3] = {.blue = 1, .green = 2, .red = 3};
    picture.Palette()[9] = {.blue = 9, .green = 9, .red = 9};
    picture.SetPixelValue(0, 0, 3);
    picture.SetPixelValue(1, 0, 9);
    const Bitmap result = Stretch(picture, 4, 1, StretchMode::ColorOnColor);
    EXPECT_EQ(result.PixelRgb(1, 0), MakeRgb(3, 2, 1));
    EXPECT_EQ(result.PixelRgb(2, 0), MakeRgb(9, 9, 9));
}

Bitmap Monochrome(int width, int height, bool blackIsZero)
{
    Bitmap picture(width, height, 1);
    picture.Palette()[blackIsZero ? 0 : 1] = {};
    picture.Palette()[blackIsZero ? 1 : 0] = {.blue = 255, .green = 255, .red = 255};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixelValue(x, y, blackIsZero ? 1 : 0); // white
    return picture;
}

TEST(Stretch, BlackOnWhiteKeepsThinBlackLinesOfAMonochromePicture)
{
    for (const bool blackIsZero : {true, false}) {
        // One black column and one black row in 320x320: nearest sampling would drop both.
        Bitmap picture = Monochrome(320, 320, blackIsZero);
        for (int i = 0; i < 320; ++i) {
            picture.SetPixelValue(101, i, blackIsZero ? 0 : 1);
            picture.SetPixelValue(i, 233, blackIsZero ? 0 : 1);
        }
        const Bitmap result = Stretch(picture, 32, 32, ChooseStretchMode(24, 1));
        for (int ty = 0; ty < 32; ++ty)
            for (int tx = 0; tx < 32; ++tx) {
                const bool black = tx == 10 || ty == 23; // 101 / 10 and 233 / 10
                ASSERT_EQ(result.PixelRgb(tx, ty), black ? MakeRgb(0, 0, 0) : MakeRgb(255, 255, 255))
                    << blackIsZero << " " << tx << "," << ty;
            }
        EXPECT_EQ(Stretch(picture, 32, 32, StretchMode::ColorOnColor).PixelRgb(10, 0), MakeRgb(255, 255, 255));
    }
}

TEST(Stretch, HalftoneAveragesTheCoveredPixels)
{
    // 64x2 of alternating black and white columns: each target pixel of 32x1 covers one pair.
    Bitmap picture(64, 2, 24);
    for (int x = 0; x < 64; x += 2)
        for (int y = 0; y < 2; ++y)
            picture.SetPixelRgb(x, y, MakeRgb(255, 255, 255));
    const Bitmap result = Stretch(picture, 32, 1, StretchMode::Halftone);
    for (int tx = 0; tx < 32; ++tx)
        EXPECT_EQ(result.PixelRgb(tx, 0), MakeRgb(128, 128, 128));
    // Enlarging by a whole factor repeats pixels, as the other modes do.
    EXPECT_EQ(Stretch(Coordinates(8, 8), 32, 32, StretchMode::Halftone),
              Stretch(Coordinates(8, 8), 32, 32, StretchMode::ColorOnColor));
}

} // namespace
} // namespace vorlane
