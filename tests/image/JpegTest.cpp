#include "image/Jpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include <unistd.h>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"
#include "tests/TestFiles.h"
#include "tests/image/JpegEncode.h"

namespace vorlane {
namespace {

std::string JpegMessage(int code)
{
    return "JPEG エラー #" + std::to_string(code);
}

template <typename F>
std::string JpegErrorOf(F&& f)
{
    return test::ErrorOf<EJPEG>(f);
}

int MaxChannelDifference(Rgb a, Rgb b)
{
    return std::max(
        {std::abs(RedOf(a) - RedOf(b)), std::abs(GreenOf(a) - GreenOf(b)), std::abs(BlueOf(a) - BlueOf(b))});
}

// A baseline header (SOI, DQT, SOF0, DHT, SOS) for a picture of the given size, with no data after it.
std::vector<uint8_t> HeaderClaiming(int width, int height)
{
    std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(16, 16, 1));
    // SOF0 holds the height, then the width, 5 bytes after its marker.
    for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = uint8_t(height >> 8);
            jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8);
            jpeg[i + 8] = uint8_t(width);
            break;
        }
    }
    return jpeg;
}

TEST(DecodeJpeg, ColourPictureDecodesAtFullSizeCloseToTheOriginal)
{
    const Bitmap original = test::TestPicture(45, 29, 3);
    const Bitmap decoded =
        DecodeJpeg(test::EncodeJpeg(original, {.quality = 100, .horizontalSampling = 1, .verticalSampling = 1}), 24);
    ASSERT_EQ(decoded.Width(), 45);
    ASSERT_EQ(decoded.Height(), 29);
    ASSERT_EQ(decoded.BitsPerPixel(), 24);
    int worst = 0;
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 45; ++x)
            worst = std::max(worst, MaxChannelDifference(decoded.PixelRgb(x, y), original.PixelRgb(x, y)));
    EXPECT_LE(worst, 12);
}

// A decode written apart from the program's, straight through libjpeg with the settings named: the
// picture at full size, quantised pictures with their table.
struct LibjpegSettings {
    J_DCT_METHOD dct = JDCT_ISLOW;
    bool smoothing = true;
    bool quantise = false;
    J_DITHER_MODE dither = JDITHER_FS;
};

Bitmap LibjpegDecode(const std::vector<uint8_t>& jpeg, const LibjpegSettings& settings)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    errors.emit_message = [](j_common_ptr, int) {};
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.dct_method = settings.dct;
    info.do_block_smoothing = settings.smoothing;
    if (settings.quantise) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = 236;
        info.dither_mode = settings.dither;
    } else {
        info.out_color_space = JCS_EXT_BGR;
    }
    jpeg_start_decompress(&info);
    Bitmap picture(int(info.output_width), int(info.output_height), settings.quantise ? 8 : 24);
    if (settings.quantise) {
        picture.Palette().clear();
        const bool grey = info.out_color_components == 1;
        for (int i = 0; i < info.actual_number_of_colors; ++i)
            picture.Palette().push_back({.blue = info.colormap[grey ? 0 : 2][i],
                                         .green = info.colormap[grey ? 0 : 1][i],
                                         .red = info.colormap[0][i]});
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.Row(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return picture;
}

TEST(DecodeJpeg, UsesTheAccurateDctBlockSmoothingAndDefaultDithering)
{
    // Each setting changes these pictures, so a decoder that used another would differ from the reference.
    const std::vector<uint8_t> colour = test::EncodeJpeg(test::TestPicture(160, 120, 21), {.quality = 75});
    EXPECT_EQ(DecodeJpeg(colour, 24), LibjpegDecode(colour, {}));
    EXPECT_NE(LibjpegDecode(colour, {}), LibjpegDecode(colour, {.dct = JDCT_IFAST}));

    // Block smoothing shows in a progressive picture whose later scans are missing.
    const std::vector<uint8_t> progressive = test::EncodeJpeg(test::TestPicture(160, 120, 22), {.progressive = true});
    std::vector<uint8_t> cut;
    for (size_t i = 0, scans = 0; i + 1 < progressive.size(); ++i)
        if (progressive[i] == 0xFF && progressive[i + 1] == 0xDA && ++scans == 3) {
            cut.assign(progressive.begin(), progressive.begin() + std::ptrdiff_t(i));
            break;
        }
    ASSERT_FALSE(cut.empty());
    EXPECT_EQ(DecodeJpeg(cut, 24), LibjpegDecode(cut, {}));
    EXPECT_NE(LibjpegDecode(cut, {}), LibjpegDecode(cut, {.smoothing = false}));

    // Greyscale pictures and 8-bit displays: 236 colours, libjpeg's own dithering.
    const std::vector<uint8_t> grey = test::EncodeJpeg(test::TestPicture(160, 120, 23), {.greyscale = true});
    EXPECT_EQ(DecodeJpeg(grey, 24), LibjpegDecode(grey, {.quantise = true}));
    EXPECT_EQ(DecodeJpeg(colour, 8), LibjpegDecode(colour, {.quantise = true}));
    EXPECT_NE(LibjpegDecode(colour, {.quantise = true}),
              LibjpegDecode(colour, {.quantise = true, .dither = JDITHER_NONE}));
}

TEST(DecodeJpeg, GreyscaleIsQuantisedTo236GreysWithATable)
{
    const Bitmap decoded = DecodeJpeg(test::EncodeJpeg(test::TestPicture(300, 200, 4), {.greyscale = true}), 24);
    ASSERT_EQ(decoded.BitsPerPixel(), 8);
    ASSERT_EQ(decoded.Palette().size(), 236u);
    std::set<uint32_t> used;
    for (int y = 0; y < decoded.Height(); ++y)
        for (int x = 0; x < decoded.Width(); ++x) {
            ASSERT_LT(decoded.PixelValue(x, y), 236u);
            used.insert(decoded.PixelValue(x, y));
        }
    EXPECT_GT(used.size(), 100u); // dithered, not posterised
    for (const RgbQuad& q : decoded.Palette()) {
        EXPECT_EQ(q.red, q.green);
        EXPECT_EQ(q.green, q.blue);
    }
    EXPECT_EQ(decoded.Palette().front().red, 0);
    EXPECT_EQ(decoded.Palette().back().red, 255);
}

TEST(DecodeJpeg, ColourOnA256ColourDisplayIsQuantisedToAtMost236Colours)
{
    const Bitmap original = test::TestPicture(120, 80, 5);
    for (const int display : {8, 4, 1}) {
        const Bitmap decoded = DecodeJpeg(test::EncodeJpeg(original), display);
        ASSERT_EQ(decoded.BitsPerPixel(), 8);
        ASSERT_LE(decoded.Palette().size(), 236u);
        ASSERT_GT(decoded.Palette().size(), 16u);
        for (int y = 0; y < decoded.Height(); ++y)
            for (int x = 0; x < decoded.Width(); ++x)
                ASSERT_LT(decoded.PixelValue(x, y), decoded.Palette().size());
    }
    EXPECT_EQ(DecodeJpeg(test::EncodeJpeg(original), 16).BitsPerPixel(), 24);
}

TEST(DecodeJpeg, OtherFormatsFailWithLibjpegsMessageNumber)
{
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'};
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpeg(png, 24); }), JpegMessage(JERR_NO_SOI));
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpeg(gif, 24); }), JpegMessage(JERR_NO_SOI));
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpeg({}, 24); }), JpegMessage(JERR_INPUT_EMPTY));
    const std::vector<uint8_t> soiOnly = {0xFF, 0xD8};
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpeg(soiOnly, 24); }).rfind("JPEG エラー #", 0), 0u);
}

TEST(DecodeJpeg, EnormousHeadersFailBeforeAnythingIsAllocated)
{
    // 65,535 a side is past libjpeg's own limit; 40,000 x 40,000 is within it but not within a Bitmap.
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpeg(HeaderClaiming(65535, 65535), 24); }), JpegMessage(JERR_IMAGE_TOO_BIG));
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpeg(HeaderClaiming(40000, 40000), 24); }), JpegMessage(JERR_OUT_OF_MEMORY));
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpeg(HeaderClaiming(40000, 40000), 8); }), JpegMessage(JERR_OUT_OF_MEMORY));
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpeg(HeaderClaiming(0, 16), 24); }), JpegMessage(JERR_EMPTY_IMAGE));
}

TEST(DecodeJpeg, TruncatedFileDecodesWithLibjpegsGreyFill)
{
    const std::vector<uint8_t> whole =
        test::EncodeJpeg(test::TestPicture(64, 64, 6), {.horizontalSampling = 1, .verticalSampling = 1});
    const std::vector<uint8_t> half(whole.begin(), whole.begin() + std::ptrdiff_t(whole.size() / 2));
    const Bitmap full = DecodeJpeg(whole, 24);
    const Bitmap cut = DecodeJpeg(half, 24);
    ASSERT_EQ(cut.Width(), 64);
    ASSERT_EQ(cut.Height(), 64);
    EXPECT_EQ(cut.PixelRgb(0, 0), full.PixelRgb(0, 0));
    EXPECT_EQ(cut.PixelRgb(63, 63), MakeRgb(128, 128, 128));
}

TEST(DecodeJpeg, ManyScansAreRefused)
{
    // A progressive picture whose last scan is repeated until it passes the limit on scans.
    std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(16, 16, 7), {.progressive = true});
    size_t lastScan = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
            lastScan = i;
    const std::vector<uint8_t> scan(jpeg.begin() + std::ptrdiff_t(lastScan), jpeg.end() - 2);
    jpeg.resize(jpeg.size() - 2);
    const auto withRepeats = [&](int repeats) {
        std::vector<uint8_t> result = jpeg;
        for (int i = 0; i < repeats; ++i)
            result.insert(result.end(), scan.begin(), scan.end());
        result.push_back(0xFF);
        result.push_back(0xD9);
        return result;
    };
    EXPECT_EQ(DecodeJpeg(withRepeats(150), 24).Width(), 16); // libjpeg only warns about the repeats
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpeg(withRepeats(300), 24); }), JpegMessage(JERR_BAD_PROGRESSION));
}

class DecodeJpegFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const std::string path = (folder_ / name).string();
        test::WriteFile(path, bytes);
        return path;
    }
    const test::ScratchFolder scratch_{"vorlane-jpeg"};
    const std::filesystem::path folder_ = scratch_.Path();
};

TEST_F(DecodeJpegFileTest, GivesWhatDecodingTheBytesGives)
{
    for (const bool progressive : {false, true}) {
        const std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(333, 97, 8), {.progressive = progressive});
        const std::string path = Write("a.jpg", jpeg);
        EXPECT_EQ(DecodeJpegFile(path, 24), DecodeJpeg(jpeg, 24));
        const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + 3000);
        EXPECT_EQ(DecodeJpegFile(Write("cut.jpg", cut), 24), DecodeJpeg(cut, 24));
    }
    EXPECT_EQ(JpegErrorOf([&] { DecodeJpegFile(Write("empty.jpg", {}), 24); }), JpegMessage(JERR_INPUT_EMPTY));
}

TEST_F(DecodeJpegFileTest, UnopenableFilesRaiseTheOpenError)
{
    const std::string missing = (folder_ / "missing.jpg").string();
    EXPECT_EQ(test::ErrorOf<EFOpenError>([&] { DecodeJpegFile(missing, 24); }),
              "ファイル " + missing + " は開けません");
    EXPECT_THROW(DecodeJpegFile(folder_.string(), 24), EFOpenError);
}

} // namespace
} // namespace vorlane
