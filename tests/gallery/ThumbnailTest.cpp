#include "gallery/Thumbnail.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <jerror.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestSystemCalls.h"
#include "image/BmpFile.h"
#include "gallery/ImageList.h"
#include "gallery/Vorlane1.h"
#include "image/Jpeg.h"
#include "image/PictureDecoder.h"
#include "platform/Exceptions.h"
#include "tests/TestFiles.h"
#include "tests/image/JpegEncode.h"
#include "tests/ErrorOf.h"

namespace vorlane {
namespace {

constexpr Rgb White = MakeRgb(255, 255, 255);

class ThumbnailTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The placeholder: a coloured square whose left column and top row are transparent.
        Bitmap image(32, 32, 24), mask(32, 32, 1);
        mask.Palette()[1] = {.blue = 255, .green = 255, .red = 255};
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                image.SetPixelRgb(x, y, MakeRgb(uint8_t(8 * x), 40, uint8_t(8 * y)));
                mask.SetPixelValue(x, y, (x == 0 || y == 0) ? 1 : 0);
            }
        images_.SetSize(32, 32);
        images_.Add(image, &mask);
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const std::string path = (folder_ / name).string();
        test::WriteFile(path, bytes);
        return path;
    }

    const test::ScratchFolder scratch_{"vorlane-thumbs"};
    const std::filesystem::path folder_ = scratch_.Path();
    TImageList images_;
};

TEST_F(ThumbnailTest, JpegThumbnailsAreTheFullDecodeSampledAtPixelCentres)
{
    const struct {
        const char* name;
        int width, height;
        test::JpegEncodeOptions options;
    } cases[] = {
        {"a.jpg", 1200, 900, {}},
        {"b.JPEG", 999, 1001, {.horizontalSampling = 1, .verticalSampling = 1}},
        {"c.jpe", 640, 480, {.progressive = true}},
        {"noextension", 703, 405, {.restartInterval = 5}},
        {"e.jpg", 600, 500, {.greyscale = true}},
    };
    uint32_t seed = 40;
    for (const auto& c : cases) {
        const std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(c.width, c.height, seed++), c.options);
        const std::string path = Write(c.name, jpeg);
        for (const int display : {24, 16, 8}) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(display));
            const Bitmap thumbnail = MakeThumbnail(path, images_, display);
            ASSERT_EQ(thumbnail.Width(), ThumbnailSize);
            ASSERT_EQ(thumbnail.Height(), ThumbnailSize);
            ASSERT_EQ(thumbnail.BitsPerPixel(), ThumbnailBitsPerPixel);
            EXPECT_EQ(thumbnail, test::ReferenceNearest(DecodeJpeg(jpeg, display), 32, 32));
        }
        // A display of 16 colours averages the quantised picture.
        EXPECT_EQ(MakeThumbnail(path, images_, 4), test::ReferenceAverage(DecodeJpeg(jpeg, 4), 32, 32));
    }
}

TEST_F(ThumbnailTest, GreyscaleJpegIsQuantisedBeforeStretching)
{
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(320, 32, 3), {.greyscale = true});
    const Bitmap full = DecodeJpeg(jpeg, 24);
    ASSERT_EQ(full.BitsPerPixel(), 8);
    const Bitmap thumbnail = MakeThumbnail(Write("grey.jpg", jpeg), images_, 24);
    for (int ty = 0; ty < 32; ++ty)
        for (int tx = 0; tx < 32; ++tx) {
            const Rgb c = thumbnail.PixelRgb(tx, ty);
            ASSERT_EQ(c, full.PixelRgb(10 * tx + 5, ty)); // every tenth column, from the 236-grey table
            ASSERT_EQ(RedOf(c), BlueOf(c));
        }
}

TEST_F(ThumbnailTest, BitmapsAreReadWhateverTheCaseOfTheExtension)
{
    const Bitmap picture = test::TestPicture(320, 32, 5);
    for (const char* name : {"PHOTO.BMP", "photo.bmp", "Photo.Bmp"}) {
        const Bitmap thumbnail = MakeThumbnail(Write(name, WriteBmp(picture)), images_, 24);
        for (int ty = 0; ty < 32; ++ty)
            for (int tx = 0; tx < 32; ++tx)
                ASSERT_EQ(thumbnail.PixelRgb(tx, ty), picture.PixelRgb(10 * tx + 5, ty)) << name;
    }
    // Enlarged: each pixel of an 8x8 picture becomes a 4x4 square.
    const Bitmap small = test::TestPicture(8, 8, 6);
    const Bitmap thumbnail = MakeThumbnail(Write("small.bmp", WriteBmp(small)), images_, 24);
    for (int ty = 0; ty < 32; ++ty)
        for (int tx = 0; tx < 32; ++tx)
            ASSERT_EQ(thumbnail.PixelRgb(tx, ty), small.PixelRgb(tx / 4, ty / 4));
}

TEST_F(ThumbnailTest, MonochromeBitmapKeepsItsBlackLines)
{
    Bitmap picture(256, 256, 1);
    picture.Palette()[1] = {.blue = 255, .green = 255, .red = 255};
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            picture.SetPixelValue(x, y, x == 3 ? 0 : 1);
    const Bitmap thumbnail = MakeThumbnail(Write("line.bmp", WriteBmp(picture)), images_, 24);
    for (int ty = 0; ty < 32; ++ty) {
        EXPECT_EQ(thumbnail.PixelRgb(0, ty), MakeRgb(0, 0, 0));
        EXPECT_EQ(thumbnail.PixelRgb(1, ty), White);
    }
}

TEST_F(ThumbnailTest, MissingFileOrFolderGivesThePlaceholderOverWhite)
{
    for (const std::string& path : {(folder_ / "gone.jpg").string(), folder_.string()}) {
        const Bitmap thumbnail = MakeThumbnail(path, images_, 24);
        ASSERT_EQ(thumbnail.BitsPerPixel(), 24);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const Rgb expected = (x == 0 || y == 0) ? White : MakeRgb(uint8_t(8 * x), 40, uint8_t(8 * y));
                ASSERT_EQ(thumbnail.PixelRgb(x, y), expected) << path << " " << x << "," << y;
            }
        // Stored without a mask it stays opaque: the white shows where the placeholder was transparent.
        TImageList list(nullptr, 32, 32);
        list.Add(thumbnail);
        EXPECT_EQ(list.Mask(0).PixelValue(0, 0), 0u);
        EXPECT_EQ(list.Image(0).PixelRgb(0, 0), White);
    }
}

TEST_F(ThumbnailTest, FilesThatAreNotWhatTheirNameSaysFail)
{
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'};
    const std::string jpegError = "JPEG エラー #" + std::to_string(JERR_NO_SOI);
    // Where the build reads PNG and GIF, a file that starts as one is read as one, whatever its name.
    const bool formats = !PictureFormats().empty();
    const std::string pngError = formats ? "PNG エラー: ファイルが画像の途中で終わっています" : jpegError;
    const std::string gifError = formats ? "GIF エラー: no image" : jpegError;
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(Write("p.png", png), images_, 24); }), pngError);
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(Write("g.gif", gif), images_, 24); }), gifError);
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(Write("g.jpg", gif), images_, 24); }), gifError);
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(Write("noext", png), images_, 24); }), pngError);
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(Write("t.png", {'n', 'o', 'n', 'e'}), images_, 24); }), jpegError);
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(Write("empty.jpg", {}), images_, 24); }),
              "JPEG エラー #" + std::to_string(JERR_INPUT_EMPTY));
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(40, 40, 1));
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(Write("j.bmp", jpeg), images_, 24); }),
              "ビットマップイメージが不正です");
}

TEST_F(ThumbnailTest, HostileHeadersFailFastAndTruncatedJpegsStillGiveThumbnails)
{
    // A bitmap header claiming 65,535 x 65,535 at 24 bits, with nothing behind it.
    std::vector<uint8_t> bmp = WriteBmp(test::TestPicture(4, 4, 1));
    bmp.resize(54);
    bmp[18] = bmp[19] = bmp[22] = bmp[23] = 0xFF; // width and height
    bmp[20] = bmp[21] = bmp[24] = bmp[25] = 0x00;
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(Write("huge.bmp", bmp), images_, 24); }),
              "ビットマップイメージが不正です");

    std::vector<uint8_t> jpeg = test::EncodeJpeg(test::TestPicture(16, 16, 2));
    for (size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 6] = jpeg[i + 7] = jpeg[i + 8] = 0xFF;
            break;
        }
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(Write("huge.jpg", jpeg), images_, 24); }),
              "JPEG エラー #" + std::to_string(JERR_IMAGE_TOO_BIG));

    const std::vector<uint8_t> whole = test::EncodeJpeg(test::TestPicture(500, 400, 3));
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(whole.size() / 3));
    const Bitmap thumbnail = MakeThumbnail(Write("cut.jpg", cut), images_, 24);
    EXPECT_EQ(thumbnail, test::ReferenceNearest(DecodeJpeg(cut, 24), 32, 32));
    EXPECT_EQ(thumbnail.PixelRgb(31, 31), MakeRgb(128, 128, 128)); // libjpeg's grey for the missing part
}

TEST_F(ThumbnailTest, UnopenableFileRaisesTheOpenError)
{
    const std::string fifo = (folder_ / "pipe.jpg").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(test::ErrorOf([&] { MakeThumbnail(fifo, images_, 24); }), "ファイル " + fifo + " は開けません");
}

// Many pictures of every kind added at once: the gallery file is the same byte for byte whatever the
// number of threads, and a picture that fails stops the add at the same place with the same error.
TEST_F(ThumbnailTest, ManyPicturesGiveTheSameGalleryWithAnyNumberOfThreads)
{
    std::vector<std::string> files;
    for (int i = 0; i < 24; ++i) {
        const Bitmap picture = test::TestPicture(90 + 7 * i, 70 + 5 * i, uint32_t(i));
        switch (i % 4) {
        case 0:
            files.push_back(Write(std::to_string(i) + ".jpg", test::EncodeJpeg(picture)));
            break;
        case 1:
            files.push_back(Write(std::to_string(i) + ".jpg", test::EncodeJpeg(picture, {.progressive = true})));
            break;
        case 2:
            files.push_back(Write(std::to_string(i) + ".bmp", WriteBmp(picture)));
            break;
        default:
            files.push_back((folder_ / (std::to_string(i) + "-missing.jpg")).string());
            break;
        }
    }
    const std::string broken = Write("broken.bmp", {'B', 'M', 0});
    const auto add = [&](const std::vector<std::string>& names, int threads, const std::string& gallery) {
        TVorlane vorlane;
        vorlane.SetDefaultImages(images_);
        vorlane.SetManagerName((folder_ / gallery).string());
        const std::string error = test::ErrorOf([&] { vorlane.AddImages(names, threads); });
        vorlane.SetManagerName((folder_ / "saved").string()); // one path inside every file
        vorlane.SaveGallery();
        std::ifstream saved(folder_ / "saved.gsk", std::ios::binary);
        return std::make_pair(std::string(std::istreambuf_iterator<char>(saved), {}), error);
    };

    const auto one = add(files, 1, "one");
    EXPECT_EQ(one.second, "(no error)");
    std::vector<std::string> failing = files;
    failing.insert(failing.begin() + 13, broken);
    const auto oneFailing = add(failing, 1, "one-failing");
    EXPECT_EQ(oneFailing.second, "ビットマップイメージが不正です");
    for (const int threads : {2, 3, 8}) {
        EXPECT_EQ(add(files, threads, "many"), one) << threads << " threads";
        EXPECT_EQ(add(failing, threads, "many-failing"), oneFailing) << threads << " threads";
    }
}

} // namespace
} // namespace vorlane
