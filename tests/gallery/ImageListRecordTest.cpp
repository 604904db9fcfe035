// The image list in the component stream: its exact records and the "Bitmap" record's errors.
#include <gtest/gtest.h>

#include "component/ComponentReader.h"
#include "component/ComponentWriter.h"
#include "gallery/ImageList.h"
#include "component/Stream.h"
#include "platform/Exceptions.h"
#include "tests/component/StreamBytes.h"
#include "tests/ErrorOf.h"

namespace vorlane {
namespace {

using namespace test;

Bytes Stream(TImageList& list)
{
    TMemoryStream stream;
    ComponentWriter(stream).WriteComponent(list);
    return stream.Bytes();
}

void Load(TImageList& list, const Bytes& bytes)
{
    TMemoryStream stream(bytes);
    ComponentReader(stream).ReadComponent(list);
}

Bitmap Opaque(Rgb colour)
{
    Bitmap b(32, 32, 24);
    b.Fill(colour);
    return b;
}

TEST(ImageListRecord, StreamOfAOneImageList)
{
    TImageList list(nullptr, 32, 32);
    list.SetBitsPerPixel(16);
    list.Add(Opaque(MakeRgb(255, 0, 0)));
    const Bytes data = list.WriteData();
    ASSERT_EQ(data.size(), 8870u);

    const Bytes expected = Cat({
        Text("TPF0"),
        {0x0A},
        Text("TImageList"),
        {0x00}, // no component name
        {0x06},
        Text("Height"),
        {0x02, 0x20},
        {0x05},
        Text("Width"),
        {0x02, 0x20},
        {0x06},
        Text("Bitmap"),
        {0x0A, 0xA6, 0x22, 0x00, 0x00}, // raw data, 8870 bytes
        data,
        {0x00, 0x00}, // end of records, end of children
    });
    EXPECT_EQ(Stream(list), expected);

    TImageList back;
    Load(back, expected);
    EXPECT_EQ(back.Width(), 32);
    EXPECT_EQ(back.Height(), 32);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.BitsPerPixel(), 16);
    EXPECT_EQ(back.Image(0), list.Image(0));
}

TEST(ImageListRecord, AnEmptyListHasNoBitmapRecord)
{
    TImageList list(nullptr, 32, 32);
    const Bytes expected = Cat({Text("TPF0"),
                                {0x0A},
                                Text("TImageList"),
                                {0x00},
                                {0x06},
                                Text("Height"),
                                {0x02, 0x20},
                                {0x05},
                                Text("Width"),
                                {0x02, 0x20},
                                {0x00, 0x00}});
    EXPECT_EQ(Stream(list), expected);
}

TEST(ImageListRecord, OtherPropertiesAreReadWhenPresent)
{
    TImageList list(nullptr, 32, 32);
    list.Add(Opaque(0));
    const Bytes stream = Cat({Text("TPF0"),
                              {0x0A},
                              Text("TImageList"),
                              {0x00},
                              {0x07},
                              Text("BkColor"),
                              {0x07, 0x07},
                              Text("clWhite"),
                              {0x07},
                              Text("AllocBy"),
                              {0x02, 0x08},
                              {0x06},
                              Text("Masked"),
                              {0x08},
                              {0x0C},
                              Text("DrawingStyle"),
                              {0x07, 0x0D},
                              Text("dsTransparent"),
                              {0x00, 0x00}});
    Load(list, stream);
    EXPECT_EQ(list.BkColor(), 0xFFFFFF);
    EXPECT_EQ(list.AllocBy(), 8);
    EXPECT_EQ(list.Count(), 1); // no "Bitmap" record: the images stay
}

// The message of loading `bytes` into a list that held one image, and the images left.
std::pair<std::string, int> LoadError(const Bytes& bytes)
{
    TImageList list(nullptr, 32, 32);
    list.Add(Opaque(0));
    std::string error = test::ErrorOf<EReadError>([&] { Load(list, bytes); });
    return {error, list.Count()};
}

TEST(ImageListRecord, ErrorsInsideTheRecords)
{
    const Bytes head = Cat({Text("TPF0"), {0x0A}, Text("TImageList"), {0x00}});
    Bytes damaged = {0x49, 0x4C, 0x01, 0x01, 0x01, 0x00, 0x04, 0x00};
    EXPECT_EQ(
        LoadError(Cat({head, {0x06}, Text("Bitmap"), {0x0A, 0x08, 0x00, 0x00, 0x00}, damaged, {0x00, 0x00}})),
        std::make_pair(
            std::string(
                "TImageList.Bitmap の読み込み中のエラー : ストリームからの ImageList データの読み込みに失敗しました"),
            0));
    EXPECT_EQ(LoadError(Cat({head, {0x06}, Text("Bitmap"), {0x02, 0x01}, {0x00, 0x00}})),
              std::make_pair(std::string("TImageList.Bitmap の読み込み中のエラー : 不正なプロパティの値です"), 1));
    EXPECT_EQ(LoadError(Cat({head, {0x06}, Text("Height"), {0x02, 0x00}, {0x00, 0x00}})),
              std::make_pair(std::string("TImageList.Height の読み込み中のエラー : 不正なプロパティの値です"), 1));
    // A byte count beyond the data: nothing is allocated for it.
    EXPECT_EQ(
        LoadError(Cat({head, {0x06}, Text("Bitmap"), {0x0A, 0xFF, 0xFF, 0xFF, 0x7F}, {0x00, 0x00}})),
        std::make_pair(std::string("TImageList.Bitmap の読み込み中のエラー : ストリームからの読み込みエラー"), 1));
}

} // namespace
} // namespace vorlane
