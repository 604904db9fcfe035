// The Qt window around the commands, on the offscreen platform: its place on the screen, its caption, the
// close it refuses, the watch on the gallery file, the error box of the first showing and the wallpaper
// menu's check marks. What the commands do is tested without a toolkit (CommandsTest.cpp).
#include <chrono>
#include <filesystem>
#include <memory>

#include <QAction>
#include <QMenu>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app/qt/ListView.h"
#include "app/qt/MaonFormUnit.h"
#include "gallery/Vorlane1.h"
#include "tests/app/AppFixture.h"
#include "wallpaper/CWallPaper.h"

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
    // The frame's top left corner and the client area's size, as the user moves and sizes the window.
    QRect Place() const { return QRect(form_->x(), form_->y(), form_->width(), form_->height()); }
    const TVorlane& Gallery() const { return form_->CurrentGallery(); }
    std::vector<std::string> Captions() const
    {
        std::vector<std::string> captions;
        for (int i = 0; i < form_->ListView->Count(); ++i)
            captions.push_back(form_->ListView->Caption(i));
        return captions;
    }
    // Adds pictures through the add command; missing files get the placeholder.
    void AddPictures(const std::vector<std::string>& files)
    {
        dialogs_.files.push_back(files);
        form_->OpenImageButton->click();
    }
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

TEST_F(MainFormTest, PlaceAndCaptionComeFromTheGalleryAndGoBackIntoIt)
{
    Start();
    EXPECT_EQ(form_->frameGeometry(), QRect(0, 0, 600, 400)); // the whole window, frame included
    EXPECT_EQ(Caption(), Prefix + "画集");
    AddPictures({Picture("a.jpg"), Picture("b.c.bmp")});
    form_->move(30, 40);
    form_->resize(500, 300);
    ASSERT_TRUE(Close());

    Start();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b.c"}));
    EXPECT_EQ(Place(), QRect(30, 40, 500, 300));
    ASSERT_TRUE(Close());
    EXPECT_TRUE(errors_.empty());
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
    EXPECT_TRUE(QGuiApplication::primaryScreen()->geometry().contains(form_->frameGeometry()))
        << form_->frameGeometry().x();
    EXPECT_EQ(form_->frameGeometry().size(), QSize(500, 300));
}

// A close that cannot save leaves the window on the screen, with the error box; the next one closes.
TEST_F(MainFormTest, CloseThatCannotSaveKeepsTheWindowOnTheScreenOnce)
{
    Start();
    ASSERT_TRUE(Close());
    const std::string file = ProgramPath("画集.gsk");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    Start();
    AddPictures({Picture("a.jpg")});
    EXPECT_FALSE(Close());
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(errors_.size(), 1u);
    EXPECT_TRUE(Close());
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
}

// The window watches its gallery file: another program's save shows without a command.
TEST_F(MainFormTest, AnotherProgramsSaveShowsAtOnce)
{
    Start();
    AddPictures({Picture("a.jpg")});
    ASSERT_TRUE(Close());
    Start();
    const std::string file = ProgramPath("画集.gsk");
    ASSERT_EQ(RunGsk({"add", file, Picture("b.jpg"), Picture("c.jpg")}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->ListView->Count() == 3; }, 20000))
        << "the new content is not shown";
    EXPECT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c"}));
}

// The error of the first showing is shown once the window is up; the rest of the showing is skipped, so
// the layout's caption and place stay.
TEST_F(MainFormTest, LoadErrorLeavesTheLayoutsCaptionAndPlace)
{
    WriteFile(ProgramPath("画集.gsk"), std::string("TPF0\x08TVorlane") + '\0' + "\x05" + "Broken");
    Start();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(Caption(), "Quorvel Vorlane  Ver1.6");
    EXPECT_EQ(form_->x(), 296);
}

TEST_F(MainFormTest, SixPlacementItemsShareOneCheckMark)
{
    Start();
    QAction* const items[] = {form_->CentC, form_->TileV, form_->FillF, form_->FitT, form_->StretchS, form_->SpanP};
    for (size_t chosen = 0; chosen < std::size(items); ++chosen) {
        items[chosen]->trigger();
        emit form_->KabeW1->aboutToShow();
        EXPECT_EQ(form_->WallPaper->Placement(), AllPlacements[chosen]);
        for (size_t i = 0; i < std::size(items); ++i)
            EXPECT_EQ(items[i]->isChecked(), i == chosen)
                << items[i]->text().toStdString() << " after " << items[chosen]->text().toStdString();
    }
    EXPECT_TRUE(errors_.empty());
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

    EXPECT_TRUE(label.startsWith(QStringLiteral("画像を読み込んでいます  ")) &&
                label.endsWith(QStringLiteral(" / 200")))
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
