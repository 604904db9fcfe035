// The bitmap file writer: its exact headers, and writer -> reader round trips at every depth.
#include <gtest/gtest.h>

#include "image/BmpFile.h"
#include "platform/ByteCursor.h"
#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"

namespace vorlane {
namespace {

// A picture whose every pixel differs from its neighbours, at any depth.
Bitmap Pattern(int width, int height, int bitsPerPixel)
{
    Bitmap b(width, height, bitsPerPixel);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t v = uint32_t(x * 7 + y * 13 + 1);
            if (bitsPerPixel <= 8)
                b.SetPixelValue(x, y, v & ((1u << bitsPerPixel) - 1));
            else
                b.SetPixelRgb(x, y, MakeRgb(uint8_t(v * 8), uint8_t(v * 16), uint8_t(v * 24)));
        }
    for (size_t i = 0; i < b.Palette().size(); ++i)
        b.Palette()[i] = RgbQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
    return b;
}

TEST(BmpWriter, HeadersOfATwentyFourBitPicture)
{
    const std::vector<uint8_t> file = WriteBmp(Pattern(3, 2, 24));
    ASSERT_EQ(file.size(), 14u + 40 + 2 * 12);
    const std::vector<uint8_t> headers(file.begin(), file.begin() + 54);
    const std::vector<uint8_t> expected = {
        'B', 'M', 78, 0, 0,  0, 0, 0, 0, 0, 54, 0, 0, 0,        // file size 78, pixels at 54
        40,  0,   0,  0, 3,  0, 0, 0, 2, 0, 0,  0, 1, 0, 24, 0, // size, width, height, planes, depth
        0,   0,   0,  0, 24, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, // compression, image size, resolution
        0,   0,   0,  0, 0,  0, 0, 0,                           // colours used, important
    };
    EXPECT_EQ(headers, expected);
    EXPECT_EQ(file.size(), BmpFileSize(3, 2, 24));
}

TEST(BmpWriter, RowsAreStoredBottomUpAndPadded)
{
    Bitmap b(1, 2, 24);
    b.SetPixelRgb(0, 0, MakeRgb(1, 2, 3));
    b.SetPixelRgb(0, 1, MakeRgb(4, 5, 6));
    const std::vector<uint8_t> file = WriteBmp(b);
    const std::vector<uint8_t> rows(file.begin() + 54, file.end());
    EXPECT_EQ(rows, (std::vector<uint8_t>{6, 5, 4, 0, 3, 2, 1, 0}));
}

TEST(BmpWriter, ColourTableAtEightBitsOrFewer)
{
    Bitmap b = Pattern(5, 1, 4);
    b.Palette().resize(3); // a short table is written with its length
    const std::vector<uint8_t> file = WriteBmp(b);
    ByteReader in(file);
    in.Seek(10);
    EXPECT_EQ(in.ReadU32(), 54u + 12);
    in.Seek(46);
    EXPECT_EQ(in.ReadU32(), 3u); // colours used
    EXPECT_EQ(ReadBmp(file), b);
}

TEST(BmpWriter, PixelOffsetInTheSizeField)
{
    ByteWriter out;
    WriteBmp(out, Pattern(2, 2, 1), BmpSizeField::PixelOffset);
    ByteReader in(out.Bytes());
    in.Seek(2);
    EXPECT_EQ(in.ReadU32(), 62u);
    in.Seek(10);
    EXPECT_EQ(in.ReadU32(), 62u);
}

TEST(BmpWriter, RoundTripsAtEveryDepth)
{
    for (int depth : {1, 4, 8, 16, 24, 32})
        for (int width : {1, 3, 31, 33}) {
            const Bitmap original = Pattern(width, 5, depth);
            size_t consumed = 0;
            const std::vector<uint8_t> file = WriteBmp(original);
            EXPECT_EQ(ReadBmp(file, &consumed), original) << depth << " bits, width " << width;
            EXPECT_EQ(consumed, file.size());
        }
}

TEST(BmpWriter, AnEmptyPictureHasNoFileForm)
{
    EXPECT_EQ(test::ErrorOf<EInvalidGraphic>([&] { WriteBmp(Bitmap()); }), "ビットマップイメージが不正です");
}

TEST(Bitmap, ConversionKeepsColoursAcrossDepths)
{
    const Bitmap indexed = Pattern(9, 4, 8);
    for (int depth : {16, 24, 32}) {
        const Bitmap converted = indexed.ConvertedTo(depth);
        ASSERT_EQ(converted.BitsPerPixel(), depth);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 9; ++x) {
                const Rgb want = indexed.PixelRgb(x, y);
                const Rgb got = converted.PixelRgb(x, y);
                if (depth == 16) { // five bits a channel
                    EXPECT_EQ(RedOf(got) >> 3, RedOf(want) >> 3);
                    EXPECT_EQ(BlueOf(got) >> 3, BlueOf(want) >> 3);
                } else {
                    EXPECT_EQ(got, want);
                }
            }
    }
    Bitmap white(2, 2, 16);
    white.Fill(MakeRgb(255, 255, 255));
    EXPECT_EQ(white.ConvertedTo(24).PixelRgb(1, 1), MakeRgb(255, 255, 255));
    EXPECT_THROW(white.ConvertedTo(8), EInvalidGraphic);
}

} // namespace
} // namespace vorlane
