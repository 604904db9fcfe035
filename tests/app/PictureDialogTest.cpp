// The picture dialog as the program shows it: Qt's file dialog with the preview panel at its right.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTest>
#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include "app/qt/PicturePreview.h"
#include "app/qt/QtDialogs.h"
#include "image/PictureDecoder.h"
#include "tests/app/AppFixture.h"

namespace vorlane::test {
namespace {

using PictureDialogTest = AppTest;

TEST_F(PictureDialogTest, PreviewPanelShowsSizeAndChoosesFiles)
{
    const QString bitmap = QString::fromStdString(ProgramPath("flower.bmp"));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(bitmap, "BMP"));
    WriteFile(ProgramPath("notes.bmp"), "no picture");

    TOpenDialog settings;
    settings.Filter = "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg)|*jpg";
    settings.InitialDir = Program();
    settings.AllowMultiSelect = true;
    settings.FileMustExist = true;
    settings.Sizable = false;
    settings.PicturePreview = true;

    QStringList filtersShown;
    QString labelForPicture;
    QString labelForNoPicture;
    bool previewEnabled = false;
    bool previewDisabledWithoutPicture = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // The panel has no meta-object of its own, so it is found by its name.
        auto* panel = static_cast<PicturePreviewPanel*>(dialog->findChild<QWidget*>(QStringLiteral("PicturePreviewPanel")));
        ASSERT_NE(panel, nullptr);
        if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            for (int i = 0; i < types->count(); ++i)
                filtersShown << types->itemText(i);
        panel->ShowFile(QString::fromStdString(ProgramPath("notes.bmp")));
        labelForNoPicture = panel->SizeLabel->text();
        previewDisabledWithoutPicture = !panel->PreviewButton->isEnabled();
        panel->ShowFile(bitmap);
        labelForPicture = panel->SizeLabel->text();
        previewEnabled = panel->PreviewButton->isEnabled();
        dialog->selectFile(bitmap);
        static_cast<QDialog*>(dialog)->accept(); // the file dialog's own accept: checks the choice
    });
    QtDialogRunner runner;
    ASSERT_TRUE(runner.Execute(settings));
    EXPECT_EQ(settings.Files, std::vector<std::string>{bitmap.toStdString()});
    EXPECT_EQ(settings.FileName, bitmap.toStdString());
    EXPECT_EQ(filtersShown, (QStringList{"ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)", "JPEG(*.jpg)"}));
    EXPECT_EQ(labelForPicture, QStringLiteral(" (40x30)"));
    EXPECT_TRUE(previewEnabled);
    EXPECT_EQ(labelForNoPicture, QStringLiteral("画像:"));
    EXPECT_TRUE(previewDisabledWithoutPicture);
}

TEST_F(PictureDialogTest, FilterChosenIsKeptForTheNextOpening)
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    const QString jpeg = QString::fromStdString(ProgramPath("p.jpg"));
    ASSERT_TRUE(picture.save(jpeg, "JPEG"));
    TOpenDialog settings;
    settings.Filter = "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg)|*jpg";
    settings.InitialDir = Program();
    settings.AllowMultiSelect = true;
    settings.FileMustExist = true;

    int typeShownAtOpening = -1;
    const auto chooseJpeg = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        typeShownAtOpening = types->currentIndex();
        types->setCurrentIndex(1);
        emit types->activated(1); // as the user picks it
        dialog->selectFile(jpeg);
        static_cast<QDialog*>(dialog)->accept();
    };
    QtDialogRunner runner;
    QTimer::singleShot(0, chooseJpeg);
    ASSERT_TRUE(runner.Execute(settings));
    EXPECT_EQ(typeShownAtOpening, 0);
    EXPECT_EQ(settings.FilterIndex, 2);
    QTimer::singleShot(0, chooseJpeg);
    ASSERT_TRUE(runner.Execute(settings));
    EXPECT_EQ(typeShownAtOpening, 1);

    EXPECT_EQ(ChosenFilterIndex(settings.Filter, QStringLiteral("JPEG(*.jpg) (*jpg)")), 2);
    EXPECT_EQ(ChosenFilterIndex(settings.Filter, QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)")), 1);
    EXPECT_EQ(ChosenFilterIndex(settings.Filter, QStringLiteral("other")), 0);
}

// Names typed into the file-name box are all taken, in the order typed, also those the current filter
// does not list (the dialog selects the listed ones as they are typed, and took only those).
TEST_F(PictureDialogTest, TypedNamesOutsideTheFilterAreTaken)
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    const std::string jpeg = ProgramPath("a.jpg"), bitmap = ProgramPath("b.bmp");
    ASSERT_TRUE(picture.save(QString::fromStdString(jpeg), "JPEG"));
    ASSERT_TRUE(picture.save(QString::fromStdString(bitmap), "BMP"));
    TOpenDialog settings;
    settings.Filter = "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg)|*jpg";
    settings.InitialDir = Program();
    settings.AllowMultiSelect = true;
    settings.FileMustExist = true;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(name, nullptr);
        ASSERT_NE(model, nullptr);
        // Typed once the folder is listed, as a user sees it.
        const auto type = [dialog, name] {
            dialog->activateWindow();
            name->setFocus();
            QTest::keyClicks(name, QStringLiteral("\"a.jpg\" \"b.bmp\""));
            static_cast<QDialog*>(dialog)->accept();
            if (dialog->isVisible())
                dialog->reject(); // refused: the test fails below instead of waiting
        };
        (void)QTest::qWaitFor([&] { return model->rowCount(model->index(dialog->directory().absolutePath())) >= 1; }, 5000);
        type();
    });
    QtDialogRunner runner;
    ASSERT_TRUE(runner.Execute(settings));
    EXPECT_EQ(settings.Files, (std::vector<std::string>{jpeg, bitmap}));
    EXPECT_EQ(settings.FileName, jpeg);
}

TEST_F(PictureDialogTest, PreviewWindowShowsThePictureInAFivePixelBorder)
{
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::red);
    PreviewWindow window(picture, nullptr);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("プレビュー"));
    EXPECT_EQ(window.size(), QSize(130, 90));
    EXPECT_TRUE(window.windowFlags() & Qt::Tool);
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(Qt::red));
    EXPECT_NE(QColor(shot.pixel(2, 2)), QColor(Qt::red));
}

// Bitmaps by their name, JPEG by its names, the other formats by their first bytes, whatever the name.
TEST_F(PictureDialogTest, PicturesPreviewBitmapsAndJpegByNameTheOthersByContent)
{
    QImage picture(8, 6, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    const QString jpeg = QString::fromStdString(ProgramPath("p.JPG"));
    ASSERT_TRUE(picture.save(jpeg, "JPEG"));
    const QString png = QString::fromStdString(ProgramPath("p.dat"));
    ASSERT_TRUE(picture.save(png, "PNG"));
    const QString gif = QString::fromStdString(ProgramPath("p.gif"));
    WriteFile(gif.toStdString(), "GIF89a and nothing of a picture");
    EXPECT_EQ(LoadPreviewPicture(jpeg).size(), QSize(8, 6));
    // A photo whose Exif orientation (6) says it is to be turned a quarter shows upright.
    QFile original(jpeg);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QByteArray photo = original.readAll();
    static constexpr char App1[] = "\xFF\xE1\x00\x22" "Exif\0\0" "II\x2A\0\x08\0\0\0" "\x01\0"
                                   "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0" "\0\0\0\0";
    photo.insert(2, QByteArray(App1, sizeof App1 - 1));
    WriteFile(ProgramPath("turned.jpg"), photo.toStdString());
    EXPECT_EQ(LoadPreviewPicture(QString::fromStdString(ProgramPath("turned.jpg"))).size(), QSize(6, 8));
    if (!PictureFormats().empty()) {
        const QImage shown = LoadPreviewPicture(png);
        ASSERT_EQ(shown.size(), QSize(8, 6));
        EXPECT_EQ(QColor(shown.pixel(3, 3)), QColor(Qt::white)); // transparent parts over white
    }
    EXPECT_TRUE(LoadPreviewPicture(gif).isNull());
    EXPECT_TRUE(LoadPreviewPicture(QString::fromStdString(ProgramPath("none.bmp"))).isNull());
}

} // namespace
} // namespace vorlane::test
