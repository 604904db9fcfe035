// The Windows screen saver's pictures as drawn for its window: each placement on one monitor and over
// two, the preview's screen in small, and a picture far larger than it shows. (On the screen under wine
// only one monitor and the full scale can be seen: tests/windows/Saver.sh.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/BmpFile.h"
#include "saver/win32/SaverPicture.h"
#include "tests/TestFiles.h"

namespace vorlane::saver {
namespace {

// A picture of four quarters, red and green above blue and white, as a bitmap file.
std::string QuarterPicture(const test::ScratchFolder& folder, int width, int height)
{
    Bitmap picture(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, lower = y >= height / 2;
            picture.SetPixelRgb(x, y,
                                lower ? (right ? MakeRgb(255, 255, 255) : MakeRgb(0, 0, 255))
                                      : (right ? MakeRgb(0, 255, 0) : MakeRgb(255, 0, 0)));
        }
    const std::string file =
        (folder.Path() / ("quarters-" + std::to_string(width) + "x" + std::to_string(height) + ".bmp")).string();
    test::WriteFile(file, WriteBmp(picture));
    return file;
}

// What the bitmap shows at each point: R, G, B, W, K (black) or ? for anything between.
std::string Shown(HBITMAP bitmap, int width, int height, const std::vector<POINT>& points)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, UINT(height), pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::string shown;
    for (const POINT& at : points) {
        const uint32_t pixel = pixels[size_t(at.y) * size_t(width) + size_t(at.x)];
        const int red = int(pixel >> 16 & 0xFF), green = int(pixel >> 8 & 0xFF), blue = int(pixel & 0xFF);
        const auto high = [](int c) { return c > 200; };
        const auto low = [](int c) { return c < 50; };
        shown += high(red) && low(green) && low(blue)     ? 'R'
                 : low(red) && high(green) && low(blue)   ? 'G'
                 : low(red) && low(green) && high(blue)   ? 'B'
                 : high(red) && high(green) && high(blue) ? 'W'
                 : low(red) && low(green) && low(blue)    ? 'K'
                                                          : '?';
    }
    return shown;
}

TEST(SaverPicture, EachPlacementOnOneMonitorOverTwoAndInSmall)
{
    const test::ScratchFolder folder("vorlane-saver-picture");
    const std::string small = QuarterPicture(folder, 40, 30), large = QuarterPicture(folder, 2000, 1500);
    const std::vector<PixelRect> oneMonitor{{0, 0, 100, 100}};
    const struct {
        const char* what;
        SaverFrame frame;
        std::string picture;
        WallpaperPlacement placement;
        std::vector<POINT> points;
        const char* shown;
    } cases[] = {
        {"fit: black above and below",
         {100, 100, oneMonitor},
         small,
         WallpaperPlacement::Fit,
         {{50, 5}, {25, 30}, {75, 30}, {25, 70}, {75, 70}, {50, 95}},
         "KRGBWK"},
        {"fill: cut at the sides",
         {100, 100, oneMonitor},
         small,
         WallpaperPlacement::Fill,
         {{2, 2}, {97, 2}, {2, 97}, {97, 97}},
         "RGBW"},
        {"stretch",
         {100, 100, oneMonitor},
         small,
         WallpaperPlacement::Stretch,
         {{5, 5}, {95, 5}, {5, 95}, {95, 95}},
         "RGBW"},
        {"centred, larger than the monitor: its middle",
         {100, 100, oneMonitor},
         large,
         WallpaperPlacement::Centred,
         {{45, 45}, {55, 45}, {45, 55}, {55, 55}, {0, 0}, {99, 99}},
         "RGBWRW"},
        {"centred in a preview at half the screen's size",
         {100, 100, oneMonitor, 0.5, 0.5},
         small,
         WallpaperPlacement::Centred,
         {{43, 45}, {57, 45}, {43, 55}, {57, 55}, {35, 50}, {65, 50}, {50, 40}},
         "RGBWKKK"},
        {"fit, 50 times smaller than the picture",
         {100, 75, {{0, 0, 100, 75}}},
         large,
         WallpaperPlacement::Fit,
         {{2, 2}, {97, 2}, {2, 72}, {97, 72}, {45, 35}, {55, 40}},
         "RGBWRW"},
        {"fit on each of two monitors",
         {200, 50, {{0, 0, 100, 50}, {100, 0, 100, 50}}},
         small,
         WallpaperPlacement::Fit,
         {{10, 25}, {25, 10}, {60, 40}, {110, 25}, {125, 10}, {160, 40}},
         "KRWKRW"},
        {"span: one picture over both",
         {200, 50, {{0, 0, 100, 50}, {100, 0, 100, 50}}},
         small,
         WallpaperPlacement::Span,
         {{50, 10}, {150, 10}, {50, 40}, {150, 40}},
         "RGBW"},
    };
    HDC screen = GetDC(nullptr);
    for (const auto& c : cases) {
        HBITMAP bitmap = DrawSaverPicture(screen, c.frame, c.picture, c.placement);
        ASSERT_NE(bitmap, nullptr) << c.what;
        EXPECT_EQ(Shown(bitmap, c.frame.width, c.frame.height, c.points), c.shown) << c.what;
        DeleteObject(bitmap);
    }
    ReleaseDC(nullptr, screen);
}

} // namespace
} // namespace vorlane::saver
