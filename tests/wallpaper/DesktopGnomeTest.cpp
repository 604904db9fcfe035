// GNOME's background settings, on a session bus of the test's own with GSettings kept in memory.
#include <gtest/gtest.h>

#include <gio/gio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "image/BmpFile.h"
#include "tests/NeedInstalled.h"
#include "tests/TestFiles.h"
#include "tests/wallpaper/PathOfUri.h"
#include "tests/wallpaper/Sandbox.h"
#include "tests/wallpaper/ServerProcess.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/DesktopGSettings.h"

namespace vorlane {
namespace {

bool SetGnomeBackground(const std::string& path, bool tile)
{
    return SetBackgroundSettings(GnomeBackground, path, tile ? WallpaperPlacement::Tiled : WallpaperPlacement::Centred);
}

class GnomeDesktopTest : public test::Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        ::unsetenv("DISPLAY");
        ::unsetenv("XDG_RUNTIME_DIR");
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::setenv("GSETTINGS_BACKEND", "memory", 1);
        ::setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
        VORLANE_NEED_INSTALLED(BackgroundSchemaInstalled(GnomeBackground) ? ""
                                                                          : "the schema org.gnome.desktop.background");
        VORLANE_NEED_PROGRAMS({"dbus-daemon"});
        EXPECT_FALSE(SetGnomeBackground(File("a.bmp"), false)); // no bus yet
        bus_ = std::make_unique<test::ServerProcess>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address={fd}"});
        ASSERT_TRUE(bus_->Ready()) << "dbus-daemon did not report an address";
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_->Line().c_str(), 1);
        settings_ = g_settings_new("org.gnome.desktop.background");
    }
    void TearDown() override
    {
        if (settings_)
            g_object_unref(settings_);
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        bus_.reset();
        ::unsetenv("XDG_CURRENT_DESKTOP");
        Sandbox::TearDown();
    }

    std::string Get(const char* key)
    {
        gchar* value = g_settings_get_string(settings_, key);
        std::string text = value;
        g_free(value);
        return text;
    }

    std::unique_ptr<test::ServerProcess> bus_;
    GSettings* settings_ = nullptr;
};

TEST_F(GnomeDesktopTest, PictureAndPlacementAreSet)
{
    const std::string file = File("壁 紙.bmp");
    ASSERT_TRUE(SetGnomeBackground(file, false));
    const std::string uri = Get("picture-uri");
    EXPECT_EQ(uri.rfind("file:///", 0), 0u);
    EXPECT_EQ(test::PathOfUri(uri), file);
    EXPECT_EQ(Get("picture-uri-dark"), uri);
    EXPECT_EQ(Get("picture-options"), "centered");

    // The same file again (a rewritten "Temp.bmp") must still look like a change to the desktop.
    ASSERT_TRUE(SetGnomeBackground(file, true));
    EXPECT_NE(Get("picture-uri"), uri);
    EXPECT_EQ(test::PathOfUri(Get("picture-uri")), file);
    EXPECT_EQ(Get("picture-uri-dark"), Get("picture-uri"));
    EXPECT_EQ(Get("picture-options"), "wallpaper");
    ASSERT_TRUE(SetGnomeBackground(file, true));
    EXPECT_EQ(Get("picture-uri"), uri);

    ASSERT_TRUE(SetGnomeBackground("", true));
    EXPECT_EQ(Get("picture-options"), "none");
}

TEST_F(GnomeDesktopTest, AnnouncedButDeadBusIsNotWaitedFor)
{
    // A socket left behind by a bus that has gone: announced both ways, but nobody listens.
    const std::string socketPath = File("bus");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socketPath).c_str(), 1);
    EXPECT_FALSE(SetGnomeBackground(File("a.bmp"), true));
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    EXPECT_FALSE(SetGnomeBackground(File("a.bmp"), true));
    ::unsetenv("XDG_RUNTIME_DIR");

    // Without a display or GNOME the desktop call only records.
    const std::string options = Get("picture-options");
    const std::string uri = Get("picture-uri");
    TWallPaper wallpaper(nullptr);
    wallpaper.SetWallPaper(File("a.bmp"));
    EXPECT_EQ(DesktopString("Wallpaper"), File("a.bmp"));
    EXPECT_EQ(Get("picture-options"), options);
    EXPECT_EQ(Get("picture-uri"), uri);
}

TEST_F(GnomeDesktopTest, TheComponentReachesGnomeThroughTheDesktopCall)
{
    const std::string file = File("a.bmp");
    const auto bytes = WriteBmp(Bitmap(4, 4, 24));
    test::WriteFile(file, bytes);
    TWallPaper wallpaper(nullptr);
    wallpaper.SetWallPaper(file);
    EXPECT_EQ(test::PathOfUri(Get("picture-uri")), file);
    EXPECT_EQ(Get("picture-options"), "centered");
    wallpaper.SetTile(true);
    EXPECT_EQ(Get("picture-options"), "wallpaper");
    EXPECT_EQ(DesktopString("Wallpaper"), file);
}

} // namespace
} // namespace vorlane
