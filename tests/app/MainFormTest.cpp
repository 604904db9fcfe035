// The main window's life and its gallery commands, driven through the real handlers on the offscreen
// platform: commands are given as the user gives them, by their buttons and menu items, so an error
// reaches the error box as it would.
#include <chrono>
#include <filesystem>
#include <memory>

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app/qt/GskFormUnit.h"
#include "app/qt/ListView.h"
#include "app/qt/MaonFormUnit.h"
#include "gallery/ImageList.h"
#include "gallery/Vorlane1.h"
#include "tests/app/AppFixture.h"
#include "tests/gallery/WindowsGallery.h"

extern char** environ;

namespace vorlane::test {
namespace {

namespace fs = std::filesystem;

class MainFormTest : public AppTest {
protected:
    void TearDown() override
    {
        form_.reset();
        AppTest::TearDown();
    }
    // Creates the window and shows it (FormCreate, then FormShow, whose error box comes once the window
    // is up).
    void Start()
    {
        form_ = std::make_unique<TMainForm>(dialogs_, desktop_);
        form_->show();
        QCoreApplication::processEvents();
    }
    // Closes the window as the user does; true when it closed. A closed window is destroyed.
    bool Close()
    {
        const bool closed = form_->close();
        if (closed)
            form_.reset();
        return closed;
    }
    std::string Caption() const { return form_->windowTitle().toStdString(); }
    std::vector<std::string> Captions() const
    {
        std::vector<std::string> captions;
        for (int i = 0; i < form_->ListView->Count(); ++i)
            captions.push_back(form_->ListView->Caption(i));
        return captions;
    }
    const TVorlane& Gallery() const { return form_->CurrentGallery(); }
    // Adds pictures through the add command; missing files get the placeholder.
    void AddPictures(const std::vector<std::string>& files)
    {
        dialogs_.files.push_back(files);
        form_->OpenImageButton->click();
    }
    std::string Picture(const std::string& name) const { return (root_ / "pictures" / name).string(); }
    // Runs the gallery tool as another program on the same files; its exit status.
    static int RunGsk(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), VORLANE_GSK);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, VORLANE_GSK, nullptr, nullptr, argv.data(), environ) != 0)
            return -1;
        int status = 0;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::unique_ptr<TMainForm> form_;
};

const std::string Prefix = "Quorvel Vorlane  Ver1.6 ";

TEST_F(MainFormTest, FirstStartShowsEmptyDefaultGalleryAndSavesItOnExit)
{
    Start();
    EXPECT_EQ(form_->ListView->Count(), 0);
    EXPECT_EQ(form_->frameGeometry(), QRect(0, 0, 600, 400)); // the whole window, frame included
    EXPECT_EQ(Caption(), Prefix + "画集");
    EXPECT_EQ(form_->OpenImage().InitialDir, "");
    ASSERT_TRUE(Close());
    EXPECT_TRUE(fs::exists(ProgramPath("画集.gsk")));
    EXPECT_EQ(ReadIni(), "[Initial]\nManager=" + Program() + "画集\n");
    EXPECT_TRUE(errors_.empty());
}

TEST_F(MainFormTest, StoredGalleryComesBackWithItsGeometryAndName)
{
    Start();
    AddPictures({Picture("a.jpg"), Picture("b.c.bmp")});
    form_->move(30, 40);
    form_->resize(500, 300);
    ASSERT_TRUE(Close());

    // "Manager" may name the file with its extension; the name kept in the file is the one shown.
    WriteIni("[Initial]\nManager=" + Program() + "画集.gsk\nSaver=" + Program() + "other\n");
    Start();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b.c"}));
    EXPECT_EQ(Caption(), Prefix + "画集");
    EXPECT_EQ(form_->x(), 30);
    EXPECT_EQ(form_->y(), 40);
    EXPECT_EQ(form_->width(), 500);
    EXPECT_EQ(form_->height(), 300);
    EXPECT_EQ(form_->OpenImage().InitialDir, (root_ / "pictures").string());
    ASSERT_TRUE(Close());
    EXPECT_EQ(ReadIni(), "[Initial]\nManager=" + Program() + "画集\nSaver=" + Program() + "other\n");
}

TEST_F(MainFormTest, MissingGalleryStartsEmptyUnderItsNameAndIsCreatedOnExit)
{
    WriteIni("[Initial]\nManager=" + Program() + "missing\n");
    Start();
    EXPECT_EQ(form_->ListView->Count(), 0);
    EXPECT_EQ(Caption(), Prefix + "missing");
    ASSERT_TRUE(Close());
    EXPECT_TRUE(fs::exists(ProgramPath("missing.gsk")));
}

TEST_F(MainFormTest, EmptyManagerMeansGalleryFileInCurrentFolder)
{
    WriteIni("[Initial]\nManager=\n");
    const fs::path before = fs::current_path();
    fs::current_path(root_);
    Start();
    EXPECT_EQ(Caption(), Prefix);
    const bool closed = Close();
    fs::current_path(before);
    ASSERT_TRUE(closed);
    EXPECT_TRUE(fs::exists(root_ / ".gsk"));
    EXPECT_EQ(ReadIni(), "[Initial]\nManager=\n");
}

// Brought from Japanese Windows: a settings file naming the gallery by a Windows path in Shift_JIS, and
// the gallery file, put in the program folder. Its names show in Japanese; its pictures are not here, so
// they keep their thumbnails and none becomes the wallpaper; nothing in Shift_JIS reaches the settings.
TEST_F(MainFormTest, WindowsGalleryShowsJapaneseNamesAndItsMissingPicturesGiveTheOpenError)
{
    const WindowsGallery windows;
    const Bytes file = windows.File();
    WriteFile(ProgramPath("旅行.gsk"), std::string(file.begin(), file.end()));
    WriteIni("[Initial]\nManager=" + windows.managerName + "\n");
    Start();
    EXPECT_EQ(Caption(), Prefix + "旅行");
    EXPECT_EQ(Captions(), windows.captions);
    ASSERT_EQ(Gallery().Images().Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Gallery().Images().Image(i), WindowsGallery::Image(size_t(i))) << i;

    form_->ListView->Select(1);
    form_->WallButton->click();
    form_->ListView->Select(0);
    form_->X1->trigger();
    EXPECT_EQ(errors_, (std::vector<std::string>{"ファイル C:\\写真\\ソ表\\能.bmp は開けません.",
                                                 "ファイル C:\\写真\\夏休み.jpg は開けません."}));
    EXPECT_TRUE(desktop_.wallpapers.empty());
    EXPECT_FALSE(fs::exists(ProgramPath("Temp.bmp")));

    // Closing saves the gallery where it was loaded from, its names as they were, and "Manager" names
    // that file in this system's terms.
    ASSERT_TRUE(Close());
    EXPECT_EQ(ReadIni(), "[Initial]\nManager=" + Program() + "旅行\n");
    TVorlane saved;
    saved.SetManagerName(Program() + "旅行");
    saved.LoadGallery();
    EXPECT_EQ(saved.FileNames().Items(), windows.entries);
    EXPECT_EQ(saved.StoredManagerName(), windows.managerName);
    EXPECT_FALSE(fs::exists(fs::current_path() / ("C:\\Vorlane\\" + sjis::Ryoko + ".gsk")));
    EXPECT_EQ(errors_.size(), 2u) << "closing adds no error";
}

TEST_F(MainFormTest, AddPicturesAppendsInOrderAndRemembersTheFolder)
{
    Start();
    AddPictures({Picture("x.jpg"), Picture("y.bmp"), Picture("x.jpg")});
    EXPECT_EQ(Captions(), (std::vector<std::string>{"x", "y", "x"}));
    EXPECT_EQ(Gallery().InitialDir(), (root_ / "pictures").string());
    EXPECT_EQ(form_->OpenImage().InitialDir, ""); // takes effect at the next load
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].Filter, "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg)|*jpg");
    EXPECT_TRUE(dialogs_.shown[0].AllowMultiSelect);
    EXPECT_TRUE(dialogs_.shown[0].FileMustExist);

    dialogs_.files.push_back(std::nullopt); // Cancel
    form_->G1->trigger();
    EXPECT_EQ(form_->ListView->Count(), 3);
}

TEST_F(MainFormTest, DamagedPictureEndsAddAfterTheOnesBefore)
{
    fs::create_directories(root_ / "pictures");
    WriteFile(root_ / "pictures" / "bad.jpg", "not a JPEG at all");
    Start();
    AddPictures({Picture("first.jpg"), Picture("bad.jpg"), Picture("last.jpg")});
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0].rfind("JPEG エラー #", 0), 0u) << errors_[0];
    EXPECT_EQ(Gallery().FileNames().Count(), 1);
    EXPECT_EQ(form_->ListView->Count(), 0); // no refresh after the error
    EXPECT_EQ(Gallery().InitialDir(), "");
}

TEST_F(MainFormTest, DeleteRemovesOnlyTheSelectedPicture)
{
    Start();
    AddPictures({Picture("a.jpg"), Picture("b.jpg"), Picture("c.jpg")});
    form_->ToolButton1->click(); // nothing selected
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c"}));
    form_->ListView->Select(1);
    form_->D1->trigger();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(Gallery().Images().Count(), 3);
}

TEST_F(MainFormTest, DroppingAnItemMovesItBeforeTheTarget)
{
    Start();
    AddPictures({Picture("A.jpg"), Picture("B.jpg"), Picture("C.jpg"), Picture("D.jpg")});
    form_->ListView->Select(0);
    form_->ListView->DropOn(3);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"B", "C", "A", "D"}));
    form_->ListView->Select(2);
    form_->ListView->DropOn(2); // onto itself
    EXPECT_EQ(Captions(), (std::vector<std::string>{"B", "C", "A", "D"}));
    form_->ListView->Select(3);
    form_->ListView->DropOn(0);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"D", "B", "C", "A"}));
    form_->ListView->Select(1);
    form_->ListView->DropOn(std::nullopt); // outside any item
    EXPECT_EQ(Captions(), (std::vector<std::string>{"D", "B", "C", "A"}));
    EXPECT_EQ(form_->ListView->DropTargetIndex(), std::nullopt);
    EXPECT_TRUE(errors_.empty());
}

TEST_F(MainFormTest, LoadSavesTheCurrentGalleryThenShowsTheChosenOne)
{
    Start();
    AddPictures({Picture("a.jpg")});
    // A name that does not exist: saved under the old name, the list empties, the caption shows it.
    dialogs_.files.push_back(std::vector<std::string>{Program() + "typed.gsk"});
    form_->ToolButton2->click();
    EXPECT_EQ(dialogs_.shown.back().InitialDir, Program());
    EXPECT_EQ(dialogs_.shown.back().Filter, "画集|*.gsk");
    EXPECT_TRUE(fs::exists(ProgramPath("画集.gsk")));
    EXPECT_EQ(form_->ListView->Count(), 0);
    EXPECT_EQ(Caption(), Prefix + "typed.gsk");

    // Back to the first: its entries, its stored name and its picture folder.
    dialogs_.files.push_back(std::vector<std::string>{Program() + "画集.gsk"});
    form_->L1->trigger();
    EXPECT_TRUE(fs::exists(ProgramPath("typed.gsk")));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a"}));
    EXPECT_EQ(Caption(), Prefix + "画集");
    EXPECT_EQ(form_->OpenImage().InitialDir, (root_ / "pictures").string());

    // Cancel saves nothing.
    fs::remove(ProgramPath("typed.gsk"));
    dialogs_.files.push_back(std::nullopt);
    form_->ToolButton2->click();
    EXPECT_FALSE(fs::exists(ProgramPath("typed.gsk")));
}

// A copy is its own gallery: it shows and saves under the name it was opened with, and closing it never
// writes over the gallery it was copied from.
TEST_F(MainFormTest, LoadedCopyIsShownAndSavedUnderItsOwnName)
{
    Start();
    AddPictures({Picture("a.jpg")});
    ASSERT_TRUE(Close());
    fs::create_directories(root_ / "elsewhere");
    const fs::path copy = root_ / "elsewhere" / "copy.gsk";
    fs::copy_file(ProgramPath("画集.gsk"), copy);
    Start();
    AddPictures({Picture("b.jpg")});
    dialogs_.files.push_back(std::vector<std::string>{copy.string()});
    form_->ToolButton2->click();
    const std::string original = ReadFile(ProgramPath("画集.gsk"));
    EXPECT_EQ(Caption(), Prefix + "copy.gsk");
    EXPECT_EQ(Gallery().ManagerName(), copy.string());
    form_->ListView->Select(0);
    form_->ToolButton1->click();
    ASSERT_TRUE(Close());
    EXPECT_EQ(ReadFile(ProgramPath("画集.gsk")), original);
    TVorlane saved;
    saved.SetManagerName(copy.string());
    saved.LoadGallery();
    EXPECT_EQ(saved.FileNames().Count(), 0);
    EXPECT_EQ(saved.ManagerName(), copy.string());
}

TEST_F(MainFormTest, NewGallerySavesClearsAndOpensTheNamedOne)
{
    Start();
    AddPictures({Picture("a.jpg"), Picture("b.jpg")});
    dialogs_.names.push_back("二つ目");
    form_->N1->trigger();
    EXPECT_TRUE(fs::exists(ProgramPath("画集.gsk")));
    EXPECT_EQ(form_->ListView->Count(), 0);
    EXPECT_EQ(Caption(), Prefix + "二つ目");
    EXPECT_EQ(Gallery().InitialDir(), (root_ / "pictures").string()); // kept: nothing was loaded

    // The dialog keeps its text; a new gallery with the current name brings the same entries back.
    AddPictures({Picture("c.jpg")});
    dialogs_.names.push_back(GskForm->GskEdit->text().toStdString());
    form_->N1->trigger();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"c"}));

    // An existing name opens that gallery.
    dialogs_.names.push_back("画集");
    form_->N1->trigger();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b"}));

    dialogs_.names.push_back(std::nullopt);
    form_->N1->trigger();
    EXPECT_EQ(Caption(), Prefix + "画集");
}

TEST_F(MainFormTest, RenameChangesOnlyTheNameUntilTheNextSave)
{
    Start();
    AddPictures({Picture("a.jpg")});
    ASSERT_TRUE(Close());
    const std::string oldFile = ReadFile(ProgramPath("画集.gsk"));
    Start();
    AddPictures({Picture("b.jpg")});
    dialogs_.names.push_back("新しい名前");
    form_->R1->trigger();
    EXPECT_EQ(Caption(), Prefix + "新しい名前");
    EXPECT_FALSE(fs::exists(ProgramPath("新しい名前.gsk")));

    // Loading another gallery saves under the new name; the old file stays as it was.
    dialogs_.files.push_back(std::vector<std::string>{Program() + "other.gsk"});
    form_->ToolButton2->click();
    EXPECT_TRUE(fs::exists(ProgramPath("新しい名前.gsk")));
    EXPECT_EQ(ReadFile(ProgramPath("画集.gsk")), oldFile);

    // An empty name is the program folder itself: nothing after the fixed text.
    dialogs_.names.push_back("");
    form_->R1->trigger();
    EXPECT_EQ(Caption(), Prefix);
    EXPECT_EQ(Gallery().ManagerName(), Program());
    ASSERT_TRUE(Close());
    EXPECT_TRUE(fs::exists(ProgramPath(".gsk")));
}

TEST_F(MainFormTest, ScreenSaverCommandsWriteSaverAtOnce)
{
    WriteIni("; kept\n[Initial]\nManager=" + Program() + "g\n");
    Start();
    form_->A1->trigger();
    EXPECT_EQ(ReadIni(), "; kept\n[Initial]\nManager=" + Program() + "g\nSaver=" + Program() + "g\n");
    EXPECT_FALSE(fs::exists(ProgramPath("g.gsk")));
    form_->B1->trigger();
    EXPECT_EQ(ReadIni(), "; kept\n[Initial]\nManager=" + Program() + "g\nSaver=Default\n");
}

// A close that cannot save keeps the window open and says how to close it anyway: the next close tries
// again and, when it still cannot save, closes without saving.
TEST_F(MainFormTest, FailedSaveAtCloseKeepsTheWindowOpenOnce)
{
    Start();
    AddPictures({Picture("a.jpg")});
    ASSERT_TRUE(Close());
    const std::string file = ProgramPath("画集.gsk").string();
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    Start();
    AddPictures({Picture("b.jpg")});
    EXPECT_FALSE(Close());
    EXPECT_TRUE(form_->isVisible());
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "ファイル " + file + " を作成できません.\n\n保存せずに閉じるには、もう一度閉じてください。");
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    ASSERT_TRUE(Close());
    EXPECT_EQ(errors_.size(), 1u);

    Start();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b"}));
    AddPictures({Picture("c.jpg")});
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const std::string before = ReadFile(file);
    EXPECT_FALSE(Close());
    EXPECT_TRUE(Close());
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_EQ(errors_.size(), 2u);
}

// A name that no file can have (another folder, longer than a file name may be) is refused in the command
// that takes it, so that no later save, and no close, fails for it.
TEST_F(MainFormTest, GalleryNamesNoFileCanHaveAreRefusedWhereTyped)
{
    Start();
    AddPictures({Picture("a.jpg")});
    dialogs_.names.push_back("no/such/folder/g");
    form_->R1->trigger();
    dialogs_.names.push_back(std::string(300, 'x'));
    form_->N1->trigger();
    ASSERT_EQ(errors_.size(), 2u);
    EXPECT_EQ(errors_[0], "ファイル " + Program() + "no/such/folder/g.gsk を作成できません.");
    EXPECT_EQ(errors_[1], "ファイル " + Program() + std::string(300, 'x') + ".gsk を作成できません.");
    EXPECT_EQ(Caption(), Prefix + "画集");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a"}));
    ASSERT_TRUE(Close());
    EXPECT_TRUE(fs::exists(ProgramPath("画集.gsk")));
}

// Another program's change to the open gallery shows at once while the window has none of its own; once
// both changed, closing keeps both versions and says which file holds which.
TEST_F(MainFormTest, AnotherProgramsChangeIsShownOrKeptNeverOverwritten)
{
    Start();
    AddPictures({Picture("a.jpg")});
    ASSERT_TRUE(Close());
    Start();
    const std::string file = ProgramPath("画集.gsk").string();
    ASSERT_EQ(RunGsk({"add", file, Picture("b.jpg"), Picture("c.jpg")}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->ListView->Count() == 3; }, 20000)) << "the new content is not shown";
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c"}));

    AddPictures({Picture("d.jpg")});
    ASSERT_EQ(RunGsk({"add", file, Picture("e.jpg")}), 0);
    QTest::qWait(0);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c", "d"})) << "the window's own change stays";
    ASSERT_TRUE(Close());
    const std::string aside = Program() + "画集 (2).gsk";
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "画集 " + file + " は、開いている間に他のプログラムが書き換えていました。この画面の画集を " +
                              file + " に保存し、他のプログラムが保存した画集は " + aside + " に残しました。");
    TVorlane mine, theirs;
    mine.SetManagerName(file);
    mine.LoadGallery();
    theirs.SetManagerName(aside);
    theirs.LoadGallery();
    EXPECT_EQ(mine.FileNames().Items(), (std::vector<std::string>{Picture("a.jpg"), Picture("b.jpg"), Picture("c.jpg"),
                                                                  Picture("d.jpg")}));
    EXPECT_EQ(theirs.FileNames().Items(), (std::vector<std::string>{Picture("a.jpg"), Picture("b.jpg"),
                                                                    Picture("c.jpg"), Picture("e.jpg")}));
}

// Stored geometry that no monitor would show is moved onto the nearest monitor, at its stored size.
TEST_F(MainFormTest, WindowStoredOffEveryMonitorComesBackOntoOne)
{
    TVorlane stored;
    stored.SetManagerName(Program() + "画集");
    stored.SetFormLeft(-5000);
    stored.SetFormTop(-3000);
    stored.SetFormWidth(500);
    stored.SetFormHeight(300);
    stored.SaveGallery();
    Start();
    EXPECT_TRUE(QGuiApplication::primaryScreen()->geometry().contains(form_->frameGeometry())) << form_->frameGeometry().x();
    EXPECT_EQ(form_->frameGeometry().size(), QSize(500, 300));
}

TEST_F(MainFormTest, DamagedGalleryIsShownAsAnErrorAndNeverOverwritten)
{
    // A gallery stream whose first record is cut short.
    const std::string damaged = std::string("TPF0\x08TVorlane") + '\0' + "\x05" + "Broken";
    WriteFile(ProgramPath("画集.gsk"), damaged);
    WriteFile(ProgramPath("画集.gsk.bak"), "an older backup");
    Start();
    ASSERT_EQ(errors_.size(), 1u);
    // The rest of the first showing is skipped: the layout's caption and position stay.
    EXPECT_EQ(Caption(), "Quorvel Vorlane  Ver1.6");
    EXPECT_EQ(form_->x(), 296);
    AddPictures({Picture("new.jpg")});
    ASSERT_TRUE(Close());
    EXPECT_EQ(ReadFile(ProgramPath("画集.gsk.bak")), "an older backup");
    EXPECT_EQ(ReadFile(ProgramPath("画集.gsk.bak2")), damaged);
    EXPECT_NE(ReadFile(ProgramPath("画集.gsk")), damaged);

    // The gallery saved in its place loads again.
    errors_.clear();
    Start();
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(Captions(), (std::vector<std::string>{"new"}));
}

TEST_F(MainFormTest, GalleryFileNotAStreamIsKeptWhenAnotherIsLoaded)
{
    WriteFile(ProgramPath("bad.gsk"), "garbage");
    Start();
    dialogs_.files.push_back(std::vector<std::string>{Program() + "bad.gsk"});
    form_->ToolButton2->click();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "不正なストリーム フォーマット.");
    dialogs_.files.push_back(std::vector<std::string>{Program() + "画集.gsk"});
    form_->ToolButton2->click();
    EXPECT_EQ(ReadFile(ProgramPath("bad.gsk.bak")), "garbage");
}

// Adding many pictures shows a progress dialog over the window that counts them (here at once: the delay
// is the window's to set), the window is drawn meanwhile, and cancel stops the add with what it added.
TEST_F(MainFormTest, AddingPicturesShowsProgressAndCancelKeepsWhatWasAdded)
{
    Start();
    form_->ProgressDelay = std::chrono::milliseconds(0);
    std::vector<std::string> pictures;
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(Qt::red);
    fs::create_directories(root_ / "pictures");
    for (int i = 0; i < 200; ++i) {
        pictures.push_back(Picture(std::to_string(i) + ".bmp"));
        ASSERT_TRUE(picture.save(QString::fromStdString(pictures.back()), "BMP"));
    }

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    QString label, cancelCaption;
    bool modal = false;
    int paintsWhileAdding = 0;
    QTimer watch; // looks for the dialog from the add's own event processing
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = form_->findChild<QProgressDialog*>();
        if (!dialog || !dialog->isVisible())
            return;
        watch.stop();
        label = dialog->labelText();
        if (auto* cancel = dialog->findChild<QPushButton*>())
            cancelCaption = cancel->text();
        modal = dialog->isModal();
        form_->ListView->viewport()->installEventFilter(&counter);
        form_->ListView->viewport()->update();
        (void)QTest::qWaitFor([&] { return counter.paints > 0; }, 5000);
        paintsWhileAdding = counter.paints;
        dialog->cancel();
    });
    watch.start();
    AddPictures(pictures);

    EXPECT_TRUE(label.startsWith(QStringLiteral("画像を読み込んでいます  ")) && label.endsWith(QStringLiteral(" / 200")))
        << label.toStdString();
    EXPECT_EQ(cancelCaption, QStringLiteral("キャンセル"));
    EXPECT_TRUE(modal);
    EXPECT_GT(paintsWhileAdding, 0);
    const int added = Gallery().FileNames().Count();
    EXPECT_GE(added, 1);
    EXPECT_LT(added, 200);
    EXPECT_EQ(form_->ListView->Count(), added);
    EXPECT_EQ(Gallery().FileNames().Items(), std::vector<std::string>(pictures.begin(), pictures.begin() + added));
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(form_->findChild<QProgressDialog*>(), nullptr);
}

} // namespace
} // namespace vorlane::test
