// The streamed JPEG stretch against an independent reference: the full-size decode, then nearest-pixel
// sampling (or averaging) written out here on its own.
#include "image/JpegThumbnail.h"

#include <gtest/gtest.h>

#include <jerror.h>

#include "image/Jpeg.h"
#include "image/JpegDecoder.h"
#include "platform/Exceptions.h"
#include "tests/image/JpegEncode.h"
#include "tests/ErrorOf.h"

namespace vorlane {
namespace {

Bitmap Streamed(const std::vector<uint8_t>& jpeg, int display, int size = 32)
{
    JpegDecoder decoder(jpeg);
    return StretchJpeg(decoder, size, size, display);
}

Bitmap Reference(const std::vector<uint8_t>& jpeg, int display, int size = 32)
{
    const Bitmap full = DecodeJpeg(jpeg, display);
    const bool halftone = display <= 8 && display < full.BitsPerPixel();
    return halftone ? test::ReferenceAverage(full, size, size) : test::ReferenceNearest(full, size, size);
}

struct Case {
    const char* name;
    int width;
    int height;
    test::JpegEncodeOptions options;
};

const Case Cases[] = {
    {"420", 640, 480, {}},
    {"420 odd size", 1001, 777, {}},
    {"444", 513, 389, {.horizontalSampling = 1, .verticalSampling = 1}},
    {"422", 700, 301, {.horizontalSampling = 2, .verticalSampling = 1}},
    {"440", 301, 700, {.horizontalSampling = 1, .verticalSampling = 2}},
    {"progressive 420", 800, 600, {.progressive = true}},
    {"progressive 444 odd", 333, 999, {.horizontalSampling = 1, .verticalSampling = 1, .progressive = true}},
    {"progressive 422", 701, 333, {.horizontalSampling = 2, .verticalSampling = 1, .progressive = true}},
    {"progressive 440", 333, 701, {.horizontalSampling = 1, .verticalSampling = 2, .progressive = true}},
    // Chroma tripled across and doubled down: rows come in pairs with no context rows, so a skip can
    // start halfway through a pair.
    {"luma 3x2", 301, 203, {.horizontalSampling = 3, .verticalSampling = 2}},
    {"progressive luma 3x2", 40, 68, {.horizontalSampling = 3, .verticalSampling = 2, .progressive = true}},
    {"greyscale", 517, 403, {.greyscale = true}},
    {"greyscale progressive", 250, 640, {.greyscale = true, .progressive = true}},
    {"restart markers", 900, 650, {.restartInterval = 3}},
    {"restart markers progressive", 500, 650, {.progressive = true, .restartInterval = 7}},
    {"low quality", 1280, 96, {.quality = 20}},
    {"tall thin", 33, 2000, {}},
    {"wide flat", 2000, 33, {}},
    {"smaller than the thumbnail", 8, 8, {}},
    {"odd small", 13, 47, {.horizontalSampling = 1, .verticalSampling = 2}},
    {"one pixel", 1, 1, {}},
    {"one row", 500, 1, {}},
    {"320x32", 320, 32, {.horizontalSampling = 1, .verticalSampling = 1}},
};

TEST(StretchJpeg, EqualsFullDecodeThenSamplingForEveryLayoutAndDisplay)
{
    uint32_t seed = 10;
    for (const Case& c : Cases) {
        const std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(c.width, c.height, seed++), c.options);
        for (const int display : {32, 24, 16, 8, 4, 1}) {
            SCOPED_TRACE(std::string(c.name) + ", display " + std::to_string(display));
            EXPECT_EQ(Streamed(jpeg, display), Reference(jpeg, display));
        }
    }
}

TEST(StretchJpeg, EqualsFullDecodeForOtherTargetSizes)
{
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(300, 300, 3));
    for (const int size : {1, 7, 31, 33, 150, 299, 300, 301, 600}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(Streamed(jpeg, 24, size), Reference(jpeg, 24, size));
    }
}

TEST(StretchJpeg, DamagedFilesGiveWhatTheFullDecodeGives)
{
    for (const bool progressive : {false, true}) {
        const std::vector<uint8_t> whole =
            test::EncodeJpeg(test::TestPicture(640, 480, 9), {.progressive = progressive});
        for (const size_t keep : {whole.size() / 5, whole.size() / 2, whole.size() - 3}) {
            SCOPED_TRACE(keep);
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(keep));
            EXPECT_EQ(Streamed(cut, 24), Reference(cut, 24));
        }
        // Bytes flipped in the middle of the entropy-coded data.
        std::vector<uint8_t> flipped = whole;
        for (size_t i = whole.size() / 2; i < whole.size() / 2 + 40; i += 3)
            flipped[i] ^= 0x5A;
        Bitmap streamed, full;
        const std::string streamedError = test::ErrorOf<EJPEG>([&] { streamed = Streamed(flipped, 24); });
        EXPECT_EQ(streamedError, test::ErrorOf<EJPEG>([&] { full = Reference(flipped, 24); }));
        EXPECT_EQ(streamed, full);
    }
}

TEST(StretchJpeg, LargeHeaderWithLittleDataGivesLibjpegsGreyWithoutTheWholePicture)
{
    // 20,000 x 12,000 is within the limits, but the data end after the first rows: the full decode would
    // hold 720 MB of grey; the thumbnail holds a row.
    std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(64, 64, 2));
    for (size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = uint8_t(12000 >> 8), jpeg[i + 6] = uint8_t(12000 & 0xFF);
            jpeg[i + 7] = uint8_t(20000 >> 8), jpeg[i + 8] = uint8_t(20000 & 0xFF);
            break;
        }
    const Bitmap thumbnail = Streamed(jpeg, 24);
    for (int y = 1; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(thumbnail.PixelRgb(x, y), MakeRgb(128, 128, 128)) << x << "," << y;
}

TEST(StretchJpeg, ProgressivePicturesCutAfterEachScanMatchTheSmoothedFullDecode)
{
    // Cut before a scan, the later coefficients are missing and libjpeg's block smoothing fills them in
    // from neighbouring blocks, rows above and below the ones kept included.
    for (const bool colour : {true, false}) {
        const std::vector<uint8_t> whole =
            test::EncodeJpeg(test::TestPicture(480, 640, 12), {.greyscale = !colour, .progressive = true});
        int scans = 0;
        for (size_t i = 0; i + 1 < whole.size(); ++i) {
            if (whole[i] != 0xFF || whole[i + 1] != 0xDA || scans++ == 0)
                continue;
            SCOPED_TRACE("cut before scan " + std::to_string(scans));
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(i));
            EXPECT_EQ(Streamed(cut, 24), Reference(cut, 24));
        }
        EXPECT_GE(scans, colour ? 10 : 6);
    }
}

} // namespace
} // namespace vorlane
