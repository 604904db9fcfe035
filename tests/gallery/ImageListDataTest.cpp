// Image-list data: the exact layout written, round trips, other depths, the older layout and errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "image/BmpFile.h"
#include "gallery/ImageList.h"
#include "gallery/ImageListData.h"
#include "platform/ByteCursor.h"
#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"

namespace vorlane {
namespace {

using Bytes = std::vector<uint8_t>;

// Image k: every pixel a colour of its own, so a misplaced tile or row shows.
Bitmap Picture(int k, int size = 32)
{
    Bitmap b(size, size, 24);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            b.SetPixelRgb(x, y, MakeRgb(uint8_t(8 * x + 1), uint8_t(8 * y + 1), uint8_t(40 * k + 8)));
    return b;
}

Bitmap DiagonalMask(int size = 32)
{
    Bitmap m(size, size, 1);
    m.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    for (int i = 0; i < size; ++i)
        m.SetPixelValue(i, i, 1);
    return m;
}

void Fill(TImageList& list, int count, int depth)
{
    list.SetBitsPerPixel(depth);
    const Bitmap mask = DiagonalMask(list.Width());
    for (int k = 0; k < count; ++k)
        list.Add(Picture(k, list.Width()), k % 2 ? &mask : nullptr);
}

uint32_t U32At(const Bytes& data, size_t at)
{
    ByteReader in(data);
    in.Seek(at);
    return in.ReadU32();
}

void ExpectReadError(TImageList& list, const Bytes& data)
{
    EXPECT_EQ(test::ErrorOf<EReadError>([&] { list.ReadData(data); }),
              "ストリームからの ImageList データの読み込みに失敗しました");
    EXPECT_EQ(list.Count(), 0);
}

void ExpectInvalidGraphic(TImageList& list, const Bytes& data)
{
    EXPECT_EQ(test::ErrorOf<EInvalidGraphic>([&] { list.ReadData(data); }), "ビットマップイメージが不正です");
    EXPECT_EQ(list.Count(), 0);
}

TEST(ImageListData, HeaderOfATwoImageList)
{
    TImageList list(nullptr, 32, 32);
    Fill(list, 2, 16);
    ASSERT_EQ(list.Capacity(), 4);
    const Bytes data = list.WriteData();
    const Bytes header(data.begin(), data.begin() + 28);
    const Bytes expected = {0x49, 0x4C, 0x01, 0x01, 0x02, 0x00, 0x04, 0x00, 0x04, 0x00, 0x20, 0x00, 0x20, 0x00,
                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(header, expected);
    EXPECT_EQ(data.size(), 8870u);

    // The growth step and the background colour are written as every list of the program has them,
    // whatever the list was given.
    for (PublishedProperty& p : list.PublishedProperties())
        if (p.name == "AllocBy")
            p.setInteger(8);
    list.SetBkColor(0x00FFFFFF);
    list.Add(Picture(2));
    const Bytes other = list.WriteData();
    EXPECT_EQ(Bytes(other.begin() + 8, other.begin() + 10), (Bytes{0x04, 0x00}));
    EXPECT_EQ(Bytes(other.begin() + 14, other.begin() + 18), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    TImageList back;
    back.SetBkColor(0x123456);
    back.ReadData(other);
    EXPECT_EQ(back.BkColor(), 0x123456); // the data carries no colour the list takes
}

TEST(ImageListData, OneImageAtSixteenBitsIsTheLayoutOfThePlaceholder)
{
    TImageList list(nullptr, 32, 32);
    Fill(list, 1, 16);
    const Bytes data = list.WriteData();
    ASSERT_EQ(data.size(), 28u + 8246 + 574 + 22);

    // The image bitmap: size field and offset both 54, 128 x 32 at 16 bits, 8192 bytes of rows.
    EXPECT_EQ(data[28], 'B');
    EXPECT_EQ(data[29], 'M');
    EXPECT_EQ(U32At(data, 28 + 2), 54u);
    EXPECT_EQ(U32At(data, 28 + 10), 54u);
    EXPECT_EQ(U32At(data, 28 + 14), 40u);
    EXPECT_EQ(U32At(data, 28 + 18), 128u);
    EXPECT_EQ(U32At(data, 28 + 22), 32u);
    EXPECT_EQ(U32At(data, 28 + 26), 0x00100001u); // planes 1, 16 bits per pixel
    EXPECT_EQ(U32At(data, 28 + 30), 0u);
    EXPECT_EQ(U32At(data, 28 + 34), 8192u);

    // The mask bitmap: 62 in both fields, black then white, 16 bytes a row.
    const size_t mask = 28 + 8246;
    EXPECT_EQ(data[mask], 'B');
    EXPECT_EQ(U32At(data, mask + 2), 62u);
    EXPECT_EQ(U32At(data, mask + 10), 62u);
    EXPECT_EQ(U32At(data, mask + 26), 0x00010001u); // planes 1, 1 bit per pixel
    EXPECT_EQ(U32At(data, mask + 34), 512u);
    EXPECT_EQ(U32At(data, mask + 54), 0x00000000u);
    EXPECT_EQ(U32At(data, mask + 58), 0x00FFFFFFu);
    EXPECT_EQ(Bytes(data.end() - 22, data.end()), Bytes(22, 0));

    // Pixel (0, 0) of image 0 is the first pixel of the picture's top row, stored last.
    const size_t topRow = 28 + 54 + 31 * 256;
    const uint32_t expected = list.Image(0).PixelValue(0, 0);
    EXPECT_EQ(uint32_t(data[topRow] | (data[topRow + 1] << 8)), expected);
}

TEST(ImageListData, FiveImagesWithCapacityNineLeaveTheSpareTilesZero)
{
    TImageList list(nullptr, 32, 32);
    Fill(list, 5, 16);
    list.SetCapacity(9);
    const Bytes data = list.WriteData();
    ASSERT_EQ(data.size(), 26278u);
    ByteReader header(data);
    header.Seek(6);
    EXPECT_EQ(header.ReadI16(), 9);

    const Bitmap picture = ReadBmp(std::span(data).subspan(28));
    const Bitmap mask = ReadBmp(std::span(data).subspan(28 + 24630));
    ASSERT_EQ(picture.Width(), 128);
    ASSERT_EQ(picture.Height(), 96);
    for (int k = 0; k < 12; ++k) {
        const int left = (k % 4) * 32, top = (k / 4) * 32;
        bool imageMatches = true, maskMatches = true;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const uint32_t pixel = picture.PixelValue(left + x, top + y);
                const uint32_t bit = mask.PixelValue(left + x, top + y);
                imageMatches &= pixel == (k < 5 ? list.Image(k).PixelValue(x, y) : 0u);
                maskMatches &= bit == (k < 5 ? list.Mask(k).PixelValue(x, y) : 0u);
            }
        EXPECT_TRUE(imageMatches) << "tile " << k;
        EXPECT_TRUE(maskMatches) << "tile " << k;
    }
}

TEST(ImageListData, BlackUnderTransparentPixels)
{
    TImageList list(nullptr, 32, 32);
    Fill(list, 2, 24);
    const Bytes data = list.WriteData();
    const Bitmap picture = ReadBmp(std::span(data).subspan(28));
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(picture.PixelRgb(32 + i, i), 0u); // image 1 has the diagonal mask
        EXPECT_NE(picture.PixelRgb(i, i), 0u);      // image 0 is opaque
    }

    // Data from another writer with colour under the transparent pixels: the list gives them out black
    // and writes them back black.
    Bytes coloured = data;
    for (size_t i = 0; i < 32; ++i) // rows bottom-up, 384 bytes each, after the header and the file's headers
        coloured[28 + 54 + (31 - i) * 384 + (32 + i) * 3] = 0xFF;
    TImageList back(nullptr, 32, 32);
    back.ReadData(coloured);
    EXPECT_EQ(back.Image(1), list.Image(1));
    EXPECT_EQ(back.WriteData(), data);
}

TEST(ImageListData, RoundTripsAtEveryListDepth)
{
    for (int depth : {16, 24, 32})
        for (int count : {1, 4, 7}) {
            TImageList list(nullptr, 32, 32);
            Fill(list, count, depth);
            const Bytes data = list.WriteData();
            TImageList back(nullptr, 16, 16); // takes size and depth from the data
            back.ReadData(data);
            ASSERT_EQ(back.Count(), count);
            EXPECT_EQ(back.Width(), 32);
            EXPECT_EQ(back.BitsPerPixel(), depth);
            EXPECT_EQ(back.Capacity(), list.Capacity());
            for (int k = 0; k < count; ++k) {
                EXPECT_EQ(back.Image(k), list.Image(k)) << depth << " " << k;
                EXPECT_EQ(back.Mask(k), list.Mask(k)) << depth << " " << k;
            }
            EXPECT_EQ(back.WriteData(), data);
        }
}

TEST(ImageListData, OddImageSizesKeepTheirMaskBits)
{
    TImageList list(nullptr, 5, 3);
    const Bitmap mask = [] {
        Bitmap m(5, 3, 1);
        m.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
        m.SetPixelValue(4, 2, 1);
        m.SetPixelValue(0, 0, 1);
        return m;
    }();
    for (int k = 0; k < 6; ++k) {
        Bitmap image(5, 3, 24);
        image.Fill(MakeRgb(uint8_t(k * 30 + 10), 0, 0));
        list.Add(image, &mask);
    }
    TImageList back;
    back.ReadData(list.WriteData());
    ASSERT_EQ(back.Count(), 6);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(back.Image(k), list.Image(k));
        EXPECT_EQ(back.Mask(k), list.Mask(k));
    }
}

TEST(ImageListData, ListsTallerThanABitmapRoundTrip)
{
    // 14,000 images of 1 x 20 make a picture of 70,000 rows, more than a Bitmap holds.
    TImageList list(nullptr, 1, 20);
    list.SetBitsPerPixel(16);
    Bitmap image(1, 20, 16);
    for (int k = 0; k < 14000; ++k) {
        image.SetPixelValue(0, k % 20, uint32_t(k & 0x7FFF));
        list.Add(image);
    }
    const Bytes data = list.WriteData();
    TImageList back;
    back.ReadData(data);
    ASSERT_EQ(back.Count(), 14000);
    EXPECT_EQ(back.Image(13999), list.Image(13999));
    EXPECT_EQ(back.Image(7777), list.Image(7777));
}

// Image-list data around any bitmap files: the current layout's header, then the files.
Bytes CurrentLayout(int16_t count, int width, int height, const Bytes& imageFile, const Bytes& maskFile,
                    uint16_t flags = 0x10FF)
{
    ByteWriter out;
    out.WriteU16(0x4C49);
    out.WriteU16(0x0101);
    out.WriteI16(count);
    out.WriteI16(4);
    out.WriteI16(4);
    out.WriteU16(uint16_t(width));
    out.WriteU16(uint16_t(height));
    out.WriteU32(0xFFFFFFFF);
    out.WriteU16(flags);
    for (int i = 0; i < 4; ++i)
        out.WriteI16(-1);
    out.WriteBytes(imageFile);
    out.WriteBytes(maskFile);
    out.WriteZeros(22);
    return out.Take();
}

Bitmap BlackAndWhite(int width, int height)
{
    Bitmap m(width, height, 1);
    m.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    return m;
}

TEST(ImageListData, ReadsColourTableDepths)
{
    for (int depth : {1, 4, 8}) {
        Bitmap picture(8, 2, depth);
        picture.Palette()[1] = RgbQuad{0, 0, 255, 0};
        picture.SetPixelValue(3, 1, 1); // image 1 (2 x 2 tiles, 4 across), pixel (1, 1)
        Bitmap mask = BlackAndWhite(8, 2);
        mask.SetPixelValue(2, 0, 1);
        TImageList list(nullptr, 32, 32);
        list.ReadData(CurrentLayout(2, 2, 2, WriteBmp(picture), WriteBmp(mask)));
        ASSERT_EQ(list.Count(), 2) << depth;
        EXPECT_EQ(list.Width(), 2);
        EXPECT_EQ(list.BitsPerPixel(), 24); // the list's own depth
        EXPECT_EQ(list.Image(1).PixelRgb(1, 1), MakeRgb(255, 0, 0));
        EXPECT_EQ(list.Mask(1).PixelValue(0, 0), 1u);
        EXPECT_EQ(list.Mask(0).PixelValue(0, 0), 0u);
    }
}

TEST(ImageListData, TilesAreFourAcrossWhateverThePictureWidth)
{
    // A picture eight 2 x 2 tiles wide and two high: image 4 is the first tile of the second tile row,
    // not the fifth of the first.
    Bitmap picture(16, 4, 24);
    picture.SetPixelRgb(0, 2, MakeRgb(200, 0, 0));
    picture.SetPixelRgb(8, 0, MakeRgb(0, 200, 0));
    Bitmap mask = BlackAndWhite(16, 4);
    mask.SetPixelValue(1, 3, 1);
    TImageList list;
    list.ReadData(CurrentLayout(5, 2, 2, WriteBmp(picture), WriteBmp(mask)));
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Image(4).PixelRgb(0, 0), MakeRgb(200, 0, 0));
    EXPECT_EQ(list.Mask(4).PixelValue(1, 1), 1u);
    EXPECT_EQ(list.Mask(4).PixelValue(0, 0), 0u);

    // The same picture stored top-down: rows in the other order, a negative height.
    const Bytes bottomUp = WriteBmp(picture);
    Bytes topDown = bottomUp;
    const size_t stride = Bitmap::StrideFor(16, 24), pixels = U32At(bottomUp, 10);
    for (int y = 0; y < 4; ++y)
        std::copy_n(bottomUp.begin() + ptrdiff_t(pixels + size_t(3 - y) * stride), stride,
                    topDown.begin() + ptrdiff_t(pixels + size_t(y) * stride));
    const int32_t negative = -4;
    std::memcpy(topDown.data() + 22, &negative, 4); // height
    TImageList fromTopDown;
    fromTopDown.ReadData(CurrentLayout(5, 2, 2, topDown, WriteBmp(mask)));
    ASSERT_EQ(fromTopDown.Count(), 5);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(fromTopDown.Image(k), list.Image(k)) << k;

    // Pictures of less than one full tile row are refused, whatever the count: the header's image size
    // needs pictures to back it (a 133-byte input once made an empty list of 5126 x 15619 images, which
    // wrote back as a gigabyte).
    TImageList narrow;
    for (int count : {0, 1, 3})
        ExpectReadError(narrow,
                        CurrentLayout(int16_t(count), 2, 2, WriteBmp(Bitmap(4, 4, 24)), WriteBmp(BlackAndWhite(4, 4))));
    ExpectReadError(narrow, CurrentLayout(0, 2, 2, WriteBmp(Bitmap(8, 2, 24)), WriteBmp(BlackAndWhite(4, 2))));
    narrow.ReadData(CurrentLayout(0, 2, 2, WriteBmp(Bitmap(8, 2, 24)), WriteBmp(BlackAndWhite(8, 2))));
    EXPECT_EQ(narrow.Count(), 0);
    EXPECT_EQ(narrow.Width(), 2);
}

TEST(ImageListData, WithoutTheMaskFlagImagesAreOpaque)
{
    Bitmap picture(8, 2, 24);
    picture.Fill(MakeRgb(7, 7, 7));
    TImageList list;
    list.ReadData(CurrentLayout(3, 2, 2, WriteBmp(picture), {}, 0x00FE));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Mask(2), BlackAndWhite(2, 2));
    EXPECT_EQ(list.Image(2).PixelRgb(1, 1), MakeRgb(7, 7, 7));
}

TEST(ImageListData, CapacityIsBoundByThePicture)
{
    // One tile row of 2 x 2 tiles, a header claiming room for 1029 images of them.
    Bytes data = CurrentLayout(1, 2, 2, WriteBmp(Bitmap(8, 2, 24)), WriteBmp(BlackAndWhite(8, 2)));
    data[6] = 0x05;
    data[7] = 0x04;
    TImageList list;
    list.ReadData(data);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Capacity(), 4);
    EXPECT_EQ(list.WriteData().size(), data.size());
}

TEST(ImageListData, UnreadableDataLeavesTheListEmpty)
{
    TImageList list(nullptr, 32, 32);
    Fill(list, 2, 16);
    const Bytes good = list.WriteData();
    const Bitmap picture(8, 2, 24);
    const Bytes pictureFile = WriteBmp(picture), maskFile = WriteBmp(BlackAndWhite(8, 2));

    ExpectReadError(list, {});
    Fill(list, 1, 16);
    ExpectReadError(list, {0x49, 0x4C, 0x01, 0x01});
    Bytes badVersion = good;
    badVersion[2] = 2;
    Fill(list, 1, 16);
    ExpectReadError(list, badVersion);
    Bytes cut(good.begin(), good.begin() + 28 + 4000);
    ExpectReadError(list, cut);
    Bytes noMask(good.begin(), good.begin() + 28 + 8246 + 10);
    ExpectReadError(list, noMask);
    ExpectReadError(list, CurrentLayout(9, 2, 2, pictureFile, maskFile));                      // more images than tiles
    ExpectReadError(list, CurrentLayout(-1, 2, 2, pictureFile, maskFile));                     // negative count
    ExpectReadError(list, CurrentLayout(1, 0, 2, pictureFile, maskFile));                      // no width
    ExpectReadError(list, CurrentLayout(1, 9, 2, pictureFile, maskFile));                      // wider than the picture
    ExpectReadError(list, CurrentLayout(4, 2, 2, pictureFile, WriteBmp(BlackAndWhite(4, 2)))); // short mask
    // A count of 32767 in a small picture fails on the tile count, before anything is cut.
    ExpectReadError(list, CurrentLayout(32767, 2, 2, pictureFile, maskFile));
}

// The older layout: byte count of the image file, image count, the image file, the mask file.
Bytes OlderLayout(int32_t count, const Bytes& imageFile, const Bytes& maskFile)
{
    ByteWriter out;
    out.WriteU32(uint32_t(imageFile.size()));
    out.WriteI32(count);
    out.WriteBytes(imageFile);
    out.WriteBytes(maskFile);
    return out.Take();
}

TEST(ImageListData, OlderLayoutCutsTilesAtTheListsSize)
{
    Bitmap picture(4, 4, 24); // 2 x 2 tiles of 2 x 2
    for (int k = 0; k < 4; ++k)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                picture.SetPixelRgb((k % 2) * 2 + x, (k / 2) * 2 + y, MakeRgb(uint8_t(k * 50 + 10), 0, 0));
    Bitmap mask = BlackAndWhite(4, 4);
    mask.SetPixelValue(2, 2, 1); // image 3, pixel (0, 0)
    TImageList list(nullptr, 2, 2);
    list.ReadData(OlderLayout(4, WriteBmp(picture), WriteBmp(mask)));
    ASSERT_EQ(list.Count(), 4);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(list.Image(k).PixelRgb(1, 1), MakeRgb(uint8_t(k * 50 + 10), 0, 0));
    EXPECT_EQ(list.Mask(3).PixelValue(0, 0), 1u);
    EXPECT_EQ(list.Image(3).PixelRgb(0, 0), 0u);

    // A count past the tiles stops at the tiles; a negative one gives none.
    list.ReadData(OlderLayout(100, WriteBmp(picture), WriteBmp(mask)));
    EXPECT_EQ(list.Count(), 4);
    list.ReadData(OlderLayout(-3, WriteBmp(picture), WriteBmp(mask)));
    EXPECT_EQ(list.Count(), 0);
}

TEST(ImageListData, OlderLayoutErrorsAreBitmapErrors)
{
    const Bytes pictureFile = WriteBmp(Bitmap(4, 4, 24)), maskFile = WriteBmp(BlackAndWhite(4, 4));
    TImageList list(nullptr, 2, 2);
    list.ReadData(OlderLayout(1, pictureFile, maskFile));
    Bytes damaged = OlderLayout(1, pictureFile, maskFile);
    damaged[8] = 'X';
    ExpectInvalidGraphic(list, damaged);
    ExpectInvalidGraphic(list, OlderLayout(1, pictureFile, {}));
    ExpectInvalidGraphic(list, OlderLayout(3, pictureFile, WriteBmp(BlackAndWhite(2, 2)))); // mask too small
    Bytes countTooLarge = OlderLayout(1, pictureFile, maskFile);
    countTooLarge[0] = 0xFF;
    ExpectInvalidGraphic(list, countTooLarge);
    // Equal first words mean the older layout even after "IL".
    ExpectInvalidGraphic(list, {0x49, 0x4C, 0x01, 0x01, 0x49, 0x4C, 0x01, 0x01, 0, 0});
}

TEST(ImageListData, TooManyImagesCannotBeWritten)
{
    TImageList list(nullptr, 1, 1);
    list.SetBitsPerPixel(16);
    const Bitmap pixel(1, 1, 16);
    for (int k = 0; k < 32768; ++k)
        list.Add(pixel);
    EXPECT_EQ(test::ErrorOf<EWriteError>([&] { list.WriteData(); }),
              "ストリームへの ImageList データの書き込みに失敗しました");
    list.Delete(0);
    EXPECT_NO_THROW(list.WriteData());
}

} // namespace
} // namespace vorlane
