// The gallery component: stream 1 byte for byte, its operations against an in-memory view, loading
// and saving gallery files, and saves that fail without losing the previous file.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gallery/BmpFile.h"
#include "gallery/ComponentReader.h"
#include "gallery/ComponentWriter.h"
#include "gallery/ImageList.h"
#include "gallery/Stream.h"
#include "gallery/View.h"
#include "gallery/Vorlane1.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class MemoryView : public GalleryView {
public:
    struct Item {
        std::string caption;
        int imageIndex;
        friend bool operator==(const Item&, const Item&) = default;
    };

    void BeginUpdate() override { ++updates; }
    void EndUpdate() override { --updates; }
    void Clear() override
    {
        ++refreshes;
        items.clear();
    }
    void SetLargeImages(TImageList* list) override { images = list; }
    void AddItem(const std::string& caption, int imageIndex) override { items.push_back({caption, imageIndex}); }
    std::optional<int> SelectedIndex() const override { return selected; }
    std::optional<int> DropTargetIndex() const override { return dropTarget; }

    std::vector<Item> items;
    TImageList* images = nullptr;
    std::optional<int> selected;
    std::optional<int> dropTarget;
    int updates = 0;
    int refreshes = 0;
};

Bytes ReadFile(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& file, const Bytes& bytes)
{
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Rgb ColourOf(char letter)
{
    return MakeRgb(uint8_t(letter * 3), uint8_t(letter * 5), uint8_t(letter * 7));
}

// Runs `save` in a child process (so that limits and identities stay there) and returns its exit code.
template <class F>
int InChild(F save)
{
    const pid_t child = ::fork();
    if (child == 0) {
        int code = 0;
        try {
            code = save();
        } catch (...) {
            code = 99;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

std::vector<std::string> FolderEntries(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class GalleryModel : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = testing::TempDir() + "vorlane_model_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern + "/";
        path::SetProgramFolderForTesting(dir);

        // The placeholder: blue with a transparent top-left corner.
        Bitmap image(32, 32, 24);
        image.Fill(MakeRgb(0, 0, 255));
        Bitmap mask(32, 32, 1);
        mask.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}}; // set bits: transparent
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                mask.SetPixelValue(x, y, 1);
        defaults.Add(image, &mask);
    }
    void TearDown() override
    {
        ::chmod(dir.c_str(), 0700);
        fs::remove_all(dir);
        path::SetProgramFolderForTesting("");
    }

    // A 2x2 bitmap file of one colour per letter, named after the letter.
    std::string Picture(char letter)
    {
        Bitmap bitmap(2, 2, 24);
        bitmap.Fill(ColourOf(letter));
        const std::string file = dir + std::string(1, letter) + ".bmp";
        WriteFile(file, WriteBmp(bitmap));
        return file;
    }

    // Entry names and, for each, the letter its thumbnail was made from.
    std::string Order(const TVorlane& gallery)
    {
        std::string letters;
        for (int i = 0; i < gallery.FileNames().Count(); ++i) {
            const char letter = path::ExtractFileName(gallery.FileNames()[i])[0];
            EXPECT_EQ(gallery.Images().Image(i + 1).PixelRgb(16, 16), ColourOf(letter)) << "entry " << i;
            letters += letter;
        }
        EXPECT_EQ(gallery.Images().Count(), gallery.FileNames().Count() + 1);
        return letters;
    }

    void Prepare(TVorlane& gallery, const std::string& letters)
    {
        gallery.SetDefaultImages(defaults);
        gallery.SetView(&view);
        std::vector<std::string> files;
        for (char letter : letters)
            files.push_back(Picture(letter));
        gallery.AddImages(files);
    }

    std::string dir;
    TImageList defaults{nullptr, 32, 32};
    MemoryView view;
};

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
    const Bytes expected = {
        0x54, 0x50, 0x46, 0x30,                                                 // TPF0
        0x08, 0x54, 0x56, 0x6F, 0x72, 0x6C, 0x61, 0x6E, 0x65,                   // TVorlane
        0x00,                                                                   // no name
        0x11, 0x46, 0x69, 0x6C, 0x65, 0x4E, 0x61, 0x6D, 0x65, 0x73, 0x2E, 0x53, // FileNames.Strings
        0x74, 0x72, 0x69, 0x6E, 0x67, 0x73,
        0x01, 0x06, 0x0A, 0x43, 0x3A, 0x5C, 0x50, 0x5C, 0x61, 0x2E, 0x6A, 0x70, 0x67, 0x00,
        0x07, 0x46, 0x6F, 0x72, 0x6D, 0x54, 0x6F, 0x70, 0x02, 0x64,             // FormTop 100
        0x08, 0x46, 0x6F, 0x72, 0x6D, 0x4C, 0x65, 0x66, 0x74, 0x02, 0x32,       // FormLeft 50
        0x09, 0x46, 0x6F, 0x72, 0x6D, 0x57, 0x69, 0x64, 0x74, 0x68, 0x03, 0x58, 0x02,       // 600
        0x0A, 0x46, 0x6F, 0x72, 0x6D, 0x48, 0x65, 0x69, 0x67, 0x68, 0x74, 0x03, 0x90, 0x01, // 400
        0x0A, 0x49, 0x6E, 0x69, 0x74, 0x69, 0x61, 0x6C, 0x44, 0x69, 0x72, 0x06, 0x04, 0x43, 0x3A, 0x5C, 0x50,
        0x0B, 0x4D, 0x61, 0x6E, 0x61, 0x67, 0x65, 0x72, 0x4E, 0x61, 0x6D, 0x65,
        0x06, 0x09, 0x43, 0x3A, 0x5C, 0x56, 0x5C, 0x89, 0xE6, 0x8F, 0x57,
        0x00, 0x00};
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
    const Bytes file = ReadFile(std::string(VORLANE_TEST_DATA) + "/gallery/three_entries.gsk");
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
    const std::pair<const char*, const char*> files[] = {
        {"/v/画集", "/v/画集.gsk"}, {"/v/my.gsk", "/v/my.gsk"}, {"/v/a.b", "/v/a.gsk"}, {"/v.d/noext", "/v.d/noext.gsk"}};
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
    try {
        gallery.AddImages({Picture('B'), broken, Picture('C')});
        FAIL() << "no error";
    } catch (const EInvalidGraphic& error) {
        EXPECT_STREQ(error.what(), "ビットマップイメージが不正です");
    }
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

TEST_F(GalleryModel, SaveAndLoadRoundTrip)
{
    TVorlane saved;
    Prepare(saved, "AB");
    const std::string longName = dir + std::string(300, 'L') + ".jpg"; // a 0C string
    saved.SetFileNames(TStringList{saved.FileNames()[0], saved.FileNames()[1]});
    saved.AddImage(longName);
    saved.SetFormTop(-8);
    saved.SetFormLeft(-70000);
    saved.SetFormWidth(65536);
    saved.SetFormHeight(INT32_MAX);
    saved.SetInitialDir(dir + "ソ表能");
    saved.SetIniManagerName("ini");
    saved.SaveGallery();
    const Bytes file = ReadFile(dir + "画集.gsk");

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
    EXPECT_EQ(ReadFile(dir + "画集.gsk"), file);
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_FALSE(entry.path().filename().string().ends_with(".tmp")) << entry.path();
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
    Bytes file = ReadFile(three.GalleryFileName());
    const Bytes stream2 = {'T', 'P', 'F', '0'};
    const auto at = std::search(file.begin() + 4, file.end(), stream2.begin(), stream2.end());
    WriteFile(dir + "half.gsk", Bytes(file.begin(), at));
    gallery.SetManagerName(dir + "half");
    EXPECT_THROW(gallery.LoadGallery(), EReadError);
    EXPECT_EQ(gallery.FileNames().Count(), 3);
    EXPECT_EQ(gallery.Images().Count(), 4);
}

TEST_F(GalleryModel, UnreadableFileIsAnOpenError)
{
    TVorlane gallery;
    gallery.SetDefaultImages(defaults);
    gallery.SaveGallery();
    ASSERT_EQ(::chmod(gallery.GalleryFileName().c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
    const int code = InChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 3;
        try {
            gallery.LoadGallery();
        } catch (const EFOpenError& error) {
            return std::string(error.what()) == "ファイル " + gallery.GalleryFileName() + " は開けません" ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(code, 0);
}

TEST_F(GalleryModel, FileOpenedUnderANewPathKeepsTheStoredManagerName)
{
    TVorlane saved;
    saved.SetDefaultImages(defaults);
    saved.SetManagerName(dir + "old");
    saved.SaveGallery();
    fs::rename(dir + "old.gsk", dir + "new.gsk");
    TVorlane loaded;
    loaded.SetManagerName(dir + "new.gsk");
    loaded.LoadGallery();
    EXPECT_EQ(loaded.ManagerName(), dir + "old");
    EXPECT_EQ(loaded.GalleryFileName(), dir + "old.gsk");
}

TEST_F(GalleryModel, LoadThatFailsPartWayKeepsWhatWasRead)
{
    TVorlane saved;
    Prepare(saved, "AB");
    saved.SetFormTop(5);
    saved.SaveGallery();
    Bytes file = ReadFile(dir + "画集.gsk");

    // Cut inside stream 2's image data: stream 1 is applied, the images stay.
    WriteFile(dir + "cut.gsk", Bytes(file.begin(), file.end() - 100));
    TVorlane gallery;
    gallery.SetDefaultImages(defaults);
    gallery.SetView(&view);
    gallery.SetManagerName(dir + "cut");
    const int refreshes = view.refreshes;
    try {
        gallery.LoadGallery();
        FAIL() << "no error";
    } catch (const EReadError& error) {
        EXPECT_STREQ(error.what(), "TImageList.Bitmap の読み込み中のエラー : ストリームからの読み込みエラー");
    }
    EXPECT_EQ(gallery.FileNames(), saved.FileNames());
    EXPECT_EQ(gallery.FormTop(), 5);
    EXPECT_EQ(gallery.ManagerName(), dir + "画集");
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
    try {
        gallery.LoadGallery();
        FAIL() << "no error";
    } catch (const EReadError& error) {
        EXPECT_STREQ(error.what(), "TVorlane.Foo の読み込み中のエラー : プロパティが存在しません");
    }
    EXPECT_EQ(gallery.FormTop(), -1);

    WriteFile(dir + "junk.gsk", Bytes{'J', 'U', 'N', 'K'});
    gallery.SetManagerName(dir + "junk");
    EXPECT_THROW(
        {
            try {
                gallery.LoadGallery();
            } catch (const EReadError& error) {
                EXPECT_STREQ(error.what(), "不正なストリーム フォーマット");
                throw;
            }
        },
        EReadError);
}

TEST_F(GalleryModel, SaveKeepsTheOldFileWhenTheDiskFillsUp)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    gallery.SaveGallery();
    const Bytes old = ReadFile(gallery.GalleryFileName());
    gallery.AddImages({Picture('B'), Picture('C'), Picture('D'), Picture('E')});
    const auto entries = FolderEntries(dir);

    // Limits that stop the new file inside stream 2, at a block edge and inside stream 1.
    for (rlim_t limit : {rlim_t(12000), rlim_t(4096), rlim_t(100)}) {
        const int code = InChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit cap{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &cap);
            try {
                gallery.SaveGallery();
            } catch (const EWriteError& error) {
                return std::string(error.what()) == "ストリームへの書き込みエラー" ? 0 : 2;
            }
            return 1;
        });
        EXPECT_EQ(code, 0) << limit;
        EXPECT_EQ(ReadFile(gallery.GalleryFileName()), old);
    }
    EXPECT_EQ(FolderEntries(dir), entries); // no temporary file left behind
}

TEST_F(GalleryModel, SaveKeepsTheOldFileInAReadOnlyFolder)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    gallery.SaveGallery();
    const Bytes old = ReadFile(gallery.GalleryFileName());
    gallery.AddImages({Picture('B')});
    const auto entries = FolderEntries(dir);
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    const int code = InChild([&] {
        // Permissions do not bind root: save as an ordinary user there.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 3;
        try {
            gallery.SaveGallery();
        } catch (const EFCreateError& error) {
            return std::string(error.what()) == "ファイル " + gallery.GalleryFileName() + " を作成できません" ? 0 : 2;
        }
        return 1;
    });
    ::chmod(dir.c_str(), 0700);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(gallery.GalleryFileName()), old);
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
    TVorlane loaded;
    loaded.SetManagerName(dir + "real/g");
    loaded.LoadGallery();
    EXPECT_EQ(loaded.FileNames().Count(), 2);
}

} // namespace
} // namespace vorlane
