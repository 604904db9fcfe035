// The wallpaper on real desktop programs, each on a virtual display of its own: the picture is set
// through the component as the window sets it, and the screen must show it, centred or tiled as asked,
// with the desktop program still running afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "tests/wallpaper/DesktopSession.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane {
namespace {

using test::SessionProgram;

class DesktopProgramTest : public test::SharedSessionTest {
protected:
    // Starts the desktop program and waits until its desktop window covers the screen.
    void StartDesktop(std::vector<std::string> argv)
    {
        desktop_ = session_->Start(std::move(argv));
        ASSERT_TRUE(session_->WaitForScreen([&] { return session_->DesktopWindowShown() || !desktop_->Running(); }))
            << "no desktop window appeared";
        ASSERT_TRUE(desktop_->Running()) << "the desktop program ended at start";
    }

    bool Shows(const std::function<int(const test::Screen&)>& mismatches)
    {
        int last = -1;
        const auto matches = [&] { return (last = mismatches(sway_ ? sway_->Screenshot() : session_->Screenshot())) == 0; };
        bool shown = false;
        if (sway_) {
            // Each capture is a run of grim, which paces the looking.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!(shown = matches()) && std::chrono::steady_clock::now() < deadline) {
            }
        } else {
            shown = session_->WaitForScreen(matches);
        }
        if (!shown)
            ADD_FAILURE() << last << " pixels differ";
        return shown;
    }
    bool ShowsCentred(const Bitmap& picture)
    {
        return Shows([&](const test::Screen& screen) { return test::CentredMismatches(screen, picture); });
    }
    bool ShowsTiled(const Bitmap& picture)
    {
        return Shows([&](const test::Screen& screen) { return test::TiledMismatches(screen, picture); });
    }

    // Centred, then tiled, then a "Temp.bmp" rewritten twice under its name: each is shown, and the
    // desktop program keeps running. Stops at the first picture not shown.
    void ShowsEveryWallpaper()
    {
        TWallPaper wallpaper(nullptr);
        const Bitmap first = test::TestPicture(64, 48, 1);
        wallpaper.SetTile(false);
        wallpaper.SetWallPaper(session_->SaveBmp("first.bmp", first));
        ASSERT_TRUE(ShowsCentred(first)) << "centred";
        wallpaper.SetTile(true);
        ASSERT_TRUE(ShowsTiled(first)) << "tiled";

        const Bitmap second = test::TestPicture(48, 40, 2);
        const std::string temp = session_->SaveBmp("Temp.bmp", second);
        wallpaper.SetWallPaper(temp);
        ASSERT_TRUE(ShowsTiled(second)) << "Temp.bmp";
        const Bitmap rewritten = test::TestPicture(40, 30, 3);
        session_->SaveBmp("Temp.bmp", rewritten);
        wallpaper.SetWallPaper(temp);
        ASSERT_TRUE(ShowsTiled(rewritten)) << "Temp.bmp rewritten";
        if (sway_) {
            EXPECT_TRUE(sway_->Running()) << "sway ended";
        }
        if (desktop_) {
            EXPECT_TRUE(desktop_->Running()) << "the desktop program ended";
            EXPECT_TRUE(session_->DesktopWindowShown()) << "the desktop window is gone";
        }
    }

    std::unique_ptr<test::Sway> sway_;
    std::unique_ptr<SessionProgram> desktop_;
};

TEST_F(DesktopProgramTest, PlainWindowManagerShowsTheRootPixmap)
{
    if (!Begin({"Xvfb", "dbus-daemon", "openbox"}))
        return;
    auto windowManager = session_->Start({"openbox", "--sm-disable"});
    ShowsEveryWallpaper();
    EXPECT_TRUE(windowManager->Running());
}

TEST_F(DesktopProgramTest, XfceDesktop)
{
    if (!Begin({"Xvfb", "dbus-daemon", "openbox", "xfdesktop"}))
        return;
    // xfdesktop shows its desktop once a window manager runs.
    auto windowManager = session_->Start({"openbox", "--sm-disable"});
    ASSERT_NO_FATAL_FAILURE(StartDesktop({"xfdesktop", "--sm-client-disable"}));
    ShowsEveryWallpaper();
}

TEST_F(DesktopProgramTest, MateDesktopDrawnByCaja)
{
    if (!Begin({"Xvfb", "dbus-daemon", "caja"}))
        return;
    ASSERT_NO_FATAL_FAILURE(StartDesktop({"caja", "--no-default-window", "--force-desktop"}));
    ShowsEveryWallpaper();
}

TEST_F(DesktopProgramTest, LxdeDesktopDrawnByPcmanfm)
{
    if (!Begin({"Xvfb", "dbus-daemon", "pcmanfm"}))
        return;
    ASSERT_NO_FATAL_FAILURE(StartDesktop({"pcmanfm", "--desktop"}));
    ShowsEveryWallpaper();
}

TEST_F(DesktopProgramTest, LxqtDesktopDrawnByPcmanfmQt)
{
    if (!Begin({"Xvfb", "dbus-daemon", "pcmanfm-qt"}))
        return;
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ASSERT_NO_FATAL_FAILURE(StartDesktop({"pcmanfm-qt", "--desktop"}));
    ShowsEveryWallpaper();
}

TEST_F(DesktopProgramTest, SwayHeadlessShowsItThroughSwaymsg)
{
    if (!Begin({"Xvfb", "dbus-daemon", "sway", "swaymsg", "swaybg", "grim", "setpriv"}))
        return;
    sway_ = std::make_unique<test::Sway>(*session_);
    ASSERT_EQ(sway_->Failure(), "");
    ::setenv("SWAYSOCK", sway_->Socket().c_str(), 1);
    ShowsEveryWallpaper();
    ::unsetenv("SWAYSOCK");
}

} // namespace
} // namespace vorlane
