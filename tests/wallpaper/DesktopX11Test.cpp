// The desktop on a real X server: what the root window shows and how the root pixmap is shared.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>

#include "image/BmpFile.h"
#include "image/Jpeg.h"
#include "tests/NeedInstalled.h"
#include "tests/TestFiles.h"
#include "tests/image/JpegEncode.h"
#include "tests/wallpaper/DesktopSession.h"
#include "tests/wallpaper/Sandbox.h"
#include "tests/wallpaper/ServerProcess.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane {
namespace {

using namespace std::string_literals;

constexpr int RootWidth = 320;
constexpr int RootHeight = 240;

// A picture without black pixels, different at every position (as far as the depth allows).
Bitmap Pattern(int width, int height, int bitsPerPixel)
{
    Bitmap picture(width, height, bitsPerPixel);
    if (bitsPerPixel <= 8) {
        const int colours = 1 << bitsPerPixel;
        for (int i = 0; i < colours; ++i)
            picture.Palette()[size_t(i)] = RgbQuad{uint8_t(255 - i), uint8_t(i * 13), uint8_t(60 + i % 190), 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture.SetPixelValue(x, y, uint32_t((x * 7 + y * 13) % colours));
    } else {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture.SetPixelRgb(x, y, MakeRgb(uint8_t(40 + x * 4), uint8_t(30 + y * 7), uint8_t(200 - x)));
    }
    return picture;
}

// An X error the program under test provokes is its own to handle: the test goes on.
int IgnoreError(Display*, XErrorEvent*)
{
    return 0;
}

class X11DesktopTest : public test::Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        VORLANE_NEED_PROGRAMS({"Xvfb"});
        xvfb_ = std::make_unique<test::Xvfb>();
        ASSERT_TRUE(xvfb_->Running()) << "Xvfb did not report a display";
        ::setenv("DISPLAY", xvfb_->Display().c_str(), 1);
        // Only the root window is under test: no session bus, so GNOME's settings stay untouched.
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::unsetenv("XDG_RUNTIME_DIR");
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        previousHandler_ = XSetErrorHandler(IgnoreError);
    }
    void TearDown() override
    {
        if (display_) {
            XCloseDisplay(display_);
            XSetErrorHandler(previousHandler_);
        }
        xvfb_.reset();
        ::unsetenv("DISPLAY");
        Sandbox::TearDown();
    }

    std::string SaveBmp(const std::string& name, const Bitmap& picture)
    {
        const std::string file = File(name);
        const auto bytes = WriteBmp(picture);
        test::WriteFile(file, bytes);
        return file;
    }

    Window Root() const { return DefaultRootWindow(display_); }

    test::Screen RootScreen() const { return test::RootScreenshot(display_, RootWidth, RootHeight); }

    Pixmap PixmapProperty(const char* name) { return test::RootPixmapProperty(display_, name); }
    bool PixmapAlive(Pixmap pixmap) { return test::PixmapAlive(display_, pixmap); }

    // The root pixmap both properties name; fails the test unless they agree on a live one.
    Pixmap PublishedPixmap()
    {
        const Pixmap pixmap = PixmapProperty("_XROOTPMAP_ID");
        EXPECT_NE(pixmap, Pixmap(None));
        EXPECT_EQ(PixmapProperty("ESETROOT_PMAP_ID"), pixmap);
        EXPECT_TRUE(PixmapAlive(pixmap));
        return pixmap;
    }

    // Counts the pixels of `drawable` that differ from expected(x, y).
    int Mismatches(Drawable drawable, const std::function<Rgb(int, int)>& expected)
    {
        XImage* image = XGetImage(display_, drawable, 0, 0, RootWidth, RootHeight, AllPlanes, ZPixmap);
        if (!image)
            return -1;
        int wrong = 0;
        for (int y = 0; y < RootHeight; ++y)
            for (int x = 0; x < RootWidth; ++x)
                if ((XGetPixel(image, x, y) & 0xFFFFFF) != expected(x, y))
                    ++wrong;
        XDestroyImage(image);
        return wrong;
    }

    static std::function<Rgb(int, int)> Centred(const Bitmap& picture)
    {
        const int left = (RootWidth - picture.Width()) / 2;
        const int top = (RootHeight - picture.Height()) / 2;
        return [&picture, left, top](int x, int y) {
            const int px = x - left, py = y - top;
            return px >= 0 && py >= 0 && px < picture.Width() && py < picture.Height() ? picture.PixelRgb(px, py)
                                                                                       : Rgb(0);
        };
    }
    static std::function<Rgb(int, int)> Tiled(const Bitmap& picture)
    {
        return [&picture](int x, int y) { return picture.PixelRgb(x % picture.Width(), y % picture.Height()); };
    }

    std::unique_ptr<test::Xvfb> xvfb_;
    Display* display_ = nullptr;
    XErrorHandler previousHandler_ = nullptr;
};

TEST_F(X11DesktopTest, CentredThenTiledFromTheTopLeft)
{
    const Bitmap picture = Pattern(50, 30, 24);
    const std::string file = SaveBmp("a.bmp", picture);
    TWallPaper wallpaper(nullptr);
    wallpaper.SetWallPaper(file);
    EXPECT_EQ(DesktopString("Wallpaper"), file);
    const Pixmap centred = PublishedPixmap();
    EXPECT_EQ(Mismatches(Root(), Centred(picture)), 0);
    EXPECT_EQ(Mismatches(centred, Centred(picture)), 0);

    wallpaper.SetTile(true);
    const Pixmap tiled = PublishedPixmap();
    EXPECT_EQ(Mismatches(Root(), Tiled(picture)), 0);
    EXPECT_EQ(Mismatches(tiled, Tiled(picture)), 0);
    EXPECT_FALSE(PixmapAlive(centred));
}

TEST_F(X11DesktopTest, EveryDepthAndOddSizeIsDrawnWithItsColoursInPlace)
{
    // Odd differences to the screen's size, smaller and larger, at every depth a bitmap file can have.
    TWallPaper wallpaper(nullptr);
    for (const int bits : {1, 4, 8, 16, 24, 32}) {
        for (const auto& [width, height] : {std::pair{51, 29}, std::pair{331, 247}}) {
            const Bitmap picture = Pattern(width, height, bits);
            const std::string name = std::to_string(bits) + "-" + std::to_string(width) + ".bmp";
            wallpaper.SetWallPaper(SaveBmp(name, picture));
            EXPECT_EQ(Mismatches(Root(), Centred(picture)), 0) << name << " centred";
            wallpaper.SetTile(true);
            EXPECT_EQ(Mismatches(Root(), Tiled(picture)), 0) << name << " tiled";
            wallpaper.SetTile(false);
        }
    }
    // A file stored top row first (negative height) is drawn the right way up.
    const Bitmap picture = Pattern(37, 21, 24);
    auto bytes = WriteBmp(picture);
    const size_t offset = 54, stride = picture.Stride();
    for (int y = 0; y < picture.Height(); ++y)
        std::copy_n(picture.Row(y), stride, bytes.begin() + ptrdiff_t(offset + size_t(y) * stride));
    const int32_t negative = -picture.Height();
    std::memcpy(bytes.data() + 22, &negative, 4); // biHeight, little-endian here
    const std::string topDown = File("topdown.bmp");
    test::WriteFile(topDown, bytes);
    wallpaper.SetWallPaper(topDown);
    EXPECT_EQ(Mismatches(Root(), Centred(picture)), 0) << "top-down";

    // A colour table shorter than the depth's: indices past its end are black, as in the picture.
    Bitmap shortTable = Pattern(40, 20, 8);
    shortTable.Palette().resize(100);
    wallpaper.SetWallPaper(SaveBmp("short.bmp", shortTable));
    EXPECT_EQ(Mismatches(Root(), Centred(shortTable)), 0);
}

TEST_F(X11DesktopTest, CentredOnEachMonitorTiledAcrossTheWholeScreen)
{
    VORLANE_NEED_PROGRAMS({"xrandr"});
    // Two monitors of different sizes side by side; the strip below the right one belongs to neither.
    const std::string xrandr = "DISPLAY=" + xvfb_->Display() + " xrandr";
    ASSERT_EQ(std::system((xrandr + " --setmonitor left 200/53x240/63+0+0 screen").c_str()), 0);
    ASSERT_EQ(std::system((xrandr + " --setmonitor right 120/32x100/26+200+0 none").c_str()), 0);
    ASSERT_EQ(test::MonitorCount(display_), 2);

    // Smaller than the left monitor, larger than the right one, which shows only its middle.
    const Bitmap picture = Pattern(150, 120, 24);
    TWallPaper wallpaper(nullptr);
    ASSERT_TRUE(wallpaper.SetWallPaper(SaveBmp("a.bmp", picture)));
    EXPECT_EQ(Mismatches(Root(),
                         [&](int x, int y) {
                             if (x < 200) {
                                 const int px = x - 25, py = y - 60;
                                 return px >= 0 && px < 150 && py >= 0 && py < 120 ? picture.PixelRgb(px, py) : Rgb(0);
                             }
                             return y < 100 ? picture.PixelRgb(x - 200 + 15, y + 10) : Rgb(0);
                         }),
              0);

    wallpaper.SetTile(true);
    EXPECT_EQ(Mismatches(Root(), Tiled(picture)), 0);
}

// The scaled placements on the root against Pillow's scaling of the same picture, placed by the same
// rules (tests/wallpaper/scripts/placed_reference.py). Tolerance: a mean channel difference of at most
// 2.5 steps and at most 1% of pixels more than 32 steps off; a picture one pixel out of place, or scaled
// by nearest neighbour, is far beyond both. Pictures wider and taller than the screen, shrunk by up to
// five times and enlarged, on one monitor and on two of different sizes.
TEST_F(X11DesktopTest, ScaledPlacementsMatchAnotherScalerOnOneAndTwoMonitors)
{
    VORLANE_NEED_PROGRAMS({"xrandr", "python3:PIL"});
    const std::vector<PixelRect> twoMonitors{{0, 0, 200, 240}, {200, 0, 120, 100}};
    const std::pair<const char*, Bitmap> pictures[] = {{"wide", test::SmoothPicture(1600, 600, 1)},
                                                       {"tall", test::SmoothPicture(300, 900, 2)}};
    for (const auto& monitors : {std::vector<PixelRect>{}, twoMonitors}) {
        if (!monitors.empty()) {
            const std::string xrandr = "DISPLAY=" + xvfb_->Display() + " xrandr";
            ASSERT_EQ(std::system((xrandr + " --setmonitor left 200/53x240/63+0+0 screen").c_str()), 0);
            ASSERT_EQ(std::system((xrandr + " --setmonitor right 120/32x100/26+200+0 none").c_str()), 0);
        }
        const int count = test::MonitorCount(display_);
        ASSERT_EQ(count, monitors.empty() ? 1 : 2);
        for (const auto& [shape, picture] : pictures) {
            const std::string file = SaveBmp(std::string(shape) + ".bmp", picture);
            for (const WallpaperPlacement placement : {WallpaperPlacement::Fill, WallpaperPlacement::Fit,
                                                       WallpaperPlacement::Stretch, WallpaperPlacement::Span}) {
                TWallPaper wallpaper(nullptr);
                wallpaper.SetPlacement(placement);
                ASSERT_TRUE(wallpaper.SetWallPaper(file));
                const auto difference = test::Difference(
                    RootScreen(), test::PlacedReference(file, placement, RootWidth, RootHeight, monitors),
                    {0, 0, RootWidth, RootHeight});
                const std::string what = std::string(shape) + " " + std::string(PlacementName(placement)) + " on " +
                                         std::to_string(count) + " monitor(s)";
                EXPECT_LE(difference.mean, 2.5) << what;
                EXPECT_LE(difference.farShare, 0.01) << what;
            }
        }
    }
}

// The window's path: a JPEG's rows drawn scaled while "Temp.bmp" is written.
TEST_F(X11DesktopTest, JpegIsDrawnScaledFromItsRowsAsTheFileIsWritten)
{
    VORLANE_NEED_PROGRAMS({"python3:PIL"});
    const std::string jpeg = File("a.jpg");
    test::WriteFile(jpeg, test::EncodeJpeg(test::SmoothPicture(900, 500, 3)));
    TWallPaper wallpaper(nullptr);
    wallpaper.SetPlacement(WallpaperPlacement::Fill);
    const std::string temp = PrepareWallpaperFile(jpeg, 24, wallpaper.PrepareDrawing());
    ASSERT_TRUE(wallpaper.SetWallPaper(temp));
    const auto difference =
        test::Difference(RootScreen(), test::PlacedReference(temp, WallpaperPlacement::Fill, RootWidth, RootHeight),
                         {0, 0, RootWidth, RootHeight});
    EXPECT_LE(difference.mean, 2.5);
    EXPECT_LE(difference.farShare, 0.01);
}

TEST_F(X11DesktopTest, JpegIsDrawnFromItsRowsOnlyWhileItsFileStaysAsWritten)
{
    const std::string jpeg = File("a.jpg");
    const auto encoded = test::EncodeJpeg(test::TestPicture(90, 70, 4));
    test::WriteFile(jpeg, encoded);
    const Bitmap decoded = DecodeJpegFile(jpeg, 24);
    TWallPaper wallpaper(nullptr);
    ASSERT_NE(wallpaper.PrepareDrawing(), nullptr);
    ASSERT_TRUE(wallpaper.SetWallPaper(PrepareWallpaperFile(jpeg, 24, wallpaper.PrepareDrawing())));
    PublishedPixmap();
    EXPECT_EQ(Mismatches(Root(), Centred(decoded)), 0);

    // "Temp.bmp" replaced after it was drawn: the file is what the desktop shows.
    const std::string temp = PrepareWallpaperFile(jpeg, 24, wallpaper.PrepareDrawing());
    const Bitmap other = Pattern(30, 20, 24);
    std::filesystem::rename(SaveBmp("other.bmp", other), temp);
    ASSERT_TRUE(wallpaper.SetWallPaper(temp));
    EXPECT_EQ(Mismatches(Root(), Centred(other)), 0);
}

TEST_F(X11DesktopTest, SixteenBitDisplayGetsEachColourInItsOwnLayout)
{
    test::Xvfb deep16("64x48x16");
    ASSERT_TRUE(deep16.Running());
    ::setenv("DISPLAY", deep16.Display().c_str(), 1);
    const Bitmap picture = Pattern(21, 13, 24);
    TWallPaper wallpaper(nullptr);
    wallpaper.SetTile(true);
    wallpaper.SetWallPaper(SaveBmp("a.bmp", picture));

    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Visual* visual = DefaultVisual(display, DefaultScreen(display));
    ASSERT_EQ(visual->red_mask, 0xF800u);
    ASSERT_EQ(visual->green_mask, 0x07E0u);
    ASSERT_EQ(visual->blue_mask, 0x001Fu);
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, 64, 48, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    int wrong = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const Rgb colour = picture.PixelRgb(x % 21, y % 13);
            const unsigned long expected = (unsigned long)(RedOf(colour) >> 3) << 11 |
                                           (unsigned long)(GreenOf(colour) >> 2) << 5 | BlueOf(colour) >> 3;
            wrong += XGetPixel(image, x, y) != expected;
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    EXPECT_EQ(wrong, 0);
}

TEST_F(X11DesktopTest, SecondWallpaperFreesTheFirstPixmap)
{
    const Bitmap first = Pattern(50, 30, 24);
    const Bitmap second = Pattern(400, 300, 8); // larger than the screen: its middle shows
    TWallPaper wallpaper(nullptr);
    wallpaper.SetWallPaper(SaveBmp("first.bmp", first));
    const Pixmap before = PublishedPixmap();
    wallpaper.SetWallPaper(SaveBmp("second.bmp", second));
    const Pixmap after = PublishedPixmap();
    EXPECT_NE(after, before);
    EXPECT_FALSE(PixmapAlive(before));
    EXPECT_EQ(Mismatches(Root(), [&](int x, int y) { return second.PixelRgb(x + 40, y + 30); }), 0);
    wallpaper.SetTile(true); // tiled, a picture larger than the screen shows its top-left part
    EXPECT_EQ(Mismatches(Root(), Tiled(second)), 0);
}

TEST_F(X11DesktopTest, UnreadableFileIsRecordedButLeavesTheScreen)
{
    const Bitmap picture = Pattern(50, 30, 24);
    TWallPaper wallpaper(nullptr);
    wallpaper.SetWallPaper(SaveBmp("a.bmp", picture));
    const Pixmap shown = PublishedPixmap();
    wallpaper.SetWallPaper(File("missing.bmp"));
    EXPECT_EQ(DesktopString("Wallpaper"), File("missing.bmp"));
    EXPECT_EQ(PublishedPixmap(), shown);
    EXPECT_EQ(Mismatches(Root(), Centred(picture)), 0);
}

TEST_F(X11DesktopTest, NoWallpaperLeavesABlackRoot)
{
    TWallPaper wallpaper(nullptr);
    wallpaper.SetWallPaper(SaveBmp("a.bmp", Pattern(50, 30, 24)));
    const Pixmap shown = PublishedPixmap();
    wallpaper.SetWallPaper("（なし）");
    EXPECT_EQ(PixmapProperty("_XROOTPMAP_ID"), Pixmap(None));
    EXPECT_EQ(PixmapProperty("ESETROOT_PMAP_ID"), Pixmap(None));
    EXPECT_FALSE(PixmapAlive(shown));
    EXPECT_EQ(Mismatches(Root(), [](int, int) { return Rgb(0); }), 0);
}

TEST_F(X11DesktopTest, DesktopBroadcastDrawsTheRecordedWallpaperWithRecordedTiling)
{
    const Bitmap picture = Pattern(50, 30, 24);
    SaveBmp("a.bmp", picture);
    ::setenv("VORLANE_PICTURES", folder_.c_str(), 1);
    StoreDesktopValue("Wallpaper", REG_EXPAND_SZ, "%VORLANE_PICTURES%/a.bmp"s + '\0');
    StoreDesktopString("TileWallPaper", "1");
    SystemDesktop().BroadcastSettingChange("Desktop");
    PublishedPixmap();
    EXPECT_EQ(Mismatches(Root(), Tiled(picture)), 0);
}

} // namespace
} // namespace vorlane
