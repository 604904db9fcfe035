// Test support: a desktop session of the test's own, in which real desktop programs run. Its folders
// (HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME, XDG_RUNTIME_DIR) are temporary; a virtual X
// display; a session bus of its own that starts only the settings services (dconf, xfconf), so no file
// manager or volume monitor appears on it uninvited. The environment of this process is the session's:
// programs started here and the services the bus starts see the same folders.
#pragma once

#include <gtest/gtest.h> // before Xlib, whose macros (None, Bool) clash with its names

#include <X11/Xlib.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "tests/NeedInstalled.h"
#include "tests/wallpaper/ServerProcess.h"
#include "wallpaper/Placement.h"
#include "wallpaper/ScaledPicture.h"

typedef struct _GDBusConnection GDBusConnection;

namespace vorlane::test {

class DesktopSession;
// The one session of this test process, started on first use: GLib's settings keep the first session
// bus they reached, so every case of a process shares it.
DesktopSession& SharedDesktopSession();

// Tests in the shared session.
class SharedSessionTest : public ::testing::Test {
protected:
    // Starts the session; skips (outside CI) when a program is missing. False when the test is over.
    bool Begin(const std::vector<std::string>& programs);

    DesktopSession* session_ = nullptr;
};

// What a screen shows, each pixel 0xRRGGBB.
struct Screen {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
    Rgb At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    bool operator==(const Screen&) const = default;
};

// The top-left `width` x `height` of the root window as the screen shows it.
Screen RootScreenshot(Display* display, int width, int height);

// A program of the session, in a process group of its own; stopped with it at the end.
class SessionProgram {
public:
    // Its output goes to `log`.
    SessionProgram(std::vector<std::string> argv, const std::string& log);
    ~SessionProgram();
    SessionProgram(const SessionProgram&) = delete;
    SessionProgram& operator=(const SessionProgram&) = delete;

    // Still running (neither ended nor killed).
    bool Running();
    // Waits for its end: its exit status, -1 when it did not exit.
    int Wait();

private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = -1; // its exit status once it ended, -1 when it did not exit
};

// A session bus of the test's own, its socket and configuration in `folder`, that starts only the
// settings services (dconf, xfconf), or with `allServices` every installed one (a desktop shell's) but
// Plasma's splash-screen stand-in.
// `runAs` comes before dbus-daemon in its command (env and setpriv, to run it and the services it starts
// as another user in that user's folders); every user may connect. Its address is Line().
std::unique_ptr<ServerProcess> StartSessionBus(const std::filesystem::path& folder, std::vector<std::string> runAs = {},
                                               bool allServices = false);

class DesktopSession {
public:
    static constexpr int Width = 640;
    static constexpr int Height = 480;

    // `withDisplay`: start Xvfb and set DISPLAY; `withBus`: start the bus and set DBUS_SESSION_BUS_ADDRESS.
    explicit DesktopSession(bool withDisplay = true, bool withBus = true);
    ~DesktopSession();

    // Empty when the session is up; otherwise what failed.
    const std::string& Failure() const { return failure_; }
    const std::filesystem::path& Folder() const { return folder_; }
    Display* X() const { return display_; }

    // Starts a program of the session; its output goes to <folder>/<program>.log.
    std::unique_ptr<SessionProgram> Start(std::vector<std::string> argv) const;

    // Writes `picture` as a bitmap file in the session's folder and returns its path.
    std::string SaveBmp(const std::string& name, const Bitmap& picture) const;

    // The root window as the screen shows it.
    Screen Screenshot() const;

    // Waits, at most `seconds`, until `ready` holds, looking again whenever the screen changes or a
    // window is mapped, moved or given a property. True when it held.
    bool WaitForScreen(const std::function<bool()>& ready, int seconds = 20) const;

    // A viewable window of the desktop type that covers the screen: a desktop program drew its desktop.
    bool DesktopWindowShown() const;

private:
    std::filesystem::path folder_;
    std::unique_ptr<Xvfb> xvfb_;
    std::unique_ptr<ServerProcess> bus_;
    GDBusConnection* sharedBus_ = nullptr;
    Display* display_ = nullptr;
    int damageEvent_ = 0;
    std::string failure_;
};

// sway, headless and drawn in memory, run as an unprivileged user (it refuses to run as root) with its
// own runtime folder; its IPC socket and Wayland display are known once it has read its configuration.
class Sway {
public:
    // `config`: lines added to its configuration; `variables` ("NAME=value"): set for it and what it runs.
    explicit Sway(const DesktopSession& session, const std::string& config = "",
                  const std::vector<std::string>& variables = {});
    const std::string& Failure() const { return failure_; }
    const std::string& Socket() const { return socket_; }
    // WAYLAND_DISPLAY and XDG_RUNTIME_DIR of a client of this sway.
    std::vector<std::string> WaylandClient() const
    {
        return {"WAYLAND_DISPLAY=" + display_, "XDG_RUNTIME_DIR=" + runtime_.string()};
    }
    bool Running() { return program_ && program_->Running(); }
    // The output as grim captures it; empty when grim failed.
    Screen Screenshot() const;

private:
    std::filesystem::path runtime_;
    std::string display_;
    std::string socket_;
    std::unique_ptr<SessionProgram> program_;
    std::string failure_;
};

// A desktop shell's session run as an ordinary user ("nobody" when this runs as root), as Plasma must run:
// that user's folders under the session's folder, the session's display opened to that user, and a
// session bus of that user's own that starts the shell's services and lets this process in. The
// pictures the test saves in the session's folder are readable to that user.
class UserSession {
public:
    explicit UserSession(const DesktopSession& session);
    const std::string& Failure() const { return failure_; }
    const std::string& BusAddress() const { return bus_->Line(); }
    // Where that user's programs keep their settings (its XDG_CONFIG_HOME).
    std::filesystem::path ConfigFolder() const { return folder_ / "config"; }
    std::filesystem::path DataFolder() const { return folder_ / "data"; }
    // Starts argv as that user in its folders, on the display and the bus, with `variables` ("NAME=value")
    // set; its output goes to <session folder>/<program>.log.
    std::unique_ptr<SessionProgram> Start(const std::vector<std::string>& argv,
                                          const std::vector<std::string>& variables = {}) const;

private:
    std::vector<std::string> AsUser(const std::vector<std::string>& argv) const;

    const DesktopSession& session_;
    std::filesystem::path folder_;
    std::unique_ptr<ServerProcess> bus_;
    std::string failure_;
};

// Waits, at most `seconds`, until `ready` holds, looking again whenever a file in `folder` changes. True
// when it held.
bool WaitForFolder(const std::filesystem::path& folder, const std::function<bool()>& ready, int seconds = 20);

// Names a store of UTF-8 text cannot hold: Shift_JIS from a Windows gallery (写真), a byte that begins
// no UTF-8 character.
inline const std::vector<std::string> NamesNotUtf8 = {"\x8e\xca\x90^.bmp", "\xff-ab.bmp"};

// Pixels of `screen` inside the rectangle (left, top, width, height) whose colour is further than a few
// steps from expected(x, y); a rectangle off the screen counts whole.
int Mismatches(const Screen& screen, int left, int top, int width, int height,
               const std::function<Rgb(int, int)>& expected);

// The picture centred on the screen: the pixels where it should be that are not it.
int CentredMismatches(const Screen& screen, const Bitmap& picture);
// The picture tiled from the top-left corner: checked in the screen's right half, lower half, away from
// desktop icons.
int TiledMismatches(const Screen& screen, const Bitmap& picture);

// A 24-bit picture, different at every position, without black, and unlike the one of another `seed`.
Bitmap ScreenPicture(int width, int height, int seed);

// A 24-bit picture of smooth waves without black, for scaled placements: scalers of good quality agree
// on it within a few steps, while a picture one pixel out of place differs by tens.
Bitmap SmoothPicture(int width, int height, int seed);

// The screen a scaled placement of the picture file should give on a screen of `width` x `height` with
// these monitors (none: the whole screen), black where no picture goes, computed by another scaler
// (Pillow, tests/wallpaper/scripts/placed_reference.py). Fails the test and returns an empty screen when
// it cannot be computed.
Screen PlacedReference(const std::string& pictureFile, WallpaperPlacement placement, int width, int height,
                       const std::vector<PixelRect>& monitors = {});

// How far `actual` is from `expected` inside `area`: the mean difference of a colour channel, and the
// share of pixels with a channel more than 32 steps off.
struct ScreenDifference {
    double mean = 0;
    double farShare = 0;
};
ScreenDifference Difference(const Screen& actual, const Screen& expected, const PixelRect& area);

// The active RandR monitors the server reports. Every two-monitor test asserts it has two: a server
// that reset when its last client left has forgotten `xrandr --setmonitor`.
int MonitorCount(Display* display);

// The pixmap the root window's property `name` names (type PIXMAP, format 32); None when it names none.
Pixmap RootPixmapProperty(Display* display, const char* name);
// Whether `pixmap` still exists on the X server.
bool PixmapAlive(Display* display, Pixmap pixmap);

} // namespace vorlane::test
