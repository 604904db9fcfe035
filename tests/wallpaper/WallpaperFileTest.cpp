// The file handed to the desktop: bitmaps as they are, JPEG pictures as "Temp.bmp".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numeric>
#include <sstream>

#include <jpeglib.h>
#include <jerror.h>

#include "image/BmpFile.h"
#include "image/Jpeg.h"
#include "platform/ByteCursor.h"
#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"
#include "tests/TestFiles.h"
#include "tests/image/JpegEncode.h"
#include "tests/platform/FileSizeLimit.h"
#include "tests/wallpaper/Sandbox.h"
#include "wallpaper/BitmapRows.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

// libjpeg driven directly, with the settings the program promises: full size, accurate DCT, block
// smoothing, RGB or at most 236 colours.
struct Decoded {
    int width = 0;
    int height = 0;
    int colours = 0; // 0 when not quantised
    std::vector<Rgb> pixels;
};

Decoded ReferenceDecode(const std::vector<uint8_t>& jpeg, bool quantise)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.dct_method = JDCT_ISLOW;
    info.do_block_smoothing = TRUE;
    if (quantise) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = 236;
    } else {
        info.out_color_space = JCS_RGB;
    }
    jpeg_start_decompress(&info);
    Decoded result;
    result.width = int(info.output_width);
    result.height = int(info.output_height);
    result.colours = quantise ? info.actual_number_of_colors : 0;
    std::vector<JSAMPLE> row(size_t(info.output_width) * size_t(info.output_components));
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        for (int x = 0; x < result.width; ++x) {
            if (quantise) {
                const int index = row[size_t(x)];
                const auto channel = [&](int c) {
                    return info.colormap[info.out_color_components == 1 ? 0 : c][index];
                };
                result.pixels.push_back(MakeRgb(channel(0), channel(1), channel(2)));
            } else {
                result.pixels.push_back(MakeRgb(row[size_t(x) * 3], row[size_t(x) * 3 + 1], row[size_t(x) * 3 + 2]));
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return result;
}

using test::ReadBytes;
using test::WriteFile;

class WallpaperFileTest : public test::Sandbox {
protected:
    std::string Temp() const { return path::ProgramFolder() + "Temp.bmp"; }

    // Converts a JPEG of the test picture and checks "Temp.bmp" against libjpeg's own decode.
    void ExpectConvertedLikeLibjpeg(const std::string& name, bool greyscale, int displayBits)
    {
        const auto jpeg = test::EncodeJpeg(test::TestPicture(37, 23, 5), {.greyscale = greyscale});
        WriteFile(File(name), jpeg);
        ASSERT_EQ(PrepareWallpaperFile(File(name), displayBits), Temp());

        const auto bytes = ReadBytes(Temp());
        ByteReader header(bytes);
        EXPECT_EQ(header.ReadString(2), "BM");
        EXPECT_EQ(header.ReadU32(), bytes.size()); // file size
        header.Seek(18);
        EXPECT_EQ(header.ReadI32(), 37);
        EXPECT_EQ(header.ReadI32(), 23); // positive: bottom-up
        header.Skip(2);
        const bool quantised = greyscale || displayBits <= 8;
        EXPECT_EQ(header.ReadU16(), quantised ? 8 : 24);
        EXPECT_EQ(header.ReadU32(), 0u);            // uncompressed
        const size_t stride = quantised ? 40 : 112; // 37 or 111 bytes, padded to 4
        const size_t palette = quantised ? 4 * size_t(ReferenceDecode(jpeg, true).colours) : 0;
        EXPECT_LE(palette, 4u * 236);
        EXPECT_EQ(bytes.size(), 54 + palette + stride * 23);

        // Laid out exactly as the bitmap writer lays out the decoded picture.
        EXPECT_EQ(bytes, WriteBmp(DecodeJpegFile(File(name), displayBits)));

        const Bitmap written = ReadBmpFile(Temp());
        const Decoded expected = ReferenceDecode(jpeg, quantised);
        ASSERT_EQ(written.Width(), expected.width);
        ASSERT_EQ(written.Height(), expected.height);
        int wrong = 0;
        for (int y = 0; y < expected.height; ++y)
            for (int x = 0; x < expected.width; ++x)
                wrong += written.PixelRgb(x, y) != expected.pixels[size_t(y) * size_t(expected.width) + size_t(x)];
        EXPECT_EQ(wrong, 0);
    }
};

TEST_F(WallpaperFileTest, BitmapsAreUsedAsTheyAre)
{
    EXPECT_EQ(PrepareWallpaperFile("/p/Sea.BMP", 24), "/p/Sea.BMP");
    EXPECT_EQ(PrepareWallpaperFile("/p/sea.bmp", 24), "/p/sea.bmp"); // not looked at: it need not exist
    EXPECT_EQ(PrepareWallpaperFile("/p.d/sea.Bmp", 8), "/p.d/sea.Bmp");
    const std::string longBitmap = "/" + std::string(300, 'b') + ".bmp";
    EXPECT_EQ(PrepareWallpaperFile(longBitmap, 24), longBitmap);
    EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(WallpaperFileTest, ColourJpegBecomes24BitTempBmp)
{
    ExpectConvertedLikeLibjpeg("a.jpg", false, 24);
}

TEST_F(WallpaperFileTest, GreyscaleJpegBecomesPalettedTempBmp)
{
    ExpectConvertedLikeLibjpeg("grey.jpeg", true, 24);
}

TEST_F(WallpaperFileTest, EightBitDisplayQuantisesColourToo)
{
    ExpectConvertedLikeLibjpeg("a.jpe", false, 8);
}

// Rows handed on as they are decoded; a copy of them, and what Finished() named.
struct RecordedRows final : PictureRows {
    void Begin(int width, int height, int bitsPerPixel, std::span<const RgbQuad> palette) override
    {
        picture = Bitmap(width, height, bitsPerPixel);
        if (bitsPerPixel <= 8)
            picture.Palette().assign(palette.begin(), palette.end());
    }
    void Row(int y, const uint8_t* row) override
    {
        order.push_back(y);
        std::copy_n(row, (size_t(picture.Width()) * size_t(picture.BitsPerPixel()) + 7) / 8, picture.Row(y));
    }
    void Finished(const std::string& file) override { finished = file; }
    Bitmap picture;
    std::vector<int> order;
    std::string finished;
};

TEST_F(WallpaperFileTest, PictureOfManyBandsIsWrittenBottomUpAndHandedOnTopDown)
{
    // 4500-byte rows: the file is written in several bands of rows, each at its own place.
    WriteFile(File("wide.jpg"), test::EncodeJpeg(test::TestPicture(1500, 800, 3)));
    RecordedRows rows;
    ASSERT_EQ(PrepareWallpaperFile(File("wide.jpg"), 24, &rows), Temp());
    const Bitmap decoded = DecodeJpegFile(File("wide.jpg"), 24);
    EXPECT_EQ(ReadBytes(Temp()), WriteBmp(decoded));
    std::vector<int> topDown(800);
    std::iota(topDown.begin(), topDown.end(), 0);
    EXPECT_EQ(rows.order, topDown);
    EXPECT_TRUE(rows.picture == decoded);
    EXPECT_EQ(rows.finished, Temp());
}

TEST_F(WallpaperFileTest, BitmapRowsComeTopDownFromEveryBandOfTheFile)
{
    // 4500-byte rows: read in several bands of rows, the last one short; stored either way up; a colour
    // table; run-length data, which is read whole.
    const Bitmap wide = test::TestPicture(1500, 800, 4);
    Bitmap paletted(301, 7, 8);
    paletted.Palette().assign(256, RgbQuad{1, 2, 3, 0});
    paletted.Palette()[9] = RgbQuad{200, 100, 50, 0};
    for (int x = 0; x < 301; ++x)
        paletted.SetPixelValue(x, x % 7, 9);
    auto topDown = WriteBmp(wide);
    const int32_t negative = -wide.Height();
    std::memcpy(topDown.data() + 22, &negative, 4); // biHeight, little-endian here
    for (int y = 0; y < wide.Height(); ++y)
        std::copy_n(wide.Row(y), wide.Stride(), topDown.begin() + ptrdiff_t(54 + size_t(y) * wide.Stride()));
    const std::pair<const char*, std::vector<uint8_t>> files[] = {
        {"bottom-up.bmp", WriteBmp(wide)},
        {"top-down.bmp", topDown},
        {"paletted.bmp", WriteBmp(paletted)},
        {"rle8.bmp", ReadBytes(fs::path(VORLANE_TEST_DATA) / "fuzz/fuzz_bmp/rle8.bmp")},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        WriteFile(File(name), bytes);
        RecordedRows rows;
        BitmapRows(File(name)).SendTo(rows);
        const Bitmap expected = ReadBmpFile(File(name));
        std::vector<int> order(size_t(expected.Height()));
        std::iota(order.begin(), order.end(), 0);
        EXPECT_EQ(rows.order, order);
        EXPECT_TRUE(rows.picture == expected);
    }

    // Cut short after it was opened: the rows that are gone fail the picture.
    const BitmapRows cut(File("bottom-up.bmp"));
    fs::resize_file(File("bottom-up.bmp"), 54 + 400 * wide.Stride());
    RecordedRows rows;
    EXPECT_EQ(test::ErrorOf<EInvalidGraphic>([&] { cut.SendTo(rows); }), "ビットマップイメージが不正です");
}

TEST_F(WallpaperFileTest, AnyOtherNameIsTakenForJpeg)
{
    WriteFile(File("noextension"), test::EncodeJpeg(test::TestPicture(8, 8, 1)));
    EXPECT_EQ(PrepareWallpaperFile(File("noextension"), 24), Temp());
    WriteFile(File("picture.ppm"), std::string_view("P6 1 1 255 \1\2\3", 14)); // a kind not read
    const std::string error = test::ErrorOf<EJPEG>([&] { PrepareWallpaperFile(File("picture.ppm"), 24); });
    EXPECT_EQ(error.rfind("JPEG エラー #", 0), 0u) << error;
}

TEST_F(WallpaperFileTest, FailuresLeaveTheOldTempBmp)
{
    WriteFile(Temp(), "old");
    EXPECT_EQ(test::ErrorOf<EFOpenError>([&] { PrepareWallpaperFile(File("missing.jpg"), 24); }),
              "ファイル " + File("missing.jpg") + " は開けません");
    auto jpeg = test::EncodeJpeg(test::TestPicture(64, 64, 2));
    const uint8_t startOfFrame[] = {0xFF, 0xC0};
    const auto frame = std::search(jpeg.begin(), jpeg.end(), std::begin(startOfFrame), std::end(startOfFrame));
    ASSERT_NE(frame, jpeg.end());
    frame[4] = 13; // a sample precision no decoder here takes: a fatal error, unlike a short file
    WriteFile(File("damaged.jpg"), jpeg);
    EXPECT_THROW(PrepareWallpaperFile(File("damaged.jpg"), 24), EJPEG);

    // A picture claiming far more pixels than its file holds (libjpeg would fill them in grey, into a
    // 768 MB file), and one over the pixel limit whose file could hold it: refused before decoding.
    auto claim = [&](uint16_t width, uint16_t height, size_t padding) {
        auto bytes = test::EncodeJpeg(test::TestPicture(64, 64, 2));
        const auto sof = std::search(bytes.begin(), bytes.end(), std::begin(startOfFrame), std::end(startOfFrame));
        sof[5] = uint8_t(height >> 8), sof[6] = uint8_t(height), sof[7] = uint8_t(width >> 8), sof[8] = uint8_t(width);
        for (; padding > 0; padding -= std::min<size_t>(padding, 60000)) { // comment segments after SOI
            const size_t n = std::min<size_t>(padding, 60000);
            std::vector<uint8_t> comment{0xFF, 0xFE, uint8_t((n + 2) >> 8), uint8_t(n + 2)};
            comment.resize(n + 4, 'x');
            bytes.insert(bytes.begin() + 2, comment.begin(), comment.end());
        }
        return bytes;
    };
    const auto refusal = [&](const std::string& name, const std::vector<uint8_t>& bytes) -> std::string {
        WriteFile(File(name), bytes);
        return test::ErrorOf<EJPEG>([&] { PrepareWallpaperFile(File(name), 24); });
    };
    EXPECT_EQ(refusal("claims.jpg", claim(8000, 8000, 0)), "JPEG エラー #" + std::to_string(JERR_INPUT_EOF));
    EXPECT_EQ(refusal("huge.jpg", claim(16384, 8193, 300000)), "JPEG エラー #" + std::to_string(JERR_IMAGE_TOO_BIG));
    EXPECT_EQ(refusal("fits.jpg", claim(2048, 2048, 70000)), "(no error)"); // a plain 4 MP picture in 70 KB
    ASSERT_TRUE(fs::remove(Temp()));
    WriteFile(Temp(), "old");

    WriteFile(File("good.jpg"), test::EncodeJpeg(test::TestPicture(64, 64, 2)));
    {
        const FileSizeLimit diskFull(100); // the new file cannot be written completely
        EXPECT_THROW(PrepareWallpaperFile(File("good.jpg"), 24), EWriteError);
    }
    EXPECT_EQ(ReadBytes(Temp()), (std::vector<uint8_t>{'o', 'l', 'd'}));
    for (const auto& entry : fs::directory_iterator(path::ProgramFolder()))
        EXPECT_EQ(entry.path().filename(), "Temp.bmp"); // no temporary file left behind
}

TEST_F(WallpaperFileTest, MissingProgramFolderCannotTakeTempBmp)
{
    WriteFile(File("a.jpg"), test::EncodeJpeg(test::TestPicture(8, 8, 1)));
    path::SetProgramFolderForTesting(File("gone") + "/");
    EXPECT_EQ(test::ErrorOf<EFCreateError>([&] { PrepareWallpaperFile(File("a.jpg"), 24); }),
              "ファイル " + File("gone") + "/Temp.bmp を作成できません");
}

TEST_F(WallpaperFileTest, LongTempPathIsNamedWhole)
{
    const std::string deep = File(std::string(200, 'd')) + "/" + std::string(60, 'e') + "/";
    fs::create_directories(deep);
    path::SetProgramFolderForTesting(deep);
    WriteFile(File("a.jpg"), test::EncodeJpeg(test::TestPicture(8, 8, 1)));
    const std::string result = PrepareWallpaperFile(File("a.jpg"), 24);
    EXPECT_EQ(result, deep + "Temp.bmp");
    EXPECT_EQ(ReadBmpFile(deep + "Temp.bmp").Width(), 8);
}

} // namespace
} // namespace vorlane
