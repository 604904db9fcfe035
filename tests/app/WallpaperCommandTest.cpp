// Set as wallpaper and the wallpaper menu, with a desktop that records what it is asked to do. No
// mascot listens in these tests, so every announcement fails, and that must stay invisible.
#include <filesystem>
#include <memory>

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QToolButton>

#include "app/qt/ListView.h"
#include "app/qt/MaonFormUnit.h"
#include "tests/app/AppFixture.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane::test {
namespace {

namespace fs = std::filesystem;

class WallpaperCommandTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        fs::create_directories(root_ / "pictures");
        form_ = std::make_unique<TMainForm>(dialogs_, desktop_);
        form_->show();
    }
    void TearDown() override
    {
        form_.reset();
        AppTest::TearDown();
    }
    std::string Picture(const std::string& name) const { return (root_ / "pictures" / name).string(); }
    void AddAndSelect(const std::string& file)
    {
        dialogs_.files.push_back(std::vector<std::string>{file});
        form_->OpenImageButton->click();
        form_->ListView->Select(form_->ListView->Count() - 1);
    }

    std::unique_ptr<TMainForm> form_;
};

TEST_F(WallpaperCommandTest, NothingSelectedDoesNothing)
{
    AddAndSelect(Picture("a.jpg"));
    form_->ListView->Select(std::nullopt);
    form_->WallButton->click();
    form_->X1->trigger();
    EXPECT_TRUE(desktop_.wallpapers.empty());
    EXPECT_FALSE(fs::exists(ProgramPath("Temp.bmp")));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(WallpaperCommandTest, BitmapIsUsedDirectlyInAnyLetterCase)
{
    AddAndSelect(Picture("PHOTO.BMP"));   // added while missing, so it has the placeholder
    WriteFile(Picture("PHOTO.BMP"), "BM"); // the desktop reads it, not the command
    form_->WallButton->click();
    EXPECT_EQ(desktop_.wallpapers, std::vector<std::string>{Picture("PHOTO.BMP")});
    EXPECT_FALSE(fs::exists(ProgramPath("Temp.bmp")));
    EXPECT_TRUE(errors_.empty()); // the failed announcement says nothing
}

TEST_F(WallpaperCommandTest, JpegBecomesTempBmpInTheProgramFolder)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromStdString(Picture("a.jpeg")), "JPEG"));
    AddAndSelect(Picture("a.jpeg"));
    form_->X1->trigger();
    EXPECT_EQ(desktop_.wallpapers, std::vector<std::string>{Program() + "Temp.bmp"});
    const QImage written(QString::fromStdString(Program() + "Temp.bmp"), "BMP");
    EXPECT_EQ(written.size(), QSize(40, 30));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(WallpaperCommandTest, PictureThatIsNoJpegShowsTheErrorAndKeepsTheWallpaper)
{
    AddAndSelect(Picture("c.jpg"));          // added while missing, so it has the placeholder
    WriteFile(Picture("c.jpg"), "P6 1 1 255 ...");  // and then replaced by a picture of a kind not read
    form_->WallButton->click();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0].rfind("JPEG エラー #", 0), 0u) << errors_[0];
    EXPECT_TRUE(desktop_.wallpapers.empty());
}

TEST_F(WallpaperCommandTest, MenuChecksFollowTheTilingChosen)
{
    emit form_->KabeW1->aboutToShow();
    EXPECT_EQ(form_->TileV->isChecked(), form_->WallPaper->Tile());
    EXPECT_NE(form_->CentC->isChecked(), form_->WallPaper->Tile());

    form_->TileV->trigger();
    emit form_->KabeW1->aboutToShow();
    EXPECT_TRUE(form_->WallPaper->Tile());
    EXPECT_TRUE(form_->TileV->isChecked());
    EXPECT_FALSE(form_->CentC->isChecked());

    form_->CentC->trigger();
    emit form_->KabeW1->aboutToShow();
    EXPECT_FALSE(form_->WallPaper->Tile());
    EXPECT_FALSE(form_->TileV->isChecked());
    EXPECT_TRUE(form_->CentC->isChecked());
    EXPECT_TRUE(errors_.empty());
}

TEST_F(WallpaperCommandTest, SixPlacementItemsShareOneCheckMark)
{
    QAction* const items[] = {form_->CentC, form_->TileV, form_->FillF, form_->FitT, form_->StretchS, form_->SpanP};
    for (size_t chosen = 0; chosen < std::size(items); ++chosen) {
        items[chosen]->trigger();
        emit form_->KabeW1->aboutToShow();
        EXPECT_EQ(form_->WallPaper->Placement(), AllPlacements[chosen]);
        for (size_t i = 0; i < std::size(items); ++i)
            EXPECT_EQ(items[i]->isChecked(), i == chosen) << items[i]->text().toStdString() << " after "
                                                          << items[chosen]->text().toStdString();
    }
    EXPECT_TRUE(errors_.empty());
}

} // namespace
} // namespace vorlane::test
