// The window's commands behind a front end of no toolkit, as both systems' windows run them: each
// handler is called as its button or menu item calls it, under an error handler that records the error
// box's text as the front ends show it.
#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSystemCalls.h"
#include "app/ErrorText.h"
#include "app/MainWindowCommands.h"
#include "component/Component.h"
#include "gallery/ImageList.h"
#include "gallery/Vorlane1.h"
#include "image/BmpFile.h"
#include "image/PictureDecoder.h"
#include "platform/FolderLock.h"
#include "platform/Path.h"
#include "tests/app/CommandsFixture.h"
#include "tests/gallery/GalleryFixture.h"
#include "tests/gallery/WindowsGallery.h"
#include "tests/image/JpegEncode.h"
#include "tests/socket/SocketTestSupport.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane::test {
namespace {

namespace fs = std::filesystem;

using Command = void (MainWindowCommands::*)();

class CommandsTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        EnsureApplication();
        ProgramFolderTest::SetUp();
        // The placeholder that pictures missing when added show, as the front ends' list holds it.
        Bitmap placeholder(32, 32, 24);
        placeholder.Fill(MakeRgb(0, 0, 255));
        images_.Add(placeholder, nullptr);
    }
    void TearDown() override
    {
        commands_.reset();
        ProgramFolderTest::TearDown();
    }
    // The window is made and shown: creation, then the first showing.
    void Start()
    {
        commands_.reset();
        window_ = std::make_unique<TComponent>();
        commands_ = std::make_unique<MainWindowCommands>(*window_, frontEnd_, view_, images_, dialogs_, desktop_);
        Run(&MainWindowCommands::Create);
        Run(&MainWindowCommands::FirstShow);
    }
    // Closes the window as the user does; true when it closed. A closed window is destroyed.
    bool Close()
    {
        if (!commands_->Close())
            return false;
        Run(&MainWindowCommands::Destroy);
        commands_.reset();
        return true;
    }
    void Run(Command command)
    {
        try {
            (commands_.get()->*command)();
        } catch (...) {
            frontEnd_.errors.push_back(CurrentErrorBoxText());
        }
    }
    const std::vector<std::string>& Errors() const { return frontEnd_.errors; }
    std::vector<std::string> Captions() const
    {
        std::vector<std::string> captions;
        for (const auto& item : view_.items)
            captions.push_back(item.caption);
        return captions;
    }
    const TVorlane& Gallery() const { return commands_->Gallery(); }
    void Select(std::optional<int> index) { view_.selected = index; }
    // Adds pictures through the add command; missing files get the placeholder.
    void AddPictures(const std::vector<std::string>& files)
    {
        dialogs_.files.push_back(files);
        Run(&MainWindowCommands::OpenImageButtonClick);
    }
    void AddAndSelect(const std::string& file)
    {
        AddPictures({file});
        Select(int(view_.items.size()) - 1);
    }
    // The gallery as stored in `file`.
    static std::unique_ptr<TVorlane> Stored(const std::string& file)
    {
        auto stored = std::make_unique<TVorlane>();
        stored->SetManagerName(file);
        stored->LoadGallery();
        return stored;
    }

    std::unique_ptr<TComponent> window_;
    TImageList images_{nullptr, 32, 32};
    MemoryView view_;
    RecordingFrontEnd frontEnd_;
    std::unique_ptr<MainWindowCommands> commands_; // declared last: it goes before the window owning its components
};

const std::string Prefix = "Quorvel Vorlane  Ver1.6 ";

TEST_F(CommandsTest, StoredGalleryComesBackWithItsPlaceAndName)
{
    frontEnd_.monitors = {{0, 0, 1024, 768}};
    Start();
    AddPictures({Picture("a.jpg"), Picture("b.c.bmp")});
    frontEnd_.window = {30, 40, 500, 300};
    ASSERT_TRUE(Close());

    // "Manager" may name the file with its extension; the name kept in the file is the one shown.
    WriteIni("[Initial]\nManager=" + Program() + "画集.gsk\nSaver=" + Program() + "other\n");
    Start();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b.c"}));
    EXPECT_EQ(frontEnd_.caption, Prefix + "画集");
    EXPECT_EQ(frontEnd_.window, (WindowRect{30, 40, 500, 300}));
    EXPECT_EQ(commands_->OpenImage.InitialDir, (root_ / "pictures").string());
    ASSERT_TRUE(Close());
    EXPECT_EQ(ReadIni(), "[Initial]\nManager=" + Program() + "画集\nSaver=" + Program() + "other\n");
}

// The stored place is kept while some monitor shows the window's top; off all of them it goes onto the
// nearest, at its stored size.
TEST_F(CommandsTest, StoredPlaceOnSomeMonitorIsKeptAndOffAllOfThemGoesOntoTheNearest)
{
    const struct {
        WindowRect stored;
        WindowRect shown;
    } cases[] = {
        {{1500, 900, 500, 300}, {1500, 900, 500, 300}},             // its top is on the taller monitor only
        {{3000, -400, 500, 300}, {1024 + 1280 - 500, 0, 500, 300}}, // beyond the right one, above both
        {{-5000, -3000, 500, 300}, {0, 0, 500, 300}},               // far to the top left
    };
    for (const auto& c : cases) {
        TVorlane stored;
        stored.SetManagerName(Program() + "画集");
        stored.SetFormLeft(c.stored.Left);
        stored.SetFormTop(c.stored.Top);
        stored.SetFormWidth(c.stored.Width);
        stored.SetFormHeight(c.stored.Height);
        stored.SaveGallery();
        frontEnd_.monitors = {{0, 0, 1024, 768}, {1024, 0, 1280, 1024}};
        Start();
        EXPECT_EQ(frontEnd_.window, c.shown) << c.stored.Left << "," << c.stored.Top;
        commands_.reset();
    }
    EXPECT_TRUE(Errors().empty());
}

// A gallery that is not there yet starts empty under its name and is written on closing: the default one
// when the settings name none, a named one, and, for an empty name, ".gsk" in the current folder.
TEST_F(CommandsTest, GalleryNotThereYetStartsEmptyAndIsCreatedOnExit)
{
    const fs::path before = fs::current_path();
    fs::current_path(root_);
    const struct {
        std::optional<std::string> manager; // none: no settings file
        std::string caption;
        std::string created;
        std::string managerAfter;
        std::string watched; // the file; its folder too
    } starts[] = {
        {std::nullopt, Prefix + "画集", ProgramPath("画集.gsk"), Program() + "画集", ProgramPath("画集.gsk")},
        {Program() + "missing", Prefix + "missing", ProgramPath("missing.gsk"), Program() + "missing",
         ProgramPath("missing.gsk")},
        {"", Prefix, (root_ / ".gsk").string(), "", ".gsk"},
    };
    for (const auto& start : starts) {
        if (start.manager)
            WriteIni("[Initial]\nManager=" + *start.manager + "\n");
        Start();
        EXPECT_TRUE(view_.items.empty());
        EXPECT_EQ(frontEnd_.caption, start.caption);
        EXPECT_EQ(commands_->OpenImage.InitialDir, "");
        EXPECT_EQ(frontEnd_.watched.first, start.watched);
        EXPECT_TRUE(Close());
        EXPECT_TRUE(Exists(start.created)) << start.created;
        EXPECT_EQ(ReadIni(), "[Initial]\nManager=" + start.managerAfter + "\n");
    }
    fs::current_path(before);
    EXPECT_TRUE(Errors().empty());
}

// Brought from Japanese Windows: a settings file naming the gallery by a Windows path in Shift_JIS, and
// the gallery file, put in the program folder. Its names show in Japanese; its pictures are not here, so
// they keep their thumbnails and none becomes the wallpaper; nothing in Shift_JIS reaches the settings.
TEST_F(CommandsTest, WindowsGalleryShowsJapaneseNamesAndItsMissingPicturesGiveTheOpenError)
{
    const WindowsGallery windows;
    WriteFile(ProgramPath("旅行.gsk"), windows.File());
    WriteIni("[Initial]\nManager=" + windows.managerName + "\n");
    Start();
    EXPECT_EQ(frontEnd_.caption, Prefix + "旅行");
    EXPECT_EQ(Captions(), windows.captions);
    ASSERT_EQ(Gallery().Images().Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Gallery().Images().Image(i), WindowsGallery::Image(size_t(i))) << i;

    Select(1);
    Run(&MainWindowCommands::WallButtonClick);
    Select(0);
    Run(&MainWindowCommands::X1Click);
    EXPECT_EQ(Errors(), (std::vector<std::string>{"ファイル C:\\写真\\ソ表\\能.bmp は開けません.",
                                                  "ファイル C:\\写真\\夏休み.jpg は開けません."}));
    EXPECT_TRUE(desktop_.wallpapers.empty());
    EXPECT_FALSE(Exists(ProgramPath("Temp.bmp")));

    // Closing saves the gallery where it was loaded from, its names as they were, and "Manager" names
    // that file in this system's terms.
    ASSERT_TRUE(Close());
    EXPECT_EQ(ReadIni(), "[Initial]\nManager=" + Program() + "旅行\n");
    const auto saved = Stored(Program() + "旅行");
    EXPECT_EQ(saved->FileNames().Items(), windows.entries);
    EXPECT_EQ(saved->StoredManagerName(), windows.managerName);
    EXPECT_EQ(Errors().size(), 2u) << "closing adds no error";
}

TEST_F(CommandsTest, AddPicturesAppendsInOrderAndRemembersTheFolder)
{
    Start();
    AddPictures({Picture("x.jpg"), Picture("y.bmp"), Picture("x.jpg")});
    EXPECT_EQ(Captions(), (std::vector<std::string>{"x", "y", "x"}));
    EXPECT_EQ(Gallery().InitialDir(), (root_ / "pictures").string());
    EXPECT_EQ(commands_->OpenImage.InitialDir, ""); // takes effect at the next load
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    // The two choices of old, the first one shown first, then every picture read.
    EXPECT_EQ(dialogs_.shown[0].Filter, std::string("ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg)|*jpg|すべての画像|"
                                                    "*.bmp;*.jpg;*.jpeg;*.jpe;*.jfif") +
                                            (PictureFormats().empty() ? "" : ";*.png;*.webp;*.gif") +
                                            (PictureFormats().size() == 4 ? ";*.avif" : "")); // no AVIF on Windows
    EXPECT_EQ(dialogs_.shown[0].FilterIndex, 1);
    EXPECT_TRUE(dialogs_.shown[0].AllowMultiSelect);
    EXPECT_TRUE(dialogs_.shown[0].FileMustExist);

    dialogs_.files.push_back(std::nullopt); // Cancel
    Run(&MainWindowCommands::G1Click);
    EXPECT_EQ(view_.items.size(), 3u);
}

TEST_F(CommandsTest, DamagedPictureEndsAddAfterTheOnesBefore)
{
    WriteFile(Picture("bad.jpg"), "not a JPEG at all");
    Start();
    AddPictures({Picture("first.jpg"), Picture("bad.jpg"), Picture("last.jpg")});
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].rfind("JPEG エラー #", 0), 0u) << Errors()[0];
    EXPECT_EQ(Gallery().FileNames().Count(), 1);
    EXPECT_TRUE(view_.items.empty()); // no refresh after the error
    EXPECT_EQ(Gallery().InitialDir(), "");
}

TEST_F(CommandsTest, DeleteRemovesOnlyTheSelectedPicture)
{
    Start();
    AddPictures({Picture("a.jpg"), Picture("b.jpg"), Picture("c.jpg")});
    Run(&MainWindowCommands::ToolButton1Click); // nothing selected
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c"}));
    Select(1);
    Run(&MainWindowCommands::D1Click);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(Gallery().Images().Count(), 3);
}

TEST_F(CommandsTest, DroppingAnItemMovesItBeforeTheTarget)
{
    Start();
    AddPictures({Picture("A.jpg"), Picture("B.jpg"), Picture("C.jpg"), Picture("D.jpg")});
    const struct {
        int dragged;
        std::optional<int> target;
        std::vector<std::string> after;
    } drops[] = {
        {0, 3, {"B", "C", "A", "D"}},
        {2, 2, {"B", "C", "A", "D"}}, // onto itself
        {3, 0, {"D", "B", "C", "A"}},
        {1, std::nullopt, {"D", "B", "C", "A"}}, // outside any item
    };
    for (const auto& drop : drops) {
        Select(drop.dragged);
        view_.dropTarget = drop.target;
        Run(&MainWindowCommands::ListViewDragDrop);
        EXPECT_EQ(Captions(), drop.after) << drop.dragged;
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(CommandsTest, LoadSavesTheCurrentGalleryThenShowsTheChosenOne)
{
    Start();
    AddPictures({Picture("a.jpg")});
    // A name that does not exist: saved under the old name, the list empties, the caption shows it.
    dialogs_.files.push_back(std::vector<std::string>{Program() + "typed.gsk"});
    Run(&MainWindowCommands::ToolButton2Click);
    EXPECT_EQ(dialogs_.shown.back().InitialDir, Program());
    EXPECT_EQ(dialogs_.shown.back().Filter, "画集|*.gsk");
    EXPECT_TRUE(Exists(ProgramPath("画集.gsk")));
    EXPECT_TRUE(view_.items.empty());
    EXPECT_EQ(frontEnd_.caption, Prefix + "typed.gsk");

    // Back to the first: its entries, its stored name and its picture folder.
    dialogs_.files.push_back(std::vector<std::string>{Program() + "画集.gsk"});
    Run(&MainWindowCommands::L1Click);
    EXPECT_TRUE(Exists(ProgramPath("typed.gsk")));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a"}));
    EXPECT_EQ(frontEnd_.caption, Prefix + "画集");
    EXPECT_EQ(commands_->OpenImage.InitialDir, (root_ / "pictures").string());

    // Cancel saves nothing.
    std::remove(ProgramPath("typed.gsk").c_str());
    dialogs_.files.push_back(std::nullopt);
    Run(&MainWindowCommands::ToolButton2Click);
    EXPECT_FALSE(Exists(ProgramPath("typed.gsk")));
}

// A copy is its own gallery: it shows and saves under the name it was opened with, and closing it never
// writes over the gallery it was copied from.
TEST_F(CommandsTest, LoadedCopyIsShownAndSavedUnderItsOwnName)
{
    Start();
    AddPictures({Picture("a.jpg")});
    ASSERT_TRUE(Close());
    fs::create_directories(root_ / "elsewhere");
    const std::string copy = (root_ / "elsewhere" / "copy.gsk").string();
    WriteFile(copy, ReadText(ProgramPath("画集.gsk")));
    Start();
    AddPictures({Picture("b.jpg")});
    dialogs_.files.push_back(std::vector<std::string>{copy});
    Run(&MainWindowCommands::ToolButton2Click);
    const std::string original = ReadText(ProgramPath("画集.gsk"));
    EXPECT_EQ(frontEnd_.caption, Prefix + "copy.gsk");
    EXPECT_EQ(Gallery().ManagerName(), copy);
    Select(0);
    Run(&MainWindowCommands::ToolButton1Click);
    ASSERT_TRUE(Close());
    EXPECT_EQ(ReadText(ProgramPath("画集.gsk")), original);
    const auto saved = Stored(copy);
    EXPECT_EQ(saved->FileNames().Count(), 0);
    EXPECT_EQ(saved->ManagerName(), copy);
}

TEST_F(CommandsTest, NewGallerySavesClearsAndOpensTheNamedOne)
{
    Start();
    AddPictures({Picture("a.jpg"), Picture("b.jpg")});
    dialogs_.names.push_back("二つ目");
    Run(&MainWindowCommands::N1Click);
    EXPECT_TRUE(Exists(ProgramPath("画集.gsk")));
    EXPECT_TRUE(view_.items.empty());
    EXPECT_EQ(frontEnd_.caption, Prefix + "二つ目");
    EXPECT_EQ(Gallery().InitialDir(), (root_ / "pictures").string()); // kept: nothing was loaded

    // A new gallery with the current name brings the same entries back.
    AddPictures({Picture("c.jpg")});
    dialogs_.names.push_back("二つ目");
    Run(&MainWindowCommands::N1Click);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"c"}));

    // An existing name opens that gallery.
    dialogs_.names.push_back("画集");
    Run(&MainWindowCommands::N1Click);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b"}));

    dialogs_.names.push_back(std::nullopt);
    Run(&MainWindowCommands::N1Click);
    EXPECT_EQ(frontEnd_.caption, Prefix + "画集");
}

TEST_F(CommandsTest, RenameChangesOnlyTheNameUntilTheNextSave)
{
    Start();
    AddPictures({Picture("a.jpg")});
    ASSERT_TRUE(Close());
    const std::string oldFile = ReadText(ProgramPath("画集.gsk"));
    Start();
    AddPictures({Picture("b.jpg")});
    dialogs_.names.push_back("新しい名前");
    Run(&MainWindowCommands::R1Click);
    EXPECT_EQ(frontEnd_.caption, Prefix + "新しい名前");
    EXPECT_FALSE(Exists(ProgramPath("新しい名前.gsk")));

    // Loading another gallery saves under the new name; the old file stays as it was.
    dialogs_.files.push_back(std::vector<std::string>{Program() + "other.gsk"});
    Run(&MainWindowCommands::ToolButton2Click);
    EXPECT_TRUE(Exists(ProgramPath("新しい名前.gsk")));
    EXPECT_EQ(ReadText(ProgramPath("画集.gsk")), oldFile);

    // An empty name is the program folder itself: nothing after the fixed text.
    dialogs_.names.push_back("");
    Run(&MainWindowCommands::R1Click);
    EXPECT_EQ(frontEnd_.caption, Prefix);
    EXPECT_EQ(Gallery().ManagerName(), Program());
    ASSERT_TRUE(Close());
    EXPECT_TRUE(Exists(ProgramPath(".gsk")));
}

TEST_F(CommandsTest, ScreenSaverCommandsWriteSaverAtOnce)
{
    WriteIni("; kept\n[Initial]\nManager=" + Program() + "g\n");
    Start();
    Run(&MainWindowCommands::A1Click);
    EXPECT_EQ(ReadIni(), "; kept\n[Initial]\nManager=" + Program() + "g\nSaver=" + Program() + "g\n");
    EXPECT_FALSE(Exists(ProgramPath("g.gsk")));
    Run(&MainWindowCommands::B1Click);
    EXPECT_EQ(ReadIni(), "; kept\n[Initial]\nManager=" + Program() + "g\nSaver=Default\n");
}

// A close that cannot save keeps the window open and says how to close it anyway: the next close tries
// again and, when it still cannot save, closes without saving.
TEST_F(CommandsTest, FailedSaveAtCloseKeepsTheWindowOpenOnce)
{
    Start();
    AddPictures({Picture("a.jpg")});
    ASSERT_TRUE(Close());
    const std::string file = ProgramPath("画集.gsk");
    const auto readOnly = [&](bool on) {
        fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        on ? fs::perm_options::remove : fs::perm_options::add);
    };
    readOnly(true);
    Start();
    AddPictures({Picture("b.jpg")});
    EXPECT_FALSE(Close());
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0], "ファイル " + file + " を作成できません.\n\n保存せずに閉じるには、もう一度閉じてください。");
    readOnly(false);
    ASSERT_TRUE(Close());
    EXPECT_EQ(Errors().size(), 1u);

    Start();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b"}));
    AddPictures({Picture("c.jpg")});
    readOnly(true);
    const std::string before = ReadText(file);
    EXPECT_FALSE(Close());
    EXPECT_TRUE(Close());
    EXPECT_EQ(ReadText(file), before);
    EXPECT_EQ(Errors().size(), 2u);
    readOnly(false);
}

// A name that no file can have (another folder, longer than a file name may be) is refused in the command
// that takes it, so that no later save, and no close, fails for it.
TEST_F(CommandsTest, GalleryNamesNoFileCanHaveAreRefusedWhereTyped)
{
    Start();
    AddPictures({Picture("a.jpg")});
    const std::string elsewhere = "no" + std::string(1, path::Separator()) + "such" + path::Separator() + "g";
    dialogs_.names.push_back(elsewhere);
    Run(&MainWindowCommands::R1Click);
    dialogs_.names.push_back(std::string(300, 'x'));
    Run(&MainWindowCommands::N1Click);
    ASSERT_EQ(Errors().size(), 2u);
    EXPECT_EQ(Errors()[0], "ファイル " + Program() + elsewhere + ".gsk を作成できません.");
    EXPECT_EQ(Errors()[1], "ファイル " + Program() + std::string(300, 'x') + ".gsk を作成できません.");
    EXPECT_EQ(frontEnd_.caption, Prefix + "画集");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a"}));
    ASSERT_TRUE(Close());
    EXPECT_TRUE(Exists(ProgramPath("画集.gsk")));
}

// A path one over the system's limit (PATH_MAX counts the NUL; a Windows path's characters are counted,
// and these are ASCII) is refused where it comes in, never cut or stored: nothing is read of it first.
TEST_F(CommandsTest, PathsOverTheSystemsLimitAreRefusedWhereTheyComeIn)
{
    Start();
    AddPictures({Picture("a.jpg")});
    const std::string over = Program() + std::string(PATH_MAX - Program().size() - 4, 'p') + ".jpg";
    ASSERT_EQ(over.size(), size_t(PATH_MAX));
    const std::string refused = "パス名 " + over + " は長すぎます (";

    // The pictures chosen before it are added, as before a picture that cannot be read.
    dialogs_.files.push_back(std::vector<std::string>{Picture("b.jpg"), over, Picture("c.jpg")});
    Run(&MainWindowCommands::G1Click);
    const std::string gallery = path::ChangeFileExt(over, ".gsk");
    dialogs_.files.push_back(std::vector<std::string>{gallery});
    Run(&MainWindowCommands::L1Click);
    ASSERT_EQ(Errors().size(), 2u);
    EXPECT_EQ(Errors()[0].rfind(refused, 0), 0u) << Errors()[0];
    EXPECT_EQ(Errors()[1].rfind("パス名 " + gallery + " は長すぎます (", 0), 0u) << Errors()[1];
    EXPECT_EQ(Gallery().FileNames().Count(), 2);
    EXPECT_EQ(frontEnd_.caption, Prefix + "画集");
    EXPECT_FALSE(Exists(ProgramPath("画集.gsk"))); // not saved: the load ended before it
}

// Another program's change to the open gallery shows at once while the window has none of its own; once
// both changed, closing keeps both versions and says which file holds which.
TEST_F(CommandsTest, AnotherProgramsChangeIsShownOrKeptNeverOverwritten)
{
    Start();
    AddPictures({Picture("a.jpg")});
    ASSERT_TRUE(Close());
    Start();
    const std::string file = ProgramPath("画集.gsk");
    const auto anotherProgramAdds = [&](const std::vector<std::string>& pictures) {
        TVorlane other;
        other.SetManagerName(file);
        other.LoadGallery();
        other.AddImages(pictures);
        other.SaveGallery();
    };
    anotherProgramAdds({Picture("b.jpg"), Picture("c.jpg")});
    Run(&MainWindowCommands::GalleryFileChanged);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c"}));

    AddPictures({Picture("d.jpg")});
    anotherProgramAdds({Picture("e.jpg")});
    Run(&MainWindowCommands::GalleryFileChanged);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c", "d"})) << "the window's own change stays";
    ASSERT_TRUE(Close());
    const std::string aside = Program() + "画集 (2).gsk";
    EXPECT_TRUE(Errors().empty());
    ASSERT_EQ(frontEnd_.notices.size(), 1u);
    EXPECT_EQ(frontEnd_.notices[0],
              "画集 " + file + " は、開いている間に他のプログラムが書き換えていました。この画面の画集を " + file +
                  " に保存し、他のプログラムが保存した画集は " + aside + " に残しました。");
    EXPECT_EQ(Stored(file)->FileNames().Items(),
              (std::vector<std::string>{Picture("a.jpg"), Picture("b.jpg"), Picture("c.jpg"), Picture("d.jpg")}));
    EXPECT_EQ(Stored(aside)->FileNames().Items(),
              (std::vector<std::string>{Picture("a.jpg"), Picture("b.jpg"), Picture("c.jpg"), Picture("e.jpg")}));
}

TEST_F(CommandsTest, DamagedGalleryIsShownAsAnErrorAndNeverOverwritten)
{
    // A gallery stream whose first record is cut short.
    const std::string damaged = std::string("TPF0\x08TVorlane") + '\0' + "\x05" + "Broken";
    WriteFile(ProgramPath("画集.gsk"), damaged);
    WriteFile(ProgramPath("画集.gsk.bak"), "an older backup");
    Start();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(frontEnd_.caption, ""); // the rest of the first showing is skipped
    AddPictures({Picture("new.jpg")});
    ASSERT_TRUE(Close());
    EXPECT_EQ(ReadText(ProgramPath("画集.gsk.bak")), "an older backup");
    EXPECT_EQ(ReadText(ProgramPath("画集.gsk.bak2")), damaged);
    EXPECT_NE(ReadText(ProgramPath("画集.gsk")), damaged);

    // The gallery saved in its place loads again.
    frontEnd_.errors.clear();
    Start();
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Captions(), (std::vector<std::string>{"new"}));
}

TEST_F(CommandsTest, GalleryFileNotAStreamIsKeptWhenAnotherIsLoaded)
{
    WriteFile(ProgramPath("bad.gsk"), "garbage");
    Start();
    dialogs_.files.push_back(std::vector<std::string>{Program() + "bad.gsk"});
    Run(&MainWindowCommands::ToolButton2Click);
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0], "不正なストリーム フォーマット.");
    dialogs_.files.push_back(std::vector<std::string>{Program() + "画集.gsk"});
    Run(&MainWindowCommands::ToolButton2Click);
    EXPECT_EQ(ReadText(ProgramPath("bad.gsk.bak")), "garbage");
}

// Set as wallpaper, with a desktop that records what it is asked to do. No mascot listens, so every
// announcement fails, and that must stay invisible.
TEST_F(CommandsTest, WallpaperOfTheSelectedPictureByItsKind)
{
    Start();
    AddAndSelect(Picture("a.jpg"));
    Select(std::nullopt); // nothing selected: nothing happens
    Run(&MainWindowCommands::WallButtonClick);
    Run(&MainWindowCommands::X1Click);
    EXPECT_TRUE(desktop_.wallpapers.empty());

    AddAndSelect(Picture("PHOTO.BMP"));    // added while missing, so it has the placeholder
    WriteFile(Picture("PHOTO.BMP"), "BM"); // a bitmap in any letter case is used as it is: the desktop reads it
    Run(&MainWindowCommands::WallButtonClick);
    EXPECT_EQ(desktop_.wallpapers, std::vector<std::string>{Picture("PHOTO.BMP")});
    EXPECT_FALSE(Exists(ProgramPath("Temp.bmp")));

    Bitmap red(40, 30, 24);
    red.Fill(MakeRgb(255, 0, 0));
    WriteFile(Picture("b.jpeg"), EncodeJpeg(red));
    AddAndSelect(Picture("b.jpeg")); // a JPEG becomes Temp.bmp in the program folder
    Run(&MainWindowCommands::X1Click);
    EXPECT_EQ(desktop_.wallpapers.back(), Program() + "Temp.bmp");
    const Bitmap written = ReadBmpFile(Program() + "Temp.bmp");
    EXPECT_EQ(written.Width(), 40);
    EXPECT_EQ(written.Height(), 30);
    EXPECT_TRUE(Errors().empty());

    AddAndSelect(Picture("c.jpg"));                // added while missing, so it has the placeholder
    WriteFile(Picture("c.jpg"), "P6 1 1 255 ..."); // and then replaced by a picture of a kind not read
    Run(&MainWindowCommands::WallButtonClick);
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].rfind("JPEG エラー #", 0), 0u) << Errors()[0];
    EXPECT_EQ(desktop_.wallpapers.size(), 2u);
}

TEST_F(CommandsTest, WallpaperMenuChecksFollowThePlacementChosen)
{
    Start();
    Run(&MainWindowCommands::KabeW1Click);
    EXPECT_EQ(frontEnd_.checked, commands_->WallPaper().Placement());
    const struct {
        Command command;
        WallpaperPlacement placement;
    } choices[] = {{&MainWindowCommands::TileVClick, WallpaperPlacement::Tiled},
                   {&MainWindowCommands::FillFClick, WallpaperPlacement::Fill},
                   {&MainWindowCommands::FitTClick, WallpaperPlacement::Fit},
                   {&MainWindowCommands::StretchSClick, WallpaperPlacement::Stretch},
                   {&MainWindowCommands::SpanPClick, WallpaperPlacement::Span},
                   {&MainWindowCommands::CentCClick, WallpaperPlacement::Centred}};
    for (const auto& choice : choices) {
        Run(choice.command);
        Run(&MainWindowCommands::KabeW1Click);
        EXPECT_EQ(commands_->WallPaper().Placement(), choice.placement);
        EXPECT_EQ(frontEnd_.checked, choice.placement);
    }
    EXPECT_TRUE(Errors().empty());
}

// An add the user stops keeps the pictures added so far and shows them, as one that fails; InitialDir
// changes only when the add is complete.
TEST_F(CommandsTest, AddStoppedByTheUserKeepsWhatWasAdded)
{
    Start();
    std::vector<std::string> pictures; // missing files: each is added with the placeholder
    for (int i = 0; i < 40; ++i)
        pictures.push_back(Picture(std::to_string(i) + ".jpg"));

    frontEnd_.stopAt = 4;
    AddPictures(pictures);
    EXPECT_EQ(Gallery().FileNames().Items(), std::vector<std::string>(pictures.begin(), pictures.begin() + 4));
    EXPECT_EQ(view_.items.size(), 4u);
    EXPECT_EQ(Gallery().InitialDir(), "");
    EXPECT_EQ(frontEnd_.progress, std::vector<std::string>{"画像を読み込んでいます 40"});
    EXPECT_EQ(frontEnd_.steps.back(), 4u);

    frontEnd_.stopAt = SIZE_MAX;
    frontEnd_.steps.clear();
    AddPictures(pictures);
    EXPECT_EQ(Gallery().FileNames().Count(), 44);
    EXPECT_EQ(frontEnd_.steps.back(), 40u);
    EXPECT_EQ(Gallery().InitialDir(), (root_ / "pictures").string());
    EXPECT_TRUE(Errors().empty());
}

// Another process of the user, holding the lock of `file`'s folder until Release().
class LockHolder {
public:
    explicit LockHolder(const std::string& file)
    {
        if (::pipe(ready_) != 0 || ::pipe(finish_) != 0)
            throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(finish_[1]);
            const FolderLock lock(file);
            char byte = 0;
            ::_exit(::write(ready_[1], &byte, 1) == 1 && ::read(finish_[0], &byte, 1) == 0 ? 0 : 1);
        }
        char byte = 0;
        if (pid_ < 0 || ::read(ready_[0], &byte, 1) != 1)
            throw std::runtime_error("no lock holder");
    }
    ~LockHolder()
    {
        Release();
        for (const int fd : {ready_[0], ready_[1], finish_[0]})
            ::close(fd);
    }
    void Release()
    {
        if (pid_ <= 0)
            return;
        ::close(finish_[1]);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    int ready_[2] = {-1, -1};
    int finish_[2] = {-1, -1};
    pid_t pid_ = -1;
};

TEST_F(CommandsTest, LockHeldByAnotherProgramIsAskedAboutNotWaitedFor)
{
    const std::string file = Program() + "画集.gsk";
    TVorlane stored;
    stored.SetManagerName(Program() + "画集");
    stored.SaveGallery();
    LockHolder holder(file);
    frontEnd_.answers = {LockWait::GoOn, LockWait::Again, LockWait::GiveUp};
    Start(); // the load goes on without the lock
    ASSERT_EQ(frontEnd_.asked.size(), 1u);
    EXPECT_EQ(frontEnd_.asked[0],
              "画集 " + file +
                  " は、他のプログラムが保存しています。\n\n"
                  "再試行: もう少し待ちます。\n"
                  "無視: 待たずに続けます (他のプログラムと同時に保存した画集は、両方とも残します)。\n"
                  "中止: この操作をやめます。");
    EXPECT_TRUE(Errors().empty());

    EXPECT_FALSE(commands_->Close()); // waits a moment more, then gives up
    EXPECT_EQ(frontEnd_.asked.size(), 3u);
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0],
              "ファイル " + file + " は他のプログラムが使用中です.\n\n保存せずに閉じるには、もう一度閉じてください。");

    holder.Release();
    frontEnd_.window = {10, 20, 300, 200};
    EXPECT_TRUE(Close());
    EXPECT_EQ(frontEnd_.asked.size(), 3u);
    EXPECT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Stored(Program() + "画集")->FormLeft(), 10);
}

} // namespace
} // namespace vorlane::test
