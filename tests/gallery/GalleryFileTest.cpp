// Loading and saving gallery files, loads that fail part-way, and saves that fail without losing the
// previous file.
#include "tests/gallery/GalleryFixture.h"
#include "tests/gallery/WindowsGallery.h"
#include "tests/platform/FileSizeLimit.h"
#include "tests/ErrorOf.h"

namespace vorlane::test {
namespace {

TEST_F(GalleryModel, SaveAndLoadRoundTrip)
{
    TVorlane saved;
    Prepare(saved, "AB");
    // A 0C string: a name longer than a Windows path, as a gallery made elsewhere may hold.
    const std::string longName = dir + std::string(300, 'L') + ".jpg";
    saved.AddImage(dir + "missing.jpg");
    saved.SetFileNames(TStringList{saved.FileNames()[0], saved.FileNames()[1], longName});
    saved.SetFormTop(-8);
    saved.SetFormLeft(-70000);
    saved.SetFormWidth(65536);
    saved.SetFormHeight(INT32_MAX);
    saved.SetInitialDir(dir + "ソ表能");
    saved.SetIniManagerName("ini");
    saved.SaveGallery();
    const Bytes file = ReadBytes(dir + "画集.gsk");

    TVorlane loaded;
    MemoryView otherView;
    loaded.SetView(&otherView);
    loaded.SetFormTop(123);
    loaded.LoadGallery();
    EXPECT_EQ(loaded.FileNames(), saved.FileNames());
    EXPECT_EQ(loaded.FormTop(), -8);
    EXPECT_EQ(loaded.FormLeft(), -70000);
    EXPECT_EQ(loaded.FormWidth(), 65536);
    EXPECT_EQ(loaded.FormHeight(), INT32_MAX);
    EXPECT_EQ(loaded.InitialDir(), dir + "ソ表能");
    EXPECT_EQ(loaded.IniManagerName(), "ini");
    ASSERT_EQ(loaded.Images().Count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(loaded.Images().Image(i), saved.Images().Image(i)) << i;
    EXPECT_EQ(otherView.items.size(), 3u);
    EXPECT_EQ(otherView.refreshes, 1);
    // Saving what was loaded gives the same bytes.
    loaded.SaveGallery();
    EXPECT_EQ(ReadBytes(dir + "画集.gsk"), file);
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_FALSE(entry.path().filename().string().ends_with(".tmp")) << entry.path();
}

TEST_F(GalleryModel, SavesAGalleryWhoseNameIsAtTheLengthLimit)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    gallery.SetManagerName(dir + std::string(251, 'n')); // with ".gsk": 255 bytes
    gallery.SaveGallery();
    gallery.SaveGallery();
    EXPECT_EQ(Loaded(gallery.ManagerName())->FileNames(), gallery.FileNames());
}

TEST_F(GalleryModel, UnstoredGeometryKeepsTheLoadingGallerysValue)
{
    TVorlane saved;
    saved.SetDefaultImages(defaults);
    saved.SetFormTop(NoDefault);
    saved.SaveGallery();
    TVorlane loaded;
    loaded.SetFormTop(77);
    loaded.LoadGallery();
    EXPECT_EQ(loaded.FormTop(), 77);
}

TEST_F(GalleryModel, EmptyGalleryLoadsIntoAnEmptiedOne)
{
    TVorlane empty;
    empty.SetDefaultImages(defaults);
    empty.SetManagerName(dir + "empty");
    empty.SaveGallery();

    TVorlane gallery;
    Prepare(gallery, "AB");
    gallery.ClearImages();
    gallery.SetManagerName(dir + "empty");
    gallery.LoadGallery();
    EXPECT_EQ(gallery.FileNames().Count(), 0);
    ASSERT_EQ(gallery.Images().Count(), 1);
    EXPECT_EQ(gallery.Images().Image(0), defaults.Image(0));
    EXPECT_TRUE(view.items.empty());
}

TEST_F(GalleryModel, LoadMatchesThumbnailsToNames)
{
    TVorlane empty;
    empty.SetDefaultImages(defaults);
    empty.SetManagerName(dir + "empty");
    empty.SaveGallery();

    // Not emptied first: the names stay, the image list is the file's placeholder alone.
    TVorlane gallery;
    Prepare(gallery, "AB");
    gallery.SetManagerName(dir + "empty");
    gallery.LoadGallery();
    ASSERT_EQ(gallery.FileNames().Count(), 2);
    ASSERT_EQ(gallery.Images().Count(), 3);
    EXPECT_EQ(gallery.Images().Image(2).PixelRgb(0, 0), MakeRgb(255, 255, 255));
    EXPECT_EQ(gallery.Images().Image(2).PixelRgb(20, 20), MakeRgb(0, 0, 255));
    EXPECT_EQ(view.items.size(), 2u);
    gallery.ClearImages();
    EXPECT_EQ(gallery.Images().Count(), 1);

    // Stream 1 read, stream 2 missing: names replaced, thumbnails made to match.
    TVorlane three;
    Prepare(three, "ABC");
    three.SaveGallery();
    Bytes file = ReadBytes(three.GalleryFileName());
    const Bytes stream2 = {'T', 'P', 'F', '0'};
    const auto at = std::search(file.begin() + 4, file.end(), stream2.begin(), stream2.end());
    WriteFile(dir + "half.gsk", Bytes(file.begin(), at));
    gallery.SetManagerName(dir + "half");
    EXPECT_THROW(gallery.LoadGallery(), EReadError);
    EXPECT_EQ(gallery.FileNames().Count(), 3);
    EXPECT_EQ(gallery.Images().Count(), 4);
}

// Thumbnails of another size than 32x32 (a list that claims the largest size and holds nothing, or a
// 16x16 one) are fitted to 32x32: placeholders stay small and later pictures still go in.
TEST_F(GalleryModel, LoadFitsThumbnailsOfAnotherSizeTo32)
{
    TVorlane names;
    names.SetFileNames(TStringList{"a", "b", "c"});
    TImageList huge(nullptr, TImageList::MaxImageSide, TImageList::MaxImageSide);
    TMemoryStream file;
    ComponentWriter(file).WriteComponent(names);
    ComponentWriter(file).WriteComponent(huge);
    WriteFile(dir + "huge.gsk", file.Bytes());

    TVorlane gallery;
    gallery.SetDefaultImages(defaults);
    gallery.SetManagerName(dir + "huge");
    gallery.LoadGallery();
    EXPECT_EQ(gallery.Images().Width(), 32);
    EXPECT_EQ(gallery.Images().Height(), 32);
    ASSERT_EQ(gallery.Images().Count(), 4);
    // No image came with the names: the placeholders are the program's own, not white ones.
    EXPECT_EQ(gallery.Images().Image(0), defaults.Image(0));
    EXPECT_EQ(gallery.Images().Image(3).PixelRgb(31, 31), MakeRgb(0, 0, 255));

    // A 16x16 list: each thumbnail and its mask grow to 32x32.
    TImageList small(nullptr, 16, 16);
    Bitmap picture(16, 16, 24);
    picture.Fill(ColourOf('S'));
    Bitmap mask(16, 16, 1);
    mask.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    mask.SetPixelValue(0, 0, 1);
    small.Add(picture, &mask);
    small.Add(picture);
    TMemoryStream smallFile;
    names.SetFileNames(TStringList{dir + "S.bmp"});
    ComponentWriter(smallFile).WriteComponent(names);
    ComponentWriter(smallFile).WriteComponent(small);
    WriteFile(dir + "small.gsk", smallFile.Bytes());
    gallery.SetManagerName(dir + "small");
    gallery.LoadGallery();
    ASSERT_EQ(gallery.Images().Count(), 2);
    EXPECT_EQ(gallery.Images().Width(), 32);
    EXPECT_EQ(gallery.Images().Mask(0).PixelValue(1, 1), 1u);
    EXPECT_EQ(gallery.Images().Mask(0).PixelValue(2, 2), 0u);
    EXPECT_EQ(gallery.Images().Image(0).PixelRgb(20, 20), ColourOf('S'));
    gallery.AddImage(Picture('T'));
    EXPECT_EQ(Order(gallery), "ST");
}

TEST_F(GalleryModel, UnreadableFileIsAnOpenError)
{
    TVorlane gallery;
    gallery.SetDefaultImages(defaults);
    gallery.SaveGallery();
    ASSERT_EQ(::chmod(gallery.GalleryFileName().c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
    EXPECT_EQ(FailsAsOrdinaryUser<EFOpenError>([&] { gallery.LoadGallery(); },
                                               "ファイル " + gallery.GalleryFileName() + " は開けません"),
              0);
}

// The name stored in the file counts only when it leads back to that file: a moved file, an older copy
// or a hand-made one aiming elsewhere is saved where it was loaded from, and the other file is untouched.
TEST_F(GalleryModel, GalleryIsSavedToTheFileItWasLoadedFrom)
{
    TVorlane saved;
    Prepare(saved, "A");
    saved.SetManagerName(dir + "old");
    saved.SaveGallery();
    fs::copy_file(dir + "old.gsk", dir + "copy.gsk");
    saved.AddImage(Picture('B'));
    saved.SaveGallery();
    const Bytes original = ReadBytes(dir + "old.gsk");

    const auto copy = Loaded(dir + "copy.gsk");
    EXPECT_EQ(copy->ManagerName(), dir + "copy.gsk");
    copy->AddImage(Picture('C'));
    copy->SaveGallery();
    EXPECT_EQ(ReadBytes(dir + "old.gsk"), original);
    EXPECT_EQ(Order(*copy), "AC");

    // Reached under another spelling of its own name (a link), the stored name stands.
    fs::create_symlink(dir + "old.gsk", dir + "link.gsk");
    EXPECT_EQ(Loaded(dir + "link.gsk")->ManagerName(), dir + "old");

    // A damaged copy keeps its own name too, so the close after its error box cannot reach the original.
    const Bytes whole = ReadBytes(dir + "copy.gsk");
    WriteFile(dir + "cut.gsk", Bytes(whole.begin(), whole.end() - 100));
    TVorlane cut;
    cut.SetManagerName(dir + "cut.gsk");
    EXPECT_THROW(cut.LoadGallery(), EReadError);
    EXPECT_EQ(cut.ManagerName(), dir + "cut.gsk");
}

// Captions of Shift_JIS Windows paths: split by the Windows rules (a trailing 0x5C is no separator) and
// shown in Japanese, while the stored bytes go back out unchanged, to the file they came from.
TEST_F(GalleryModel, WindowsGalleryShowsJapaneseCaptionsAndKeepsItsBytes)
{
    const WindowsGallery windows;
    const Bytes file = windows.File();
    WriteFile(dir + "旅行.gsk", file);
    TVorlane gallery;
    gallery.SetView(&view);
    gallery.SetManagerName(dir + "旅行");
    gallery.LoadGallery();

    std::vector<MemoryView::Item> expected;
    for (size_t i = 0; i < windows.captions.size(); ++i)
        expected.push_back({windows.captions[i], int(i) + 1});
    EXPECT_EQ(view.items, expected);
    EXPECT_EQ(gallery.FileNames().Items(), windows.entries);
    // The Windows path names no file here: the gallery lives where it was opened, under its old name.
    EXPECT_EQ(gallery.StoredManagerName(), windows.managerName);
    EXPECT_EQ(gallery.ManagerName(), dir + "旅行");

    gallery.SaveGallery();
    EXPECT_EQ(ReadBytes(dir + "旅行.gsk"), file);
    EXPECT_EQ(FolderEntries(dir), std::vector<std::string>{"旅行.gsk"});
    // Naming the gallery ends its Windows name.
    gallery.SetManagerName(dir + "新");
    EXPECT_EQ(gallery.StoredManagerName(), dir + "新");
}

TEST_F(GalleryModel, LoadThatFailsPartWayKeepsWhatWasRead)
{
    TVorlane saved;
    Prepare(saved, "AB");
    saved.SetFormTop(5);
    saved.SaveGallery();
    Bytes file = ReadBytes(dir + "画集.gsk");

    // Cut inside stream 2's image data: stream 1 is applied, the images stay.
    WriteFile(dir + "cut.gsk", Bytes(file.begin(), file.end() - 100));
    TVorlane gallery;
    gallery.SetDefaultImages(defaults);
    gallery.SetView(&view);
    gallery.SetManagerName(dir + "cut");
    const int refreshes = view.refreshes;
    EXPECT_EQ(test::ErrorOf<EReadError>([&] { gallery.LoadGallery(); }),
              "TImageList.Bitmap の読み込み中のエラー : ストリームからの読み込みエラー");
    EXPECT_EQ(gallery.FileNames(), saved.FileNames());
    EXPECT_EQ(gallery.FormTop(), 5);
    EXPECT_EQ(gallery.ManagerName(), dir + "cut"); // the stored name is another file's
    // The old image list stays (the placeholder alone), with placeholders for the names read.
    ASSERT_EQ(gallery.Images().Count(), 3);
    EXPECT_EQ(gallery.Images().Image(1).PixelRgb(0, 0), MakeRgb(255, 255, 255));
    EXPECT_EQ(view.refreshes, refreshes);

    // A record the gallery does not have, after FormTop.
    TMemoryStream stream;
    {
        ComponentWriter writer(stream);
        const std::string head = "TPF0\x08TVorlane";
        writer.Write(head.data(), head.size());
        writer.WriteByte(0);
        writer.WriteRecordName("FormTop");
        writer.WriteInteger(-1);
        writer.WriteRecordName("Foo");
        writer.WriteInteger(1);
        writer.FlushBuffer();
    }
    WriteFile(dir + "foo.gsk", stream.Bytes());
    gallery.SetManagerName(dir + "foo");
    EXPECT_EQ(test::ErrorOf<EReadError>([&] { gallery.LoadGallery(); }),
              "TVorlane.Foo の読み込み中のエラー : プロパティが存在しません");
    EXPECT_EQ(gallery.FormTop(), -1);

    WriteFile(dir + "junk.gsk", Bytes{'J', 'U', 'N', 'K'});
    gallery.SetManagerName(dir + "junk");
    EXPECT_EQ(test::ErrorOf<EReadError>([&] { gallery.LoadGallery(); }), "不正なストリーム フォーマット");
}

TEST_F(GalleryModel, SaveKeepsTheOldFileWhenTheDiskFillsUp)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    gallery.SaveGallery();
    const Bytes old = ReadBytes(gallery.GalleryFileName());
    gallery.AddImages({Picture('B'), Picture('C'), Picture('D'), Picture('E')});
    const auto entries = FolderEntries(dir);

    // Limits that stop the new file inside stream 2, at a block edge and inside stream 1.
    for (rlim_t limit : {rlim_t(12000), rlim_t(4096), rlim_t(100)}) {
        const int code = InChild([&] {
            const FileSizeLimit full(limit);
            try {
                gallery.SaveGallery();
            } catch (const EWriteError& error) {
                return std::string(error.what()) == "ストリームへの書き込みエラー" ? 0 : 2;
            }
            return 1;
        });
        EXPECT_EQ(code, 0) << limit;
        EXPECT_EQ(ReadBytes(gallery.GalleryFileName()), old);
    }
    EXPECT_EQ(FolderEntries(dir), entries); // no temporary file left behind
}

TEST_F(GalleryModel, SaveKeepsTheOldFileInAReadOnlyFolder)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    gallery.SaveGallery();
    const Bytes old = ReadBytes(gallery.GalleryFileName());
    gallery.AddImages({Picture('B')});
    const auto entries = FolderEntries(dir);
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    const int code = FailsAsOrdinaryUser<EFCreateError>([&] { gallery.SaveGallery(); },
                                                        "ファイル " + gallery.GalleryFileName() + " を作成できません");
    ::chmod(dir.c_str(), 0700);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(gallery.GalleryFileName()), old);
    EXPECT_EQ(FolderEntries(dir), entries);
}

TEST_F(GalleryModel, SaveReplacesTheFileBehindALinkAndKeepsItsMode)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    fs::create_directory(dir + "real");
    gallery.SetManagerName(dir + "real/g");
    gallery.SaveGallery();
    ASSERT_EQ(::chmod((dir + "real/g.gsk").c_str(), 0640), 0);
    fs::create_symlink(dir + "real/g.gsk", dir + "link.gsk");
    gallery.SetManagerName(dir + "link");
    gallery.AddImages({Picture('B')});
    gallery.SaveGallery();
    EXPECT_TRUE(fs::is_symlink(dir + "link.gsk"));
    struct stat st {};
    ASSERT_EQ(::stat((dir + "real/g.gsk").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Loaded(dir + "real/g")->FileNames().Count(), 2);
}

} // namespace
// A file naming more pictures than an image list can hold is no gallery: it is refused at the first
// name too many, and what was read keeps one thumbnail per name, so memory stays bounded.
TEST_F(GalleryModel, LoadRefusesMoreNamesThanAGalleryCanHold)
{
    TStringList names;
    for (size_t i = 0; i <= TVorlane::MaxEntries; ++i)
        names.Add("n");
    TVorlane source;
    source.SetFileNames(names);
    TMemoryStream stream;
    {
        ComponentWriter writer(stream);
        writer.WriteComponent(source);
    }
    stream.Seek(0, SeekOrigin::Beginning);

    TVorlane gallery;
    gallery.SetDefaultImages(defaults);
    // A list longer than a gallery can hold is refused.
    EXPECT_EQ(test::ErrorOf<EReadError>([&] { gallery.ReadStreams(stream); }),
              "TVorlane.FileNames.Strings の読み込み中のエラー : 不正なプロパティの値です");
    EXPECT_EQ(size_t(gallery.FileNames().Count()), TVorlane::MaxEntries);
    EXPECT_EQ(gallery.Images().Count(), gallery.FileNames().Count() + 1);
}

} // namespace vorlane::test
