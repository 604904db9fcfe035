// The image list: growth, index errors, conversion on adding, masks, drawing and its properties.
#include <gtest/gtest.h>

#include "gallery/ImageList.h"
#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"

namespace vorlane {
namespace {

Bitmap Solid(Rgb colour, int bitsPerPixel = 24, int size = 32)
{
    Bitmap b(size, size, bitsPerPixel);
    b.Fill(colour);
    return b;
}

// A mask whose left half is transparent.
Bitmap LeftHalfTransparent(int size = 32)
{
    Bitmap m(size, size, 1);
    m.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size / 2; ++x)
            m.SetPixelValue(x, y, 1);
    return m;
}

template <class F>
void ExpectInvalidIndex(F&& f)
{
    EXPECT_EQ(test::ErrorOf<EInvalidOperation>(f), "不正なインデックスがイメージ リストに渡されました");
}

TEST(ImageList, CapacityGrowsInStepsOfFour)
{
    TImageList list(nullptr, 32, 32);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
    list.Add(Solid(0));
    EXPECT_EQ(list.Capacity(), 4);
    for (int i = 0; i < 4; ++i)
        list.Add(Solid(0));
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Capacity(), 8);
    list.Delete(0);
    EXPECT_EQ(list.Capacity(), 8);
    list.SetCapacity(2); // never below the count
    EXPECT_EQ(list.Capacity(), 4);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(ImageList, InsertDeleteAndIndexErrors)
{
    TImageList list(nullptr, 32, 32);
    list.Add(Solid(MakeRgb(255, 0, 0)));
    list.Add(Solid(MakeRgb(0, 0, 255)));
    list.Insert(1, Solid(MakeRgb(0, 255, 0)));
    EXPECT_EQ(list.Image(0).PixelRgb(0, 0), MakeRgb(255, 0, 0));
    EXPECT_EQ(list.Image(1).PixelRgb(0, 0), MakeRgb(0, 255, 0));
    EXPECT_EQ(list.Image(2).PixelRgb(0, 0), MakeRgb(0, 0, 255));
    list.Insert(3, Solid(MakeRgb(9, 9, 9))); // at the end
    list.Delete(0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Image(0).PixelRgb(0, 0), MakeRgb(0, 255, 0));

    Bitmap target(4, 4, 24);
    ExpectInvalidIndex([&] { list.Insert(-1, Solid(0)); });
    ExpectInvalidIndex([&] { list.Insert(4, Solid(0)); });
    ExpectInvalidIndex([&] { list.Delete(3); });
    ExpectInvalidIndex([&] { list.Delete(-1); });
    ExpectInvalidIndex([&] { list.Image(3); });
    ExpectInvalidIndex([&] { list.Mask(-1); });
    ExpectInvalidIndex([&] { list.Draw(target, 0, 0, 3); });
    EXPECT_EQ(list.Count(), 3);
}

TEST(ImageList, AddConvertsToTheListsDepth)
{
    Bitmap indexed(32, 32, 8);
    indexed.Palette()[1] = RgbQuad{10, 200, 30, 0};
    indexed.SetPixelValue(5, 6, 1);
    TImageList list(nullptr, 32, 32);
    list.Add(indexed);
    EXPECT_EQ(list.Image(0).BitsPerPixel(), 24);
    EXPECT_EQ(list.Image(0).PixelRgb(5, 6), MakeRgb(30, 200, 10));

    list.SetBitsPerPixel(16); // the images held follow
    EXPECT_EQ(list.Image(0).BitsPerPixel(), 16);
    EXPECT_EQ(list.Image(0).PixelValue(5, 6), (30u >> 3) << 10 | (200u >> 3) << 5 | (10u >> 3));
    list.Add(Solid(MakeRgb(255, 255, 255), 32));
    EXPECT_EQ(list.Image(1).PixelValue(0, 0), 0x7FFFu);
}

TEST(ImageList, SizeAndDepthAreChecked)
{
    TImageList list(nullptr, 32, 32);
    EXPECT_THROW(list.Add(Solid(0, 24, 16)), EInvalidGraphic);
    const Bitmap wrongMask(32, 32, 8);
    EXPECT_THROW(list.Add(Solid(0), &wrongMask), EInvalidGraphic);
    EXPECT_THROW(list.SetBitsPerPixel(8), EInvalidGraphic);
    EXPECT_THROW(list.SetSize(0, 32), EInvalidGraphic);
    EXPECT_THROW(list.SetSize(32, TImageList::MaxImageSide + 1), EInvalidGraphic);
    EXPECT_EQ(list.Count(), 0);

    list.Add(Solid(0));
    list.SetSize(32, 32); // the same size keeps the images
    EXPECT_EQ(list.Count(), 1);
    list.SetSize(16, 16);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Width(), 16);
}

TEST(ImageList, TransparentPixelsAreHeldBlack)
{
    TImageList list(nullptr, 32, 32);
    const Bitmap mask = LeftHalfTransparent();
    list.Add(Solid(MakeRgb(200, 100, 50)), &mask);
    EXPECT_EQ(list.Image(0).PixelRgb(0, 0), 0u);
    EXPECT_EQ(list.Image(0).PixelRgb(15, 31), 0u);
    EXPECT_EQ(list.Image(0).PixelRgb(16, 0), MakeRgb(200, 100, 50));
    EXPECT_EQ(list.Mask(0).PixelValue(15, 0), 1u);
    EXPECT_EQ(list.Mask(0).PixelValue(16, 0), 0u);

    // A mask whose table is the other way round: white is still the transparent colour.
    Bitmap reversed = LeftHalfTransparent();
    reversed.Palette() = {RgbQuad{255, 255, 255, 0}, RgbQuad{0, 0, 0, 0}};
    list.Add(Solid(MakeRgb(1, 2, 3)), &reversed);
    EXPECT_EQ(list.Mask(1).PixelValue(0, 0), 0u);
    EXPECT_EQ(list.Mask(1).PixelValue(31, 0), 1u);
    EXPECT_EQ(list.Mask(1).Row(0)[4], 0); // padding stays clear
    // A fresh 1-bit picture (two black table entries): its set bits are the transparent ones.
    Bitmap plain(32, 32, 1);
    plain.SetPixelValue(3, 4, 1);
    list.Add(Solid(MakeRgb(1, 2, 3)), &plain);
    EXPECT_EQ(list.Mask(2).PixelValue(3, 4), 1u);
    EXPECT_EQ(list.Mask(2).PixelValue(4, 4), 0u);
    // No mask: opaque.
    list.Add(Solid(MakeRgb(1, 2, 3)));
    EXPECT_EQ(list.Mask(3).PixelValue(0, 0), 0u);
}

TEST(ImageList, DrawGoesThroughTheMask)
{
    TImageList list(nullptr, 32, 32);
    const Bitmap mask = LeftHalfTransparent();
    list.Add(Solid(MakeRgb(255, 0, 0)), &mask);

    Bitmap target = Solid(MakeRgb(255, 255, 255));
    list.Draw(target, 0, 0, 0);
    EXPECT_EQ(target.PixelRgb(0, 0), MakeRgb(255, 255, 255));
    EXPECT_EQ(target.PixelRgb(15, 20), MakeRgb(255, 255, 255));
    EXPECT_EQ(target.PixelRgb(16, 20), MakeRgb(255, 0, 0));

    // Clipped at every edge, and onto other depths.
    Bitmap small = Solid(MakeRgb(0, 0, 255), 16, 8);
    list.Draw(small, -20, -3, 0);
    EXPECT_EQ(small.PixelRgb(0, 0), MakeRgb(255, 0, 0));
    Bitmap corner = Solid(MakeRgb(0, 0, 255), 16, 8);
    list.Draw(corner, 6, 6, 0); // only its transparent corner lands
    EXPECT_EQ(corner.PixelRgb(7, 7), MakeRgb(0, 0, 255));
    list.Draw(corner, 100, 100, 0);
    EXPECT_EQ(corner, Solid(MakeRgb(0, 0, 255), 16, 8));

    Bitmap indexed(4, 1, 8);
    indexed.Palette()[0] = RgbQuad{0, 0, 0, 0};
    indexed.Palette()[7] = RgbQuad{0, 0, 250, 0};
    list.Draw(indexed, -16, 0, 0);
    EXPECT_EQ(indexed.PixelValue(0, 0), 7u);
}

TEST(ImageList, AssignCopiesEverything)
{
    TImageList source(nullptr, 32, 32);
    source.SetBitsPerPixel(32);
    const Bitmap mask = LeftHalfTransparent();
    source.Add(Solid(MakeRgb(1, 2, 3)), &mask);
    source.SetCapacity(9);
    TImageList copy;
    copy.Assign(source);
    EXPECT_EQ(copy.Width(), 32);
    EXPECT_EQ(copy.BitsPerPixel(), 32);
    EXPECT_EQ(copy.Capacity(), 9);
    EXPECT_EQ(copy.Image(0), source.Image(0));
    EXPECT_EQ(copy.Mask(0), source.Mask(0));
    copy.Assign(copy);
    EXPECT_EQ(copy.Count(), 1);
}

TEST(ImageList, PublishedPropertiesInTheirOrder)
{
    TImageList list;
    std::vector<std::string> names;
    for (const PublishedProperty& p : list.PublishedProperties())
        names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Name", "Tag", "BlendColor", "BkColor", "AllocBy", "DrawingStyle",
                                               "Height", "ImageType", "Masked", "OnChange", "ShareImages", "Width"}));
    // Every default holds on a new list, so none of them is written.
    for (const PublishedProperty& p : list.PublishedProperties()) {
        if (p.defaultValue) {
            EXPECT_EQ(p.getInteger(), *p.defaultValue) << p.name;
        }
    }
}

} // namespace
} // namespace vorlane
