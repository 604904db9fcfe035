// Desktops checked where they read the wallpaper: GNOME's and Cinnamon's settings in the real dconf
// store of a session bus, and Plasma's scripting interface as a stand-in shell on that bus, for every
// placement (the real shells, tests/wallpaper/DesktopProgramsTest.cpp, show a few). Then a session where
// some backends fail: the others still show the picture.
#include <gtest/gtest.h>

#include <gio/gio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/wallpaper/DesktopSession.h"
#include "tests/wallpaper/PathOfUri.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/DesktopBackend.h"
#include "wallpaper/DesktopGSettings.h"

namespace vorlane {
namespace {

class DesktopSettingsTest : public test::SharedSessionTest {
protected:
    void TearDown() override { ::unsetenv("XDG_CURRENT_DESKTOP"); }

    static std::string Setting(const char* schema, const char* key)
    {
        GSettings* settings = g_settings_new(schema);
        gchar* value = g_settings_get_string(settings, key);
        std::string text = value;
        g_free(value);
        g_object_unref(settings);
        return text;
    }
};

TEST_F(DesktopSettingsTest, GnomeAndCinnamonReadItFromDconf)
{
    if (!Begin({"Xvfb", "dbus-daemon", "/usr/libexec/dconf-service"}))
        return;
    for (const BackgroundSchema* schema : {&GnomeBackground, &CinnamonBackground}) {
        if (!BackgroundSchemaInstalled(*schema)) {
            if (std::getenv("CI"))
                FAIL() << schema->id << " is not installed (scripts/setup-debian.sh installs it)";
            continue;
        }
        const bool gnome = schema == &GnomeBackground;
        SCOPED_TRACE(schema->id);
        ::setenv("XDG_CURRENT_DESKTOP", gnome ? "ubuntu:GNOME" : "X-Cinnamon", 1);
        const std::string temp = session_->SaveBmp("Temp.bmp", test::ScreenPicture(20, 10, 1));
        TWallPaper wallpaper(nullptr);
        wallpaper.SetPlacement(WallpaperPlacement::Centred); // over what an earlier case left
        wallpaper.SetWallPaper(temp);
        EXPECT_EQ(test::PathOfUri(Setting(schema->id, "picture-uri")), temp);
        EXPECT_EQ(Setting(schema->id, "picture-options"), "centered");
        wallpaper.SetTile(true);
        // GNOME Shell tiles from the screen's centre: it is given a screen-sized picture of the tiling.
        EXPECT_EQ(Setting(schema->id, "picture-options"), gnome ? "spanned" : "wallpaper");
        if (gnome) {
            EXPECT_NE(test::PathOfUri(Setting(schema->id, "picture-uri")).find("/vorlane/tilings/tiling-"),
                      std::string::npos);
        }
        wallpaper.SetTile(false);
        // The same file again gets another spelling of its name, so the desktop loads it anew.
        const std::string before = Setting(schema->id, "picture-uri");
        wallpaper.SetWallPaper(temp);
        EXPECT_NE(Setting(schema->id, "picture-uri"), before);
        EXPECT_EQ(test::PathOfUri(Setting(schema->id, "picture-uri")), temp);
        if (gnome) {
            EXPECT_EQ(Setting(schema->id, "picture-uri-dark"), Setting(schema->id, "picture-uri"));
        }
        const std::pair<WallpaperPlacement, const char*> placements[] = {
            {WallpaperPlacement::Fill, "zoom"},         {WallpaperPlacement::Fit, "scaled"},
            {WallpaperPlacement::Stretch, "stretched"}, {WallpaperPlacement::Span, "spanned"},
            {WallpaperPlacement::Centred, "centered"},
        };
        for (const auto& [placement, options] : placements) {
            wallpaper.SetPlacement(placement);
            EXPECT_EQ(Setting(schema->id, "picture-options"), options);
        }
    }
}

// A stand-in for Plasma's shell: owns its name on the session bus and keeps the scripts it is given.
class FakePlasmaShell {
public:
    FakePlasmaShell()
    {
        context_ = g_main_context_new();
        thread_ = std::thread([this] { Run(); });
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return state_ != State::Starting; });
    }
    ~FakePlasmaShell()
    {
        g_main_context_invoke(
            context_,
            [](gpointer loop) {
                g_main_loop_quit(static_cast<GMainLoop*>(loop));
                return G_SOURCE_REMOVE;
            },
            loop_);
        thread_.join();
        g_main_context_unref(context_);
    }
    bool Owned() const { return state_ == State::Owned; }
    std::vector<std::string> Scripts()
    {
        std::lock_guard lock(mutex_);
        return scripts_;
    }

private:
    enum class State { Starting, Owned, Failed };

    void Run()
    {
        g_main_context_push_thread_default(context_);
        loop_ = g_main_loop_new(context_, FALSE);
        GError* error = nullptr;
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        GDBusConnection* bus =
            g_dbus_connection_new_for_address_sync(address,
                                                   GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                                   nullptr, nullptr, &error);
        g_free(address);
        g_clear_error(&error);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
            "<node><interface name='org.kde.PlasmaShell'><method name='evaluateScript'>"
            "<arg type='s' direction='in'/><arg type='s' direction='out'/></method></interface></node>",
            nullptr);
        static const GDBusInterfaceVTable table{
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
               GDBusMethodInvocation* invocation, gpointer self) {
                const gchar* script = nullptr;
                g_variant_get(parameters, "(&s)", &script);
                auto* shell = static_cast<FakePlasmaShell*>(self);
                std::lock_guard lock(shell->mutex_);
                shell->scripts_.push_back(script);
                g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", ""));
            },
            nullptr,
            nullptr,
            {}};
        bool owned = bus && g_dbus_connection_register_object(bus, "/PlasmaShell", node->interfaces[0], &table, this,
                                                              nullptr, nullptr) != 0;
        if (owned) {
            GVariant* reply = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                g_variant_new("(su)", "org.kde.plasmashell", 4u /* do not queue */), G_VARIANT_TYPE("(u)"),
                G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            guint32 result = 0;
            if (reply) {
                g_variant_get(reply, "(u)", &result);
                g_variant_unref(reply);
            }
            owned = result == 1; // the primary owner
        }
        {
            std::lock_guard lock(mutex_);
            state_ = owned ? State::Owned : State::Failed;
        }
        changed_.notify_all();
        g_main_loop_run(loop_);
        g_dbus_node_info_unref(node);
        if (bus) {
            g_dbus_connection_close_sync(bus, nullptr, nullptr);
            g_object_unref(bus);
        }
        g_main_loop_unref(loop_);
        g_main_context_pop_thread_default(context_);
    }

    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    State state_ = State::Starting;
    std::vector<std::string> scripts_;
};

TEST_F(DesktopSettingsTest, PlasmaShellIsHandedAScriptForEveryDesktop)
{
    if (!Begin({"Xvfb", "dbus-daemon"}))
        return;
    FakePlasmaShell shell;
    ASSERT_TRUE(shell.Owned());
    const std::string file = session_->SaveBmp("a \"quoted\" name.bmp", test::ScreenPicture(20, 10, 1));
    TWallPaper wallpaper(nullptr);
    wallpaper.SetPlacement(WallpaperPlacement::Centred); // over what an earlier case left
    wallpaper.SetWallPaper(file);
    wallpaper.SetTile(true);
    // Then each scaled placement: stretch 0, fit 1, fill 2; nothing spans monitors, so span fills.
    for (const WallpaperPlacement placement :
         {WallpaperPlacement::Stretch, WallpaperPlacement::Fit, WallpaperPlacement::Fill, WallpaperPlacement::Span})
        wallpaper.SetPlacement(placement);
    const auto scripts = shell.Scripts();
    ASSERT_EQ(scripts.size(), 6u);
    gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
    for (const auto& script : scripts) {
        EXPECT_NE(script.find("desktops()"), std::string::npos) << script;
        EXPECT_NE(script.find("wallpaperPlugin = \"org.kde.image\""), std::string::npos) << script;
        EXPECT_NE(script.find("var image = tiling ? tiling : \"" + std::string(uri) + "\""), std::string::npos)
            << script;
        EXPECT_NE(script.find("writeConfig(\"Image\", image)"), std::string::npos) << script;
    }
    g_free(uri);
    // A screen with a picture of the tiling shows it at its own size (6); others tile on their own.
    EXPECT_NE(scripts[0].find("writeConfig(\"FillMode\", tiling ? 6 : 6)"), std::string::npos)
        << "centred at its own size";
    EXPECT_NE(scripts[1].find("writeConfig(\"FillMode\", tiling ? 6 : 3)"), std::string::npos) << "tiled";
    for (size_t i = 2; i < scripts.size(); ++i)
        EXPECT_NE(scripts[i].find(
                      "writeConfig(\"FillMode\", tiling ? 6 : " + std::to_string(std::min<size_t>(i - 2, 2)) + ")"),
                  std::string::npos)
            << scripts[i];
}

TEST_F(DesktopSettingsTest, FailingBackendsStopNoneOfTheOthers)
{
    if (!Begin({"Xvfb", "dbus-daemon"}))
        return;
    // sway's socket left behind by a sway that ended fails; an XFCE named that has no desktop yet keeps
    // the picture for xfdesktop's first start. The X root comes first, and the settings are recorded all
    // the same.
    const std::string stale = (session_->Folder() / "stale.sock").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    stale.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(listener);
    ::setenv("SWAYSOCK", stale.c_str(), 1);
    ::setenv("XDG_CURRENT_DESKTOP", "XFCE", 1);

    const auto outcomes = ApplyToSessionDesktops({session_->SaveBmp("b.bmp", test::ScreenPicture(30, 20, 4))});
    std::string summary;
    for (const auto& outcome : outcomes)
        summary += outcome.name + (outcome.applied ? " applied; " : " failed; ");
    EXPECT_EQ(summary, "x11-root applied; xfce applied; sway failed; ");

    const Bitmap picture = test::ScreenPicture(40, 30, 5);
    TWallPaper wallpaper(nullptr);
    wallpaper.SetPlacement(WallpaperPlacement::Centred); // over what an earlier case left
    EXPECT_NO_THROW(wallpaper.SetWallPaper(session_->SaveBmp("c.bmp", picture)));
    EXPECT_TRUE(session_->WaitForScreen([&] { return test::CentredMismatches(session_->Screenshot(), picture) == 0; }));
    ::unsetenv("SWAYSOCK");
}

} // namespace
} // namespace vorlane
