#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"
#include "tests/platform/FileSizeLimit.h"
#include "tests/wallpaper/Sandbox.h"
#include "wallpaper/CWallPaper.h"

namespace vorlane {
namespace {

// Records every desktop call as a line of text, and what "TileWallPaper" held when it came: the desktop
// draws with the recorded tiling, so it must already be written.
class RecordingDesktop : public Desktop {
public:
    bool SystemParametersInfo(uint32_t action, uint32_t uiParam, const char* param, uint32_t winIni) override
    {
        calls.push_back("spi " + std::to_string(action) + " " + std::to_string(uiParam) + " [" + param + "] " +
                        std::to_string(winIni));
        tilingSeen.push_back(test::Sandbox::DesktopString("TileWallPaper"));
        return true;
    }
    void BroadcastSettingChange(const char* section) override
    {
        calls.push_back(std::string("broadcast [") + section + "]");
        tilingSeen.push_back(test::Sandbox::DesktopString("TileWallPaper"));
    }
    std::vector<std::string> calls;
    std::vector<std::string> tilingSeen;
};

class WallPaperTest : public test::Sandbox {
protected:
    RecordingDesktop desktop;
};

TEST_F(WallPaperTest, MissingSettingsMeanCentredWithoutWallpaper)
{
    TWallPaper wallpaper(nullptr, desktop);
    EXPECT_FALSE(wallpaper.Tile());
    EXPECT_EQ(wallpaper.WallPaperFile(), "（なし）");
    EXPECT_TRUE(wallpaper.NoWallPaper());
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_TRUE(registry::OpenKey(registry::Root, "Control Panel")); // created with the component

    // Without a wallpaper, tiling is recorded and announced, nothing is drawn.
    wallpaper.SetTile(true);
    EXPECT_EQ(DesktopString("TileWallPaper"), "1");
    EXPECT_EQ(desktop.calls, std::vector<std::string>{"broadcast [Desktop]"});
}

TEST_F(WallPaperTest, SetTileToTheCurrentValueWritesAndCallsNothing)
{
    TWallPaper wallpaper(nullptr, desktop);
    wallpaper.SetTile(false);
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_EQ(DesktopString("TileWallPaper"), "<missing>");

    wallpaper.SetTile(true);
    StoreDesktopString("TileWallPaper", "changed elsewhere");
    wallpaper.SetTile(true);
    EXPECT_EQ(DesktopString("TileWallPaper"), "changed elsewhere");
    EXPECT_EQ(desktop.calls.size(), 1u);

    wallpaper.SetTile(false);
    EXPECT_EQ(DesktopString("TileWallPaper"), "0");
    EXPECT_EQ(desktop.calls.size(), 2u);
    // Each call came after the new value was recorded.
    EXPECT_EQ(desktop.tilingSeen, (std::vector<std::string>{"1", "0"}));
}

TEST_F(WallPaperTest, EmptyWallpaperIsAPathAndIsDrawnAgain)
{
    StoreDesktopString("Wallpaper", "");
    TWallPaper wallpaper(nullptr, desktop);
    EXPECT_EQ(wallpaper.WallPaperFile(), "");
    EXPECT_FALSE(wallpaper.NoWallPaper());
    wallpaper.SetTile(true);
    EXPECT_EQ(desktop.calls, std::vector<std::string>{"spi 20 0 [] 3"});
}

TEST_F(WallPaperTest, LongWallpaperIsKeptWholeAndOneOverThePathLimitIsRefusedNotCut)
{
    // Longer than a length-prefixed string, well within the path limit: kept whole.
    const std::string longPath = "/" + std::string(299, 'p') + "/壁紙.bmp";
    StoreDesktopString("Wallpaper", longPath);
    TWallPaper wallpaper(nullptr, desktop);
    EXPECT_EQ(wallpaper.WallPaperFile(), longPath);
    wallpaper.SetTile(true);
    EXPECT_EQ(desktop.calls, std::vector<std::string>{"spi 20 0 [" + longPath + "] 3"});

    // Cut, it would name another file: refused, and nothing changes.
    const std::string over = "/" + std::string(PATH_MAX - 2, 'p') + "壁";
    desktop.calls.clear();
    EXPECT_THROW(wallpaper.SetWallPaper(over), EPathTooLong);
    EXPECT_EQ(wallpaper.WallPaperFile(), longPath);
    EXPECT_TRUE(desktop.calls.empty());
}

TEST_F(WallPaperTest, PlacementsAreRecordedAsWindowsRecordsThemAndCentreAndTileStayTheDesktopsOwn)
{
    StoreDesktopString("Wallpaper", "/a.bmp");
    TWallPaper wallpaper(nullptr, desktop);
    EXPECT_EQ(wallpaper.Placement(), WallpaperPlacement::Centred);
    struct Step {
        WallpaperPlacement placement;
        const char* tile;  // "TileWallPaper" afterwards
        const char* style; // "WallpaperStyle" afterwards
        size_t calls;      // the desktop's calls so far
    };
    const Step steps[] = {
        // Centre and tile alone never write "WallpaperStyle".
        {WallpaperPlacement::Tiled, "1", "<missing>", 1},
        {WallpaperPlacement::Centred, "0", "<missing>", 2},
        {WallpaperPlacement::Fill, "0", "10", 3},
        {WallpaperPlacement::Fill, "0", "10", 3}, // the current one: nothing at all
        {WallpaperPlacement::Tiled, "1", "0", 4},
        {WallpaperPlacement::Span, "0", "22", 5},
        {WallpaperPlacement::Fit, "0", "6", 6},
        {WallpaperPlacement::Stretch, "0", "2", 7},
        {WallpaperPlacement::Centred, "0", "0", 8},
    };
    for (const Step& step : steps) {
        wallpaper.SetPlacement(step.placement);
        const std::string name(PlacementName(step.placement));
        EXPECT_EQ(wallpaper.Placement(), step.placement) << name;
        EXPECT_EQ(DesktopString("TileWallPaper"), step.tile) << name;
        EXPECT_EQ(DesktopString("WallpaperStyle"), step.style) << name;
        EXPECT_EQ(desktop.calls.size(), step.calls) << name;
        EXPECT_EQ(TWallPaper(nullptr, desktop).Placement(), step.placement) << name << " read back";
    }
    EXPECT_EQ(desktop.calls.back(), "spi 20 0 [/a.bmp] 3");

    // Tiling recorded over a scaled style: tiled; centring then clears the style rather than uncovering it.
    StoreDesktopString("TileWallPaper", "1");
    StoreDesktopString("WallpaperStyle", "10");
    TWallPaper tiled(nullptr, desktop);
    EXPECT_EQ(tiled.Placement(), WallpaperPlacement::Tiled);
    tiled.SetPlacement(WallpaperPlacement::Centred);
    EXPECT_EQ(DesktopString("WallpaperStyle"), "0");
    EXPECT_EQ(TWallPaper(nullptr, desktop).Placement(), WallpaperPlacement::Centred);

    // A style of another type or an unknown number centres, and stops nothing.
    StoreDesktopValue("WallpaperStyle", REG_DWORD, std::string("\x0a\x00\x00\x00", 4));
    EXPECT_EQ(TWallPaper(nullptr, desktop).Placement(), WallpaperPlacement::Centred);
    StoreDesktopString("WallpaperStyle", "7");
    EXPECT_EQ(TWallPaper(nullptr, desktop).Placement(), WallpaperPlacement::Centred);
}

TEST_F(WallPaperTest, TileWallPaperIsAnIntegerText)
{
    const std::pair<const char*, bool> cases[] = {{"2", true}, {"$1F", true}, {"0", false}, {"tiled", false}};
    for (const auto& [text, tiled] : cases) {
        StoreDesktopString("TileWallPaper", text);
        TWallPaper wallpaper(nullptr, desktop);
        EXPECT_EQ(wallpaper.Tile(), tiled) << text;
    }
    StoreDesktopValue("TileWallPaper", REG_EXPAND_SZ, std::string("1\0", 2));
    EXPECT_TRUE(TWallPaper(nullptr, desktop).Tile());
}

TEST_F(WallPaperTest, ValueOfAnotherTypeFailsCreationOnceAndIsRemoved)
{
    StoreDesktopValue("TileWallPaper", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
    StoreDesktopString("Wallpaper", "/a.bmp");
    EXPECT_EQ(test::ErrorOf<ERegistryException>([&] { TWallPaper wallpaper(nullptr, desktop); }),
              "'TileWallPaper' のデータ型が不正です");
    {
        TWallPaper next(nullptr, desktop); // the next start works, with the default tiling
        EXPECT_FALSE(next.Tile());
        EXPECT_EQ(next.WallPaperFile(), "/a.bmp");
    }

    StoreDesktopString("TileWallPaper", "1");
    StoreDesktopValue("Wallpaper", REG_BINARY, "/a.bmp");
    EXPECT_EQ(test::ErrorOf<ERegistryException>([&] { TWallPaper wallpaper(nullptr, desktop); }),
              "'Wallpaper' のデータ型が不正です");
    TWallPaper next(nullptr, desktop);
    EXPECT_TRUE(next.Tile());
    EXPECT_TRUE(next.NoWallPaper());
    EXPECT_TRUE(desktop.calls.empty());
}

TEST_F(WallPaperTest, SetWallPaperCallsTheDesktopAndLeavesTilingAlone)
{
    StoreDesktopString("TileWallPaper", "1");
    TWallPaper wallpaper(nullptr, desktop);
    wallpaper.SetWallPaper("/pictures/海.bmp");
    EXPECT_EQ(wallpaper.WallPaperFile(), "/pictures/海.bmp");
    EXPECT_FALSE(wallpaper.NoWallPaper());
    EXPECT_TRUE(wallpaper.Tile());
    EXPECT_EQ(desktop.calls, std::vector<std::string>{"spi 20 0 [/pictures/海.bmp] 3"});

    // A later tiling change draws that file again instead of only announcing.
    wallpaper.SetTile(false);
    EXPECT_EQ(desktop.calls.back(), "spi 20 0 [/pictures/海.bmp] 3");
    EXPECT_EQ(DesktopString("TileWallPaper"), "0");
}

TEST_F(WallPaperTest, NoWallPaperIsTheFullWidthTextExactly)
{
    StoreDesktopString("Wallpaper", "/a.bmp");
    TWallPaper wallpaper(nullptr, desktop);
    EXPECT_FALSE(wallpaper.NoWallPaper());
    wallpaper.SetWallPaper("(なし)"); // ASCII parentheses: an ordinary file name
    EXPECT_FALSE(wallpaper.NoWallPaper());
    wallpaper.SetWallPaper("（なし）");
    EXPECT_TRUE(wallpaper.NoWallPaper());
    desktop.calls.clear();
    wallpaper.SetTile(true);
    EXPECT_EQ(desktop.calls, std::vector<std::string>{"broadcast [Desktop]"});
}

TEST_F(WallPaperTest, UnwritableStoreFailsSetTileAfterTileChanged)
{
    StoreDesktopString("Wallpaper", "/a.bmp");
    TWallPaper wallpaper(nullptr, desktop);
    {
        const FileSizeLimit full(std::filesystem::file_size(registry::StorePath()));
        EXPECT_EQ(test::ErrorOf<ERegistryException>([&] { wallpaper.SetTile(true); }),
                  "'TileWallPaper' の設定に失敗しました");
    }
    EXPECT_TRUE(wallpaper.Tile());
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_EQ(DesktopString("TileWallPaper"), "<missing>");
}

TEST_F(WallPaperTest, WithoutAStoreTheComponentStillWorksButCannotRecordTiling)
{
    std::ofstream(File("file")) << "x";
    ::setenv("XDG_CONFIG_HOME", File("file/sub").c_str(), 1);
    TWallPaper wallpaper(nullptr, desktop);
    EXPECT_FALSE(wallpaper.RegIni().HasKey());
    EXPECT_TRUE(wallpaper.NoWallPaper());
    EXPECT_EQ(test::ErrorOf<ERegistryException>([&] { wallpaper.SetTile(true); }), "キー Desktop の作成に失敗しました");
    EXPECT_TRUE(desktop.calls.empty());
}

} // namespace
} // namespace vorlane
