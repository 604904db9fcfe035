// The session's desktop without a display: it records, and a new component reads what it recorded.
#include <gtest/gtest.h>

#include "tests/wallpaper/Sandbox.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/DesktopBackend.h"

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

// Our swaybg goes only where nothing else draws the background: not under sway reached by its socket,
// not on a compositor without wlr-layer-shell (weston, GNOME), not on Plasma's, which offers the
// protocol but draws its own desktop.
TEST(DesktopChoiceTest, SwaybgOnlyOnWlrootsCompositorsWithoutADesktopOfTheirOwn)
{
    struct Case {
        bool swaySocket, layerShell;
        std::set<std::string> busNames;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {false, true, {}, {"swaybg"}},
        {true, true, {}, {"sway"}},
        {false, false, {}, {}},
        {false, true, {"org.kde.plasmashell"}, {"plasma"}},
    };
    for (const Case& c : cases) {
        SessionFacts facts;
        facts.swaySocket = c.swaySocket;
        facts.layerShell = c.layerShell;
        facts.sessionBus = !c.busNames.empty();
        facts.busNames = c.busNames;
        std::vector<std::string> names;
        for (const ChosenBackend& chosen : ChooseDesktopBackends(facts))
            names.push_back(chosen.backend->Name());
        EXPECT_EQ(names, c.expected);
    }
}

} // namespace
} // namespace vorlane
