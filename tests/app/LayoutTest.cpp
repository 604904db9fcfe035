// What the user sees: tool bar, menus, the name dialog, the program's pictures, the error texts.
#include <algorithm>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>

#include "app/qt/Application.h"
#include "app/qt/ErrorReport.h"
#include "app/qt/GskFormUnit.h"
#include "app/qt/ListView.h"
#include "app/qt/MaonFormUnit.h"
#include "app/qt/QtDialogs.h"
#include "gallery/ImageList.h"
#include "platform/Exceptions.h"
#include "tests/NeedInstalled.h"
#include "tests/app/AppFixture.h"

namespace vorlane::test {
namespace {

using LayoutTest = AppTest;

TEST_F(LayoutTest, ToolBarButtonsCarryCaptionsImagesAndHints)
{
    TMainForm form(dialogs_, desktop_);
    struct Expected {
        QToolButton* button;
        const char* caption;
        const char* hint;
        bool hintShown;
    };
    const Expected buttons[] = {
        {form.OpenImageButton, "画像読込", "画像を読み込む(複数可)", true},
        {form.WallButton, "壁紙", "壁紙にする", true},
        {form.ToolButton1, "削除", "画像削除", true},
        {form.ToolButton2, "画集読込", "画集を読み込む", false},
    };
    for (const Expected& e : buttons) {
        EXPECT_EQ(e.button->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(e.button->property("Hint").toString(), QString::fromUtf8(e.hint));
        EXPECT_EQ(e.button->toolTip(), e.hintShown ? QString::fromUtf8(e.hint) : QString());
        EXPECT_EQ(e.button->size(), QSize(55, 51));
        EXPECT_EQ(e.button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_FALSE(e.button->icon().isNull());
    }
    EXPECT_EQ(form.ButtonImageList->Count(), 5);
    EXPECT_EQ(form.StatusBar1->currentMessage(), QString());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quorvel Vorlane  Ver1.6"));
}

TEST_F(LayoutTest, MenusHaveAccessKeysAndNoShortcuts)
{
    TMainForm form(dialogs_, desktop_);
    const QList<QAction*> menus = form.MainMenu1->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("壁紙(&W)"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("ｽｸﾘｰﾝｾｰﾊﾞ(&S)"));
    QStringList items;
    for (QMenu* menu : {form.F1, form.KabeW1, form.s1})
        for (QAction* action : menu->actions()) {
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
            EXPECT_TRUE(action->shortcut().isEmpty());
        }
    EXPECT_EQ(items, (QStringList{"新規画集(&N)", "画集読込(&L)", "画集の名前を変える(&R)", "画像読込(&G)",
                                  "画像削除(&D)", "壁紙に設定(&X)", "-", "画像を中央に(&C)", "画像を並べて(&V)", "-",
                                  "画像で埋める(&F)", "画像を画面に合わせる(&T)", "画像を引き伸ばす(&S)",
                                  "画像を全ﾓﾆﾀに広げる(&P)", "画集の設定(&A)", "画集の解除(&B)"}));
}

TEST_F(LayoutTest, NameDialogKeepsItsTextAndAnswersEnterAndEscape)
{
    EXPECT_EQ(GskForm->windowTitle(), QStringLiteral("GskForm"));
    EXPECT_EQ(GskForm->size(), QSize(173, 96));
    EXPECT_EQ(GskForm->GskEdit->geometry(), QRect(8, 24, 153, 20));
    EXPECT_EQ(GskForm->BitBtn1->geometry(), QRect(8, 56, 73, 25));
    EXPECT_EQ(GskForm->BitBtn2->geometry(), QRect(88, 56, 73, 25));
    EXPECT_EQ(GskForm->BitBtn2->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(GskForm->Label1->text(), QStringLiteral("画集の名前を入力してください"));

    GskForm->open();
    QTest::keyClicks(GskForm->GskEdit, QStringLiteral("abc"));
    QTest::keyClick(GskForm->GskEdit, Qt::Key_Return);
    EXPECT_EQ(GskForm->result(), mrOk);
    EXPECT_FALSE(GskForm->isVisible());

    GskForm->open();
    EXPECT_EQ(GskForm->GskEdit->text(), QStringLiteral("abc"));
    QTest::keyClick(GskForm->GskEdit, Qt::Key_Escape);
    EXPECT_EQ(GskForm->result(), mrCancel);
    EXPECT_EQ(GskForm->GskEdit->text(), QStringLiteral("abc"));
}

TEST_F(LayoutTest, PlaceholderIsOneMaskedImageWith92ClearPixels)
{
    TMainForm form(dialogs_, desktop_);
    ASSERT_EQ(form.DefaultImageList->Count(), 1);
    EXPECT_EQ(form.DefaultImageList->Width(), 32);
    const Bitmap& mask = form.DefaultImageList->Mask(0);
    int clear = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            clear += mask.PixelValue(x, y) != 0;
    EXPECT_EQ(clear, 92);
    EXPECT_NE(form.DefaultImageList->Mask(0).PixelValue(31, 31), 0u); // the bottom-right corner is clear
    EXPECT_EQ(form.DefaultImageList->Mask(0).PixelValue(10, 11), 0u); // the red paint is not
}

TEST_F(LayoutTest, FiltersShowTheirDescriptionsAndMatchAsWindowsDoes)
{
    EXPECT_EQ(QtNameFilters("ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg)|*jpg"),
              (QStringList{"ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp) (*.bmp)", "JPEG(*.jpg) (*jpg)"}));
    EXPECT_EQ(QtNameFilters("画集|*.gsk"), QStringList{"画集 (*.gsk)"});
    EXPECT_EQ(QtNameFilters("Pictures|*.bmp;*.jpg"), QStringList{"Pictures (*.bmp *.jpg)"});
}

TEST(DialogLanguageTest, QtsOwnDialogTextsAreJapanese)
{
    const QString english = QCoreApplication::translate("QFileDialog", "Look in:");
    VORLANE_NEED_INSTALLED(InstallDialogTranslation(*QCoreApplication::instance())
                               ? ""
                               : "Qt's Japanese translation (qt6-translations-l10n)");
    const QString japanese = QCoreApplication::translate("QFileDialog", "Look in:");
    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    EXPECT_EQ(english, QStringLiteral("Look in:"));
    EXPECT_NE(japanese, english);
    EXPECT_TRUE(std::any_of(japanese.begin(), japanese.end(), [](QChar c) { return c.unicode() >= 0x3000; }))
        << japanese.toStdString();
}

TEST(ErrorReportTest, TitleAndMessageFollowTheProgramsRules)
{
    EXPECT_EQ(ApplicationTitle("/opt/vorlane/Vorlane16"), "Vorlane16");
    EXPECT_EQ(ApplicationTitle("/opt/VORLANE16.EXE.old"), "Vorlane16");
    EXPECT_EQ(ErrorBoxText("Vorlane.ini に書き込めません"), "Vorlane.ini に書き込めません.");
    EXPECT_EQ(ErrorBoxText("Connection Failed"), "Connection Failed.");
    EXPECT_EQ(ErrorBoxText("done."), "done.");
    EXPECT_EQ(ErrorBoxText("(なし)!"), "(なし)!"); // "!" sorts before "."
    EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(ErrorReportTest, EscapingExceptionsReachTheCentralHandlerOnce)
{
    std::vector<std::string> shown;
    SetErrorPresenter([&](const std::string& title, const std::string& text) { shown.push_back(title + "|" + text); });
    bool after = false;
    RunCommand([] { throw EFOpenError(Format(msg::FOpenError, "/x/a.gsk")); });
    RunCommand([&] { after = true; });
    SetErrorPresenter({});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], ApplicationTitle() + "|ファイル /x/a.gsk は開けません.");
    EXPECT_TRUE(after);
}

} // namespace
} // namespace vorlane::test
