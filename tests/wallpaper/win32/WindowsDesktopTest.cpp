// The wallpaper component on Windows' own desktop: the system-parameter call records the picture in the
// registry, where the component reads it back, and tiling goes to the registry and the desktop.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "image/BmpFile.h"
#include "platform/RegistryIniFile.h"
#include "tests/TestFiles.h"
#include "wallpaper/CWallPaper.h"

#include <windows.h>

namespace vorlane {
namespace {

TEST(WindowsDesktop, SetsTheWallpaperThroughTheSystemAndReadsItBack)
{
    const std::string picture = (std::filesystem::temp_directory_path() /
                                 ("vorlane-wallpaper-" + std::to_string(GetCurrentProcessId()) + ".bmp"))
                                    .string();
    Bitmap bitmap(8, 8, 24);
    bitmap.Fill(MakeRgb(200, 40, 40));
    const std::vector<uint8_t> bytes = WriteBmp(bitmap);
    test::WriteFile(picture, bytes);

    {
        TWallPaper wallpaper(nullptr);
        EXPECT_TRUE(wallpaper.SetWallPaper(picture));
        wallpaper.SetTile(!wallpaper.Tile());
        wallpaper.SetTile(true);
    }
    TRegIniFile desktop("Control Panel");
    EXPECT_EQ(desktop.ReadString("Desktop", "Wallpaper", ""), picture);
    EXPECT_EQ(desktop.ReadString("Desktop", "TileWallPaper", ""), "1");

    const TWallPaper again(nullptr);
    EXPECT_EQ(again.WallPaperFile(), picture);
    EXPECT_TRUE(again.Tile());
    std::filesystem::remove(picture);
}

} // namespace
} // namespace vorlane
