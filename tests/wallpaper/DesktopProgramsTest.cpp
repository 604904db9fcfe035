// The wallpaper on real desktop programs, each on a virtual display of its own: the picture is set
// through the component as the window sets it, and the screen must show it, centred or tiled as asked,
// with the desktop program still running afterwards.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/wallpaper/DesktopSession.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane {
namespace {

using test::DesktopSession;
using test::SessionProgram;

class DesktopProgramTest : public ::testing::Test {
protected:
    // Starts the session; skips (outside CI) when a program is missing.
    void Begin(const std::vector<std::string>& programs, bool withDisplay = true)
    {
        std::string missing;
        if (!test::NeedPrograms(programs, missing)) {
            if (std::getenv("CI"))
                FAIL() << "not installed: " << missing << " (scripts/setup-debian.sh installs it)";
            GTEST_SKIP() << "not installed: " << missing << "; scripts/setup-debian.sh installs it";
        }
        session_ = std::make_unique<DesktopSession>(withDisplay);
        ASSERT_EQ(session_->Failure(), "");
    }

    // Starts the desktop program and waits until its desktop window covers the screen.
    void StartDesktop(std::vector<std::string> argv)
    {
        desktop_ = session_->Start(std::move(argv));
        ASSERT_TRUE(session_->WaitForScreen([&] { return session_->DesktopWindowShown() || !desktop_->Running(); }))
            << "no desktop window appeared";
        ASSERT_TRUE(desktop_->Running()) << "the desktop program ended at start";
    }

    bool Shows(const std::function<int(const std::vector<Rgb>&)>& mismatches)
    {
        int last = -1;
        const bool shown = session_->WaitForScreen([&] { return (last = mismatches(session_->Screenshot())) == 0; });
        if (!shown)
            ADD_FAILURE() << last << " pixels differ";
        return shown;
    }
    bool ShowsCentred(const Bitmap& picture)
    {
        return Shows([&](const std::vector<Rgb>& screen) { return test::CentredMismatches(screen, picture); });
    }
    bool ShowsTiled(const Bitmap& picture)
    {
        return Shows([&](const std::vector<Rgb>& screen) { return test::TiledMismatches(screen, picture); });
    }

    // Centred, then tiled, then a "Temp.bmp" rewritten twice under its name: each is shown, and the
    // desktop program keeps running.
    void ShowsEveryWallpaper()
    {
        TWallPaper wallpaper(nullptr);
        const Bitmap first = test::TestPicture(64, 48, 1);
        wallpaper.SetTile(false);
        wallpaper.SetWallPaper(session_->SaveBmp("first.bmp", first));
        EXPECT_TRUE(ShowsCentred(first)) << "centred";
        wallpaper.SetTile(true);
        EXPECT_TRUE(ShowsTiled(first)) << "tiled";

        const std::string temp = session_->SaveBmp("Temp.bmp", test::TestPicture(48, 40, 2));
        wallpaper.SetWallPaper(temp);
        EXPECT_TRUE(ShowsTiled(test::TestPicture(48, 40, 2))) << "Temp.bmp";
        const Bitmap rewritten = test::TestPicture(40, 30, 3);
        session_->SaveBmp("Temp.bmp", rewritten);
        wallpaper.SetWallPaper(temp);
        EXPECT_TRUE(ShowsTiled(rewritten)) << "Temp.bmp rewritten";
        if (desktop_) {
            EXPECT_TRUE(desktop_->Running()) << "the desktop program ended";
        }
    }

    std::unique_ptr<DesktopSession> session_;
    std::unique_ptr<SessionProgram> desktop_;
};

TEST_F(DesktopProgramTest, PlainWindowManagerShowsTheRootPixmap)
{
    Begin({"Xvfb", "dbus-daemon", "openbox"});
    auto windowManager = session_->Start({"openbox", "--sm-disable"});
    ShowsEveryWallpaper();
    EXPECT_TRUE(windowManager->Running());
}

TEST_F(DesktopProgramTest, XfceDesktop)
{
    Begin({"Xvfb", "dbus-daemon", "xfdesktop"});
    StartDesktop({"xfdesktop", "--sm-client-disable", "--disable-wm-check"});
    ShowsEveryWallpaper();
}

TEST_F(DesktopProgramTest, MateDesktopDrawnByCaja)
{
    Begin({"Xvfb", "dbus-daemon", "caja"});
    StartDesktop({"caja", "--no-default-window", "--force-desktop"});
    ShowsEveryWallpaper();
}

TEST_F(DesktopProgramTest, LxdeDesktopDrawnByPcmanfm)
{
    Begin({"Xvfb", "dbus-daemon", "pcmanfm"});
    StartDesktop({"pcmanfm", "--desktop"});
    ShowsEveryWallpaper();
}

TEST_F(DesktopProgramTest, LxqtDesktopDrawnByPcmanfmQt)
{
    Begin({"Xvfb", "dbus-daemon", "pcmanfm-qt"});
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    StartDesktop({"pcmanfm-qt", "--desktop"});
    ShowsEveryWallpaper();
}

} // namespace
} // namespace vorlane
