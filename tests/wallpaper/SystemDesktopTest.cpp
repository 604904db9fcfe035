// The session's desktop without a display: it records, and a new component reads what it recorded.
#include <gtest/gtest.h>

#include "tests/wallpaper/Sandbox.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane {
namespace {

class SystemDesktopTest : public test::Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        ::unsetenv("DISPLAY");
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::unsetenv("XDG_RUNTIME_DIR");
    }
};

TEST_F(SystemDesktopTest, WithoutADisplayTheCallOnlyRecords)
{
    EXPECT_FALSE(SystemDesktop().SystemParametersInfo(SPI_SETDESKWALLPAPER, 0, "/p/a.bmp", SPIF_UPDATEINIFILE));
    EXPECT_EQ(DesktopString("Wallpaper"), "/p/a.bmp");
    EXPECT_FALSE(SystemDesktop().SystemParametersInfo(SPI_SETDESKWALLPAPER, 0, "/p/b.bmp", 0));
    EXPECT_EQ(DesktopString("Wallpaper"), "/p/a.bmp"); // not asked to record
    EXPECT_FALSE(SystemDesktop().SystemParametersInfo(21, 0, "/p/c.bmp", SPIF_UPDATEINIFILE));
    EXPECT_EQ(DesktopString("Wallpaper"), "/p/a.bmp");
    SystemDesktop().BroadcastSettingChange("Desktop");
    EXPECT_EQ(DesktopString("Wallpaper"), "/p/a.bmp");
}

TEST_F(SystemDesktopTest, ANewComponentKnowsWhatTheLastOneSet)
{
    {
        TWallPaper wallpaper(nullptr);
        wallpaper.SetWallPaper("/p/海.bmp");
        wallpaper.SetTile(true);
    }
    TWallPaper wallpaper(nullptr);
    EXPECT_EQ(wallpaper.WallPaperFile(), "/p/海.bmp");
    EXPECT_TRUE(wallpaper.Tile());
    EXPECT_FALSE(wallpaper.NoWallPaper());
}

} // namespace
} // namespace vorlane
