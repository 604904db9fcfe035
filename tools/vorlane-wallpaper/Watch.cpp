// restore --watch: the X root window's picture is drawn for one screen layout; when a monitor is
// plugged in, removed or resized, a watcher left behind draws it again for the new one, as recorded. So
// are the tiling pictures GNOME and Plasma are shown (wallpaper/TilingPicture.h).
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>

#include "platform/Exceptions.h"
#include "platform/Process.h"
#include "tools/vorlane-wallpaper/Commands.h"
#include "tools/vorlane-wallpaper/Session.h"
#include "wallpaper/BitmapRows.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/DesktopBackend.h"
#include "wallpaper/DesktopX11.h"
#include "wallpaper/X11ScreenWatch.h"

namespace vorlane::wallpapertool {
namespace {

// The record is read again each time: a wallpaper set since the login is the one drawn.
void RedrawRecorded()
{
    try {
        const TWallPaper wallpaper(nullptr);
        if (wallpaper.NoWallPaper())
            return;
        const BitmapRows picture(wallpaper.WallPaperFile());
        SetX11RootWallpaper(picture, wallpaper.Placement());
        if (wallpaper.Placement() != WallpaperPlacement::Tiled)
            return;
        auto chosen = ChooseDesktopBackends(ObserveSession());
        std::erase_if(chosen, [](const ChosenBackend& c) {
            return c.backend->Name() != "gnome" && c.backend->Name() != "plasma";
        });
        ApplyToDesktops(chosen, {wallpaper.WallPaperFile(), WallpaperPlacement::Tiled, &picture});
    } catch (const Exception& error) {
        Report("the recorded wallpaper cannot be shown: " + std::string(error.what()));
    }
}

} // namespace

void StartScreenWatcher()
{
    // Under a Wayland compositor the X root is not what the screen shows, and a client kept on Xwayland
    // would keep a compositor's on-demand Xwayland running.
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland)
        return;
    process::StartWatcher([](const std::function<void()>& settled) {
        X11ScreenWatch watch;
        settled(); // the watch holds the display's selection, or knows another does
        while (watch.WaitForChange())
            RedrawRecorded();
    });
}

} // namespace vorlane::wallpapertool
