// The gallery component: stream 1 byte for byte, a stored gallery file, and its operations against an
// in-memory view.
#include "tests/gallery/GalleryFixture.h"
#include "tests/ErrorOf.h"

namespace vorlane::test {
namespace {

TEST_F(GalleryModel, StartsWithItsConstructionValues)
{
    TVorlane gallery;
    EXPECT_EQ(gallery.ClassName(), "TVorlane");
    EXPECT_EQ(gallery.FileNames().Count(), 0);
    EXPECT_EQ(gallery.Images().Count(), 0);
    EXPECT_EQ(gallery.Images().Width(), 32);
    EXPECT_EQ(gallery.Images().Height(), 32);
    EXPECT_EQ(gallery.ManagerName(), dir + "画集");
    EXPECT_EQ(gallery.GalleryFileName(), dir + "画集.gsk");
    EXPECT_EQ(gallery.FormTop(), 0);
    EXPECT_EQ(gallery.FormLeft(), 0);
    EXPECT_EQ(gallery.FormWidth(), 600);
    EXPECT_EQ(gallery.FormHeight(), 400);
    EXPECT_EQ(gallery.InitialDir(), "");
    EXPECT_EQ(gallery.IniManagerName(), "");
    EXPECT_EQ(gallery.View(), nullptr);
    EXPECT_EQ(gallery.DisplayBitsPerPixel(), 24);
}

TEST_F(GalleryModel, StreamOneOfTheWorkedExampleIsExactly136Bytes)
{
    TVorlane gallery;
    gallery.SetFileNames(TStringList{"C:\\P\\a.jpg"});
    gallery.SetFormTop(100);
    gallery.SetFormLeft(50);
    gallery.SetInitialDir("C:\\P");
    gallery.SetManagerName("C:\\V\\\x89\xE6\x8F\x57"); // 画集 in Shift_JIS
    TMemoryStream stream;
    ComponentWriter(stream).WriteComponent(gallery);
    const Bytes expected = {0x54, 0x50, 0x46, 0x30,                                                 // TPF0
                            0x08, 0x54, 0x56, 0x6F, 0x72, 0x6C, 0x61, 0x6E, 0x65,                   // TVorlane
                            0x00,                                                                   // no name
                            0x11, 0x46, 0x69, 0x6C, 0x65, 0x4E, 0x61, 0x6D, 0x65, 0x73, 0x2E, 0x53, // FileNames.Strings
                            0x74, 0x72, 0x69, 0x6E, 0x67, 0x73, 0x01, 0x06, 0x0A, 0x43, 0x3A, 0x5C, 0x50, 0x5C,
                            0x61, 0x2E, 0x6A, 0x70, 0x67, 0x00, 0x07, 0x46, 0x6F, 0x72, 0x6D, 0x54, 0x6F, 0x70,
                            0x02, 0x64,                                                                   // FormTop 100
                            0x08, 0x46, 0x6F, 0x72, 0x6D, 0x4C, 0x65, 0x66, 0x74, 0x02, 0x32,             // FormLeft 50
                            0x09, 0x46, 0x6F, 0x72, 0x6D, 0x57, 0x69, 0x64, 0x74, 0x68, 0x03, 0x58, 0x02, // 600
                            0x0A, 0x46, 0x6F, 0x72, 0x6D, 0x48, 0x65, 0x69, 0x67, 0x68, 0x74, 0x03, 0x90, 0x01, // 400
                            0x0A, 0x49, 0x6E, 0x69, 0x74, 0x69, 0x61, 0x6C, 0x44, 0x69, 0x72, 0x06, 0x04, 0x43,
                            0x3A, 0x5C, 0x50, 0x0B, 0x4D, 0x61, 0x6E, 0x61, 0x67, 0x65, 0x72, 0x4E, 0x61, 0x6D,
                            0x65, 0x06, 0x09, 0x43, 0x3A, 0x5C, 0x56, 0x5C, 0x89, 0xE6, 0x8F, 0x57, 0x00, 0x00};
    ASSERT_EQ(expected.size(), 136u);
    EXPECT_EQ(stream.Bytes(), expected);

    // Without entries the records begin with FormTop; NoDefault is never written.
    gallery.SetFileNames(TStringList{});
    gallery.SetFormTop(NoDefault);
    TMemoryStream empty;
    ComponentWriter(empty).WriteComponent(gallery);
    EXPECT_EQ(empty.Bytes().size(), 136u - 18 - 14 - 10);
    EXPECT_EQ(empty.Bytes()[14], 0x08); // "FormLeft"
}

// A gallery file kept from an earlier build: reading it and writing it again gives the same bytes.
TEST_F(GalleryModel, StoredGalleryFileReadsAndWritesBackUnchanged)
{
    const Bytes file = ReadBytes(std::string(VORLANE_TEST_DATA) + "/gallery/three_entries.gsk");
    ASSERT_FALSE(file.empty());
    TVorlane gallery;
    TMemoryStream in(file);
    {
        ComponentReader reader(in);
        reader.ReadComponent(gallery);
    }
    {
        ComponentReader reader(in);
        reader.ReadComponent(gallery.Images());
    }
    EXPECT_EQ(in.Position(), int64_t(file.size()));
    ASSERT_EQ(gallery.FileNames().Count(), 3);
    EXPECT_EQ(gallery.FileNames()[1].size(), 323u); // a long (0C) string
    EXPECT_EQ(gallery.FormTop(), -8);
    EXPECT_EQ(gallery.FormLeft(), 70000);
    EXPECT_EQ(gallery.FormWidth(), 200);
    EXPECT_EQ(gallery.FormHeight(), 400); // written as NoDefault, so not stored
    EXPECT_EQ(gallery.InitialDir(), "C:\\P");
    EXPECT_EQ(gallery.IniManagerName(), "ini");
    EXPECT_EQ(gallery.Images().Count(), 4);
    gallery.SetFormHeight(NoDefault); // as it was when written
    TMemoryStream out;
    ComponentWriter(out).WriteComponent(gallery);
    ComponentWriter(out).WriteComponent(gallery.Images());
    EXPECT_EQ(out.Bytes(), file);
}

TEST_F(GalleryModel, GalleryFileAndCaptionRules)
{
    TVorlane gallery;
    const std::pair<const char*, const char*> files[] = {{"/v/画集", "/v/画集.gsk"},
                                                         {"/v/my.gsk", "/v/my.gsk"},
                                                         {"/v/a.b", "/v/a.gsk"},
                                                         {"/v.d/noext", "/v.d/noext.gsk"}};
    for (const auto& [manager, file] : files) {
        gallery.SetManagerName(manager);
        EXPECT_EQ(gallery.GalleryFileName(), file);
    }
    EXPECT_EQ(TVorlane::Caption("/P/a.b.jpg"), "a.b");
    EXPECT_EQ(TVorlane::Caption("/P/noext"), "noext");
    EXPECT_EQ(TVorlane::Caption("/P/.jpg"), "");
    EXPECT_EQ(TVorlane::Caption("/P.d/x"), "x");
}

TEST_F(GalleryModel, AddImagesAppendsInOrderAndRefreshesOnce)
{
    TVorlane gallery;
    Prepare(gallery, "AB");
    const std::string missing = dir + "gone.jpg";
    gallery.AddImages({Picture('A'), missing});
    EXPECT_EQ(view.refreshes, 2);
    EXPECT_EQ(view.updates, 0);
    EXPECT_EQ(view.images, &gallery.Images());
    ASSERT_EQ(gallery.FileNames().Count(), 4);
    // The same file twice: two entries, each with its own thumbnail.
    EXPECT_EQ(gallery.FileNames()[0], gallery.FileNames()[2]);
    EXPECT_EQ(gallery.Images().Image(1), gallery.Images().Image(3));
    // A missing file gets the placeholder drawn over white, opaque.
    const Bitmap& placeholder = gallery.Images().Image(4);
    EXPECT_EQ(placeholder.PixelRgb(0, 0), MakeRgb(255, 255, 255));
    EXPECT_EQ(placeholder.PixelRgb(20, 20), MakeRgb(0, 0, 255));
    EXPECT_EQ(gallery.Images().Mask(4).PixelValue(0, 0), 0u);
    EXPECT_EQ(view.items, (std::vector<MemoryView::Item>{{"A", 1}, {"B", 2}, {"A", 3}, {"gone", 4}}));
}

TEST_F(GalleryModel, AddImagesStopsAtAFileThatCannotBeRead)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    const std::string broken = dir + "broken.bmp";
    WriteFile(broken, Bytes{'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
    const int refreshes = view.refreshes;
    EXPECT_EQ(test::ErrorOf<EInvalidGraphic>([&] {
                  gallery.AddImages({Picture('B'), broken, Picture('C')});
              }),
              "ビットマップイメージが不正です");
    EXPECT_EQ(Order(gallery), "AB");
    EXPECT_EQ(view.refreshes, refreshes); // the added entry shows at the next refresh
}

TEST_F(GalleryModel, MovesFollowTheTable)
{
    struct Move {
        int dragged, target;
        const char* after;
    };
    for (const Move& move : {Move{0, 3, "BCAD"}, Move{3, 0, "DABC"}, Move{1, 2, "ABCD"}, Move{2, 0, "CABD"},
                             Move{1, 1, "ABCD"}, Move{2, 3, "ABCD"}, Move{3, 2, "ABDC"}, Move{0, 1, "ABCD"}}) {
        TVorlane gallery;
        Prepare(gallery, "ABCD");
        view.selected = move.dragged;
        view.dropTarget = move.target;
        const int refreshes = view.refreshes;
        gallery.MoveSelected();
        EXPECT_EQ(Order(gallery), move.after) << move.dragged << " onto " << move.target;
        EXPECT_EQ(view.refreshes, refreshes + 1);
        EXPECT_EQ(view.items[0].caption, std::string(1, move.after[0]));
    }
}

// The moved entry's thumbnail is a copy drawn onto white and goes in without a mask; an entry that stays
// where it is keeps its own thumbnail and mask.
TEST_F(GalleryModel, MovedThumbnailIsDrawnOnWhiteWithoutAMask)
{
    TVorlane gallery;
    Prepare(gallery, "ABC");
    Bitmap masked(32, 32, 24);
    masked.Fill(ColourOf('A'));
    Bitmap mask(32, 32, 1);
    mask.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    mask.SetPixelValue(0, 0, 1);
    gallery.Images().Delete(1);
    gallery.Images().Insert(1, masked, &mask); // entry A, with a transparent corner

    view.selected = 0;
    view.dropTarget = 0;
    gallery.MoveSelected(); // onto itself: nothing moves, the original stays
    EXPECT_EQ(gallery.Images().Mask(1).PixelValue(0, 0), 1u);
    EXPECT_EQ(gallery.Images().Image(1).PixelRgb(0, 0), MakeRgb(0, 0, 0));

    view.dropTarget = 2;
    gallery.MoveSelected();
    EXPECT_EQ(Order(gallery), "BAC");
    const Bitmap& moved = gallery.Images().Image(2);
    EXPECT_EQ(moved.PixelRgb(0, 0), MakeRgb(255, 255, 255));
    EXPECT_EQ(moved.PixelRgb(1, 0), ColourOf('A'));
    EXPECT_EQ(gallery.Images().Mask(2).PixelValue(0, 0), 0u);
}

// AddImage and DeleteImage leave the view to the caller's one refresh.
TEST_F(GalleryModel, SingleStepsDoNotRefresh)
{
    TVorlane gallery;
    Prepare(gallery, "AB");
    const int refreshes = view.refreshes;
    gallery.AddImage(Picture('C'));
    gallery.DeleteImage(0);
    EXPECT_EQ(Order(gallery), "BC");
    EXPECT_EQ(view.refreshes, refreshes);
    EXPECT_EQ(view.items.size(), 2u);
    EXPECT_EQ(view.items[0].caption, "A");
    EXPECT_THROW(gallery.DeleteImage(2), EStringListError);
    EXPECT_EQ(Order(gallery), "BC");
}

TEST_F(GalleryModel, NothingSelectedChangesNothing)
{
    TVorlane gallery;
    Prepare(gallery, "AB");
    const int refreshes = view.refreshes;
    EXPECT_EQ(gallery.GetSelectedFileName(), "");
    gallery.DeleteSelected();
    gallery.MoveSelected();
    view.dropTarget = 0;
    gallery.MoveSelected();
    view.dropTarget.reset();
    view.selected = 1;
    gallery.MoveSelected();
    EXPECT_EQ(Order(gallery), "AB");
    EXPECT_EQ(view.refreshes, refreshes);

    EXPECT_EQ(gallery.GetSelectedFileName(), dir + "B.bmp");
    gallery.DeleteSelected();
    EXPECT_EQ(Order(gallery), "A");
    EXPECT_EQ(view.refreshes, refreshes + 1);

    TVorlane viewless;
    EXPECT_EQ(viewless.GetSelectedFileName(), "");
    viewless.MoveSelected();
}

TEST_F(GalleryModel, ClearImagesKeepsThePlaceholder)
{
    TVorlane gallery;
    Prepare(gallery, "");
    const int refreshes = view.refreshes;
    gallery.ClearImages(); // empty: only refreshes
    EXPECT_EQ(view.refreshes, refreshes + 1);
    EXPECT_EQ(gallery.Images().Count(), 1);
    gallery.AddImages({Picture('A'), Picture('B')});
    gallery.ClearImages();
    EXPECT_EQ(gallery.FileNames().Count(), 0);
    ASSERT_EQ(gallery.Images().Count(), 1);
    EXPECT_EQ(gallery.Images().Image(0), defaults.Image(0));
    EXPECT_TRUE(view.items.empty());
}

TEST_F(GalleryModel, LoadWithoutAFileChangesNothing)
{
    TVorlane gallery;
    gallery.SetView(&view);
    fs::create_directory(dir + "画集.gsk"); // a folder is no gallery file
    gallery.LoadGallery();
    EXPECT_EQ(gallery.FormWidth(), 600);
    EXPECT_EQ(gallery.FormHeight(), 400);
    EXPECT_EQ(gallery.FileNames().Count(), 0);
    EXPECT_EQ(view.refreshes, 0);
}

} // namespace
} // namespace vorlane::test
