// The picture dialog as the program shows it: Qt's file dialog with the preview panel at its right.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
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
        auto* panel =
            static_cast<PicturePreviewPanel*>(dialog->findChild<QWidget*>(QStringLiteral("PicturePreviewPanel")));
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
// does not list (the dialog selects the listed ones as they are typed, and took only those). A typed
// name that is no file is named in a warning, wherever it stands, and the dialog stays open.
TEST_F(PictureDialogTest, TypedNamesAreAllTakenInOrderOrTheMissingOneIsNamed)
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    const std::string jpeg = ProgramPath("a.jpg"), bitmap = ProgramPath("b.bmp"), other = ProgramPath("c.bmp");
    ASSERT_TRUE(picture.save(QString::fromStdString(jpeg), "JPEG"));
    ASSERT_TRUE(picture.save(QString::fromStdString(bitmap), "BMP"));
    ASSERT_TRUE(picture.save(QString::fromStdString(other), "BMP"));
    TOpenDialog settings;
    settings.Filter = "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg)|*jpg";
    settings.InitialDir = Program();
    settings.AllowMultiSelect = true;
    settings.FileMustExist = true;

    const QString missing = QStringLiteral("\nファイルが見つかりません。\nファイル名を確認して再実行してください。");
    const struct {
        QString typed;
        QString warning; // empty: the dialog closes with the names
    } typings[] = {
        {"\"nothere.bmp\" \"a.jpg\" \"b.bmp\"", "nothere.bmp" + missing},
        {"\"c.bmp\" \"it's $(gone).jpg\" \"b.bmp\"", "it's $(gone).jpg" + missing},
        {"\"a.jpg\" \"b.bmp\" \"c.bmp\" \"gone.bmp\"", "gone.bmp" + missing},
        {"\"c.bmp\" \"a.jpg\" \"b.bmp\"", ""},
    };
    QStringList warnings;
    QStringList openAfter; // typings after which the dialog stayed open
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(name, nullptr);
        ASSERT_NE(model, nullptr);
        // Typed once the folder is listed, as a user sees it.
        (void)QTest::qWaitFor([&] { return model->rowCount(model->index(dialog->directory().absolutePath())) >= 2; },
                              5000);
        for (const auto& typing : typings) {
            // As typed, in the box with the focus (the dialog selects the names its list shows as the
            // text changes, and would write the selection back into a box without it).
            QApplication::setActiveWindow(dialog);
            name->setFocus();
            name->setText(typing.typed);
            // The warning is modal over the dialog: read and closed from the event loop it runs.
            QTimer::singleShot(0, [&] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    warnings << box->text();
                    if (box->icon() != QMessageBox::Warning || box->windowTitle() != QStringLiteral("開く"))
                        warnings << "not a warning of the dialog";
                    box->accept();
                }
            });
            static_cast<QDialog*>(dialog)->accept();
            if (dialog->isVisible())
                openAfter << typing.typed;
        }
        if (dialog->isVisible())
            dialog->reject(); // refused: the test fails below instead of waiting
    });
    QtDialogRunner runner;
    EXPECT_TRUE(runner.Execute(settings));
    EXPECT_EQ(warnings.join("|").toStdString(),
              (QStringList{typings[0].warning, typings[1].warning, typings[2].warning}).join("|").toStdString());
    EXPECT_EQ(openAfter.join("|").toStdString(),
              (QStringList{typings[0].typed, typings[1].typed, typings[2].typed}).join("|").toStdString());
    EXPECT_EQ(settings.Files, (std::vector<std::string>{other, jpeg, bitmap}));
    EXPECT_EQ(settings.FileName, other);
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
    static constexpr char App1[] = "\xFF\xE1\x00\x22"
                                   "Exif\0\0"
                                   "II\x2A\0\x08\0\0\0"
                                   "\x01\0"
                                   "\x12\x01\x03\0\x01\0\0\0\x06\0\0\0"
                                   "\0\0\0\0";
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
