// The bitmap file reader on every header, depth and compression it accepts, and on damaged files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "TestSystemCalls.h"
#include "image/BmpFile.h"
#include "image/BmpThumbnail.h"
#include "image/Stretch.h"
#include "platform/ByteCursor.h"
#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"
#include "tests/TestFiles.h"

namespace vorlane {
namespace {

using Bytes = std::vector<uint8_t>;

struct Info {
    uint32_t headerSize = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitsPerPixel = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0}; // in the header (52 bytes and more)
};

// A bitmap file put together field by field: `between` is what lies between the information header
// and the pixels (masks after a 40-byte header, the colour table).
Bytes MakeBmp(const Info& info, const Bytes& between, const Bytes& pixels)
{
    ByteWriter out;
    const uint32_t offBits = 14 + info.headerSize + uint32_t(between.size());
    out.WriteU8('B');
    out.WriteU8('M');
    out.WriteU32(offBits + uint32_t(pixels.size()));
    out.WriteU32(0);
    out.WriteU32(offBits);
    out.WriteU32(info.headerSize);
    if (info.headerSize == 12) {
        out.WriteU16(uint16_t(info.width));
        out.WriteU16(uint16_t(info.height));
        out.WriteU16(1);
        out.WriteU16(info.bitsPerPixel);
    } else {
        out.WriteI32(info.width);
        out.WriteI32(info.height);
        out.WriteU16(1);
        out.WriteU16(info.bitsPerPixel);
        out.WriteU32(info.compression);
        out.WriteU32(info.sizeImage);
        out.WriteI32(2835);
        out.WriteI32(2835);
        out.WriteU32(info.colorsUsed);
        out.WriteU32(0);
        if (info.headerSize >= 52)
            for (uint32_t m : info.masks)
                out.WriteU32(m);
        out.WriteZeros(info.headerSize - std::min<uint32_t>(info.headerSize, info.headerSize >= 52 ? 52 : 40));
    }
    out.WriteBytes(between);
    out.WriteBytes(pixels);
    return out.Take();
}

void ExpectInvalid(const Bytes& data)
{
    EXPECT_EQ(test::ErrorOf<EInvalidGraphic>([&] { ReadBmp(data); }), "ビットマップイメージが不正です");
}

TEST(BmpReader, CoreHeaderOneBitWithThreeByteTable)
{
    // 3 x 2, rows bottom-up: bottom row 1 0 1, top row 0 1 1.
    const Bytes table = {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
    const Bytes pixels = {0xA0, 0, 0, 0, 0x60, 0, 0, 0};
    size_t consumed = 0;
    const Bytes file = MakeBmp({.headerSize = 12, .width = 3, .height = 2, .bitsPerPixel = 1}, table, pixels);
    const Bitmap b = ReadBmp(file, &consumed);
    EXPECT_EQ(consumed, file.size());
    ASSERT_EQ(b.BitsPerPixel(), 1);
    ASSERT_EQ(b.Palette().size(), 2u);
    EXPECT_EQ(b.PixelValue(0, 0), 0u);
    EXPECT_EQ(b.PixelValue(1, 0), 1u);
    EXPECT_EQ(b.PixelValue(2, 0), 1u);
    EXPECT_EQ(b.PixelValue(0, 1), 1u);
    EXPECT_EQ(b.PixelRgb(2, 1), MakeRgb(255, 255, 255));
}

TEST(BmpReader, FourAndEightBitsWithShortColourTables)
{
    // 4 bits, 3 x 1, two colours used.
    const Bytes table4 = {0, 0, 255, 0, 0, 255, 0, 0}; // red, green
    const Bitmap four =
        ReadBmp(MakeBmp({.width = 3, .height = 1, .bitsPerPixel = 4, .colorsUsed = 2}, table4, {0x10, 0x10, 0, 0}));
    EXPECT_EQ(four.Palette().size(), 2u);
    EXPECT_EQ(four.PixelRgb(0, 0), MakeRgb(0, 255, 0));
    EXPECT_EQ(four.PixelRgb(1, 0), MakeRgb(255, 0, 0));
    EXPECT_EQ(four.PixelRgb(2, 0), MakeRgb(0, 255, 0));

    // 8 bits, 2 x 2, an index past the short table reads as black.
    const Bytes table8 = {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0};
    const Bitmap eight = ReadBmp(
        MakeBmp({.width = 2, .height = 2, .bitsPerPixel = 8, .colorsUsed = 3}, table8, {0, 1, 0, 0, 2, 200, 0, 0}));
    EXPECT_EQ(eight.PixelRgb(0, 1), MakeRgb(30, 20, 10));
    EXPECT_EQ(eight.PixelRgb(1, 1), MakeRgb(60, 50, 40));
    EXPECT_EQ(eight.PixelRgb(0, 0), MakeRgb(90, 80, 70));
    EXPECT_EQ(eight.PixelRgb(1, 0), 0u);
}

TEST(BmpReader, TopDownAndBottomUpTwentyFourBits)
{
    const Bytes rows = {1, 2, 3, 0, 4, 5, 6, 0}; // 1 x 2: first stored row, second stored row
    const Bitmap up = ReadBmp(MakeBmp({.width = 1, .height = 2, .bitsPerPixel = 24}, {}, rows));
    const Bitmap down = ReadBmp(MakeBmp({.width = 1, .height = -2, .bitsPerPixel = 24}, {}, rows));
    EXPECT_EQ(up.PixelRgb(0, 1), MakeRgb(3, 2, 1));
    EXPECT_EQ(up.PixelRgb(0, 0), MakeRgb(6, 5, 4));
    EXPECT_EQ(down.PixelRgb(0, 0), MakeRgb(3, 2, 1));
    EXPECT_EQ(down.PixelRgb(0, 1), MakeRgb(6, 5, 4));
}

TEST(BmpReader, SixteenAndThirtyTwoBitsKeepTheFixedLayouts)
{
    // 16 bits, no compression: 5-5-5 with bit 15 dropped.
    const Bitmap sixteen =
        ReadBmp(MakeBmp({.width = 2, .height = 1, .bitsPerPixel = 16}, {}, {0x1F, 0xFC, 0xE0, 0x03}));
    EXPECT_EQ(sixteen.BitsPerPixel(), 16);
    EXPECT_EQ(sixteen.PixelValue(0, 0), 0x7C1Fu);
    EXPECT_EQ(sixteen.PixelRgb(1, 0), MakeRgb(0, 255, 0));
    // 32 bits, no compression: the fourth byte is cleared.
    const Bitmap thirtyTwo = ReadBmp(MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 32}, {}, {1, 2, 3, 0x80}));
    EXPECT_EQ(thirtyTwo.Row(0)[3], 0);
    EXPECT_EQ(thirtyTwo.PixelRgb(0, 0), MakeRgb(3, 2, 1));
}

Bytes Masks(uint32_t r, uint32_t g, uint32_t b)
{
    ByteWriter w;
    w.WriteU32(r);
    w.WriteU32(g);
    w.WriteU32(b);
    return w.Take();
}

TEST(BmpReader, BitFieldsAreConvertedIntoTheFixedLayouts)
{
    // 5-6-5: red, green, blue at full strength become 24 bits.
    const Bitmap rgb565 = ReadBmp(MakeBmp({.width = 3, .height = 1, .bitsPerPixel = 16, .compression = 3},
                                          Masks(0xF800, 0x07E0, 0x001F), {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0}));
    EXPECT_EQ(rgb565.BitsPerPixel(), 24);
    EXPECT_EQ(rgb565.PixelRgb(0, 0), MakeRgb(255, 0, 0));
    EXPECT_EQ(rgb565.PixelRgb(1, 0), MakeRgb(0, 255, 0));
    EXPECT_EQ(rgb565.PixelRgb(2, 0), MakeRgb(0, 0, 255));
    // 5-5-5 given as bit fields stays at 16 bits.
    const Bitmap rgb555 = ReadBmp(MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 16, .compression = 3},
                                          Masks(0x7C00, 0x03E0, 0x001F), {0x10, 0x42, 0, 0}));
    EXPECT_EQ(rgb555.BitsPerPixel(), 16);
    EXPECT_EQ(rgb555.PixelValue(0, 0), 0x4210u);
    // 32 bits with red in the low byte.
    const Bitmap swapped = ReadBmp(MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 32, .compression = 3},
                                           Masks(0x0000FF, 0x00FF00, 0xFF0000), {0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(swapped.BitsPerPixel(), 32);
    EXPECT_EQ(swapped.PixelRgb(0, 0), MakeRgb(0x11, 0x22, 0x33));
    EXPECT_EQ(swapped.Row(0)[3], 0);
    // 10-10-10 keeps the top 8 bits of each channel.
    const Bitmap wide = ReadBmp(MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 32, .compression = 3},
                                        Masks(0x3FF00000, 0x000FFC00, 0x000003FF), {0xFF, 0x03, 0xF0, 0x3F}));
    EXPECT_EQ(wide.PixelRgb(0, 0), MakeRgb(0xFF, 0x00, 0xFF));
}

TEST(BmpReader, V4AndV5HeadersCarryTheirMasks)
{
    for (uint32_t size : {52u, 56u, 108u, 124u}) {
        Info info{.headerSize = size, .width = 1, .height = 1, .bitsPerPixel = 16, .compression = 3};
        info.masks[0] = 0xF800;
        info.masks[1] = 0x07E0;
        info.masks[2] = 0x001F;
        const Bitmap b = ReadBmp(MakeBmp(info, {}, {0x00, 0xF8, 0, 0}));
        EXPECT_EQ(b.PixelRgb(0, 0), MakeRgb(255, 0, 0)) << size;
    }
    // A V5 header with plain 24-bit pixels and a colour-table depth.
    const Bitmap plain =
        ReadBmp(MakeBmp({.headerSize = 124, .width = 1, .height = 1, .bitsPerPixel = 24}, {}, {9, 8, 7, 0}));
    EXPECT_EQ(plain.PixelRgb(0, 0), MakeRgb(7, 8, 9));
}

Bytes GreyTable(int entries)
{
    Bytes table;
    for (int i = 0; i < entries; ++i)
        table.insert(table.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
    return table;
}

TEST(BmpReader, RunLengthEightBits)
{
    // 4 x 3, stored bottom row first.
    const Bytes rle = {
        0x03, 0x05,                   // 3 pixels of 5
        0x00, 0x00,                   // end of line (the fourth pixel stays 0)
        0x00, 0x03, 7,    8,    9, 0, // 3 literal pixels, padded to an even count
        0x00, 0x02, 0x00, 0x01,       // move 1 up: column 3 of the top row
        0x01, 0x06,                   // 1 pixel of 6
        0x00, 0x01,                   // end of bitmap
        0xEE, 0xEE,                   // not part of the data
    };
    Info info{.width = 4, .height = 3, .bitsPerPixel = 8, .compression = 1};
    size_t consumed = 0;
    const Bytes file = MakeBmp(info, GreyTable(256), rle);
    const Bitmap b = ReadBmp(file, &consumed);
    EXPECT_EQ(consumed, file.size() - 2);
    const uint32_t expected[3][4] = {{0, 0, 0, 6}, {7, 8, 9, 0}, {5, 5, 5, 0}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(b.PixelValue(x, y), expected[y][x]) << x << "," << y;
}

TEST(BmpReader, RunLengthFourBits)
{
    const Bytes rle = {
        0x05, 0x12,             // 1 2 1 2 1
        0x00, 0x00,             // end of line
        0x00, 0x03, 0x34, 0x50, // literal 3 4 5 (two bytes, already even)
        0x00, 0x01,             // end of bitmap
    };
    const Bitmap b =
        ReadBmp(MakeBmp({.width = 6, .height = 2, .bitsPerPixel = 4, .compression = 2}, GreyTable(16), rle));
    const uint32_t expected[2][6] = {{3, 4, 5, 0, 0, 0}, {1, 2, 1, 2, 1, 0}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(b.PixelValue(x, y), expected[y][x]) << x << "," << y;
}

TEST(BmpReader, RunLengthClipsRunsThatPassTheRowEnd)
{
    // A run of 255 in a row of 2: the row holds 2, nothing spills into the next.
    const Bitmap b = ReadBmp(MakeBmp({.width = 2, .height = 2, .bitsPerPixel = 8, .compression = 1}, GreyTable(256),
                                     {0xFF, 0x09, 0x00, 0x01}));
    EXPECT_EQ(b.PixelValue(0, 1), 9u);
    EXPECT_EQ(b.PixelValue(1, 1), 9u);
    EXPECT_EQ(b.PixelValue(0, 0), 0u);
}

TEST(BmpReader, InvalidFilesAreRefused)
{
    const Bytes pixel = {1, 2, 3, 0};
    ExpectInvalid({});
    ExpectInvalid({'B', 'M', 0, 0});
    Bytes notBm = MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 24}, {}, pixel);
    notBm[0] = 'X';
    ExpectInvalid(notBm);
    ExpectInvalid(MakeBmp({.headerSize = 64, .width = 1, .height = 1, .bitsPerPixel = 24}, {}, pixel));
    ExpectInvalid(MakeBmp({.width = 0, .height = 1, .bitsPerPixel = 24}, {}, pixel));
    ExpectInvalid(MakeBmp({.width = -1, .height = 1, .bitsPerPixel = 24}, {}, pixel));
    ExpectInvalid(MakeBmp({.width = 1, .height = 0, .bitsPerPixel = 24}, {}, pixel));
    ExpectInvalid(MakeBmp({.width = 1, .height = INT32_MIN, .bitsPerPixel = 24}, {}, pixel));
    ExpectInvalid(MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 3}, {}, pixel));
    ExpectInvalid(MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 24, .compression = 4}, {}, pixel)); // JPEG
    ExpectInvalid(MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 24, .compression = 1}, {}, pixel)); // RLE8 at 24
    ExpectInvalid(
        MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 24, .compression = 3}, Masks(0xFF, 0xFF00, 0xFF0000), pixel));
    ExpectInvalid(
        MakeBmp({.width = 1, .height = -1, .bitsPerPixel = 8, .compression = 1}, GreyTable(256), {1, 1, 0, 1}));
    ExpectInvalid(MakeBmp({.headerSize = 12, .width = 0, .height = 1, .bitsPerPixel = 24}, {}, pixel));
    ExpectInvalid(MakeBmp({.headerSize = 12, .width = 1, .height = 1, .bitsPerPixel = 16}, {}, pixel));
    // Masks that are zero, not contiguous, or beyond 16 bits at 16 bits per pixel.
    ExpectInvalid(MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 32, .compression = 3}, Masks(0, 0, 0), pixel));
    ExpectInvalid(
        MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 32, .compression = 3}, Masks(0xF0F, 0xF000, 0xF0), pixel));
    ExpectInvalid(
        MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 16, .compression = 3}, Masks(0x1F0000, 0x3E0, 0x1F), pixel));
    // Pixels, colour table or masks cut short.
    ExpectInvalid(MakeBmp({.width = 2, .height = 1, .bitsPerPixel = 24}, {}, pixel));
    ExpectInvalid(MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 8}, GreyTable(2), {}));
    Bytes shortTable = MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 8}, GreyTable(256), pixel);
    shortTable.resize(14 + 40 + 100);
    ExpectInvalid(shortTable);
    // Run-length data: a literal run past the end, a move cut short, a size beyond the data.
    ExpectInvalid(
        MakeBmp({.width = 4, .height = 1, .bitsPerPixel = 8, .compression = 1}, GreyTable(256), {0, 4, 1, 2}));
    ExpectInvalid(MakeBmp({.width = 4, .height = 1, .bitsPerPixel = 8, .compression = 1}, GreyTable(256), {0, 2, 1}));
    ExpectInvalid(MakeBmp({.width = 4, .height = 1, .bitsPerPixel = 8, .compression = 1, .sizeImage = 100},
                          GreyTable(256), {0, 1}));
}

TEST(BmpReader, PixelOffsetMustLieInsideTheFile)
{
    Bytes file = MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 24}, {}, {1, 2, 3, 0});
    file[10] = 200; // bfOffBits past the end
    ExpectInvalid(file);
    file[10] = 20; // inside the information header
    ExpectInvalid(file);
}

TEST(BmpReader, HugeSizesFailBeforeAllocating)
{
    // 65,535 x 65,535 claimed by a file of about 100 bytes, in every form that could allocate.
    Bytes pixels(40, 0);
    ExpectInvalid(MakeBmp({.width = 65535, .height = 65535, .bitsPerPixel = 24}, {}, pixels));
    ExpectInvalid(MakeBmp({.width = 65535, .height = -65535, .bitsPerPixel = 1}, GreyTable(2), pixels));
    ExpectInvalid(MakeBmp({.headerSize = 12, .width = 65535, .height = 65535, .bitsPerPixel = 1}, Bytes(6, 0), pixels));
    ExpectInvalid(
        MakeBmp({.width = 65535, .height = 65535, .bitsPerPixel = 8, .compression = 1}, GreyTable(256), {0, 1}));
    ExpectInvalid(
        MakeBmp({.width = 16000, .height = 16000, .bitsPerPixel = 4, .compression = 2}, GreyTable(16), {0, 1}));
    ExpectInvalid(MakeBmp({.width = 65536, .height = 1, .bitsPerPixel = 1}, GreyTable(2), Bytes(8192, 0)));
}

class BmpFileOnDisk : public ::testing::Test {
protected:
    const test::ScratchFolder scratch_{"vorlane-bmp"};
    const std::filesystem::path folder_ = scratch_.Path();
};

TEST_F(BmpFileOnDisk, ReadsAFileAndRefusesWhatCannotBeOpened)
{
    const auto path = folder_ / "a.bmp";
    const Bytes file = MakeBmp({.width = 1, .height = 1, .bitsPerPixel = 24}, {}, {1, 2, 3, 0});
    test::WriteFile(path, file);
    EXPECT_EQ(ReadBmpFile(path.string()).PixelRgb(0, 0), MakeRgb(3, 2, 1));

    // A pipe is refused at once rather than waited on for a writer.
    ASSERT_EQ(::mkfifo((folder_ / "pipe.bmp").string().c_str(), 0600), 0);
    for (const auto& bad : {folder_ / "missing.bmp", folder_, folder_ / "pipe.bmp"}) {
        EXPECT_EQ(test::ErrorOf<EFOpenError>([&] { ReadBmpFile(bad.string()); }),
                  "ファイル " + bad.string() + " は開けません");
    }

    // Larger than the first block read: the rest follows; a large file that is no bitmap fails early.
    Bitmap large(200, 200, 24);
    large.SetPixelRgb(199, 0, MakeRgb(1, 2, 3));
    const auto largePath = folder_ / "large.bmp";
    const Bytes largeFile = WriteBmp(large);
    test::WriteFile(largePath, largeFile);
    EXPECT_EQ(ReadBmpFile(largePath.string()), large);
    const auto zeros = folder_ / "zeros.bmp";
    test::WriteFile(zeros, std::string(300000, '\0'));
    EXPECT_THROW(ReadBmpFile(zeros.string()), EInvalidGraphic);

    const auto damaged = folder_ / "damaged.bmp";
    test::WriteFile(damaged, "BM not a bitmap");
    EXPECT_THROW(ReadBmpFile(damaged.string()), EInvalidGraphic);
}

} // namespace
} // namespace vorlane

namespace vorlane {
namespace {

// The thumbnail reads only the rows it takes of a file past the first block, and falls back to reading
// the file whole for the other forms: either way the picture and the error are those of ReadBmpFile.
TEST_F(BmpFileOnDisk, StretchedFileEqualsTheWholeFileStretched)
{
    uint32_t seed = 1;
    const auto noise = [&seed](size_t bytes) {
        Bytes data(bytes);
        for (uint8_t& b : data)
            b = uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
        return data;
    };
    const auto stride = [](int width, int bits) { return Bitmap::StrideFor(width, bits); };
    struct Case {
        const char* name;
        Bytes file;
    };
    const std::vector<Case> cases = {
        {"1 bit",
         MakeBmp({.width = 2001, .height = 300, .bitsPerPixel = 1}, GreyTable(2), noise(stride(2001, 1) * 300))},
        {"4 bits, short table", MakeBmp({.width = 999, .height = -170, .bitsPerPixel = 4, .colorsUsed = 5},
                                        GreyTable(5), noise(stride(999, 4) * 170))},
        {"8 bits",
         MakeBmp({.width = 401, .height = 203, .bitsPerPixel = 8}, GreyTable(256), noise(stride(401, 8) * 203))},
        {"16 bits 5-5-5", MakeBmp({.width = 300, .height = 150, .bitsPerPixel = 16}, {}, noise(stride(300, 16) * 150))},
        {"16 bits 5-6-5", MakeBmp({.width = 300, .height = 150, .bitsPerPixel = 16, .compression = 3},
                                  Masks(0xF800, 0x07E0, 0x001F), noise(stride(300, 16) * 150))},
        {"24 bits top-down",
         MakeBmp({.width = 333, .height = -77, .bitsPerPixel = 24}, {}, noise(stride(333, 24) * 77))},
        {"32 bits", MakeBmp({.width = 130, .height = 129, .bitsPerPixel = 32}, {}, noise(stride(130, 32) * 129))},
        {"core 24 bits",
         MakeBmp({.headerSize = 12, .width = 260, .height = 90, .bitsPerPixel = 24}, {}, noise(stride(260, 24) * 90))},
        {"cut short",
         MakeBmp({.width = 401, .height = 203, .bitsPerPixel = 8}, GreyTable(256), noise(stride(401, 8) * 200))},
        {"offset past the end",
         [&] {
             Bytes file =
                 MakeBmp({.width = 401, .height = 203, .bitsPerPixel = 8}, GreyTable(256), noise(stride(401, 8) * 203));
             file[12] = 0x7F;
             return file;
         }()},
    };
    for (const Case& c : cases) {
        ASSERT_GT(c.file.size(), 65536u) << c.name;
        const auto path = (folder_ / "big.bmp").string();
        test::WriteFile(path, c.file);
        for (const int display : {24, 16, 8, 1}) {
            SCOPED_TRACE(std::string(c.name) + ", display " + std::to_string(display));
            Bitmap whole, streamed;
            const std::string wholeError = test::ErrorOf([&] {
                const Bitmap picture = ReadBmpFile(path);
                whole = Stretch(picture, 32, 32, ChooseStretchMode(display, picture.BitsPerPixel()));
            });
            const std::string streamedError = test::ErrorOf([&] { streamed = StretchBmpFile(path, 32, 32, display); });
            EXPECT_EQ(streamedError, wholeError);
            EXPECT_TRUE(streamed == whole);
        }
    }
}

} // namespace
} // namespace vorlane
